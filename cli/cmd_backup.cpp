// backup and restore of a whole line.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <map>

#include "addresslist.h"
#include "backup.h"
#include "subcommands.h"
#include "context.h"
#include "presentation.h"
#include "progressbar.h"

namespace {

int backup(Context& ctx, const std::string& dir, const std::string& list)
{
    service::BackupOptions options;
    try {
        options.addresses = service::parseAddressList(list);
    } catch (const service::AddressListError& e) {
        throw UsageError(e.what());
    }
    options.name = [&ctx](int address) { return ctx.nameOf(address); };
    TWakePort& port = ctx.line();
    ProgressBar bar("Сканирование", 127);
    options.scan.cancelled = [] { return Context::interrupted.load(); };
    options.scan.progress = [&bar](int address, const service::FoundActuator*) {
        bar.show(address);
    };
    options.done = [&ctx, &bar](const service::BackupItem& item) {
        bar.clear();
        if (ctx.json())
            return;
        if (item.ok())
            std::cout << item.address << "  " << item.type << "  " << item.file << std::endl;
        else
            std::cout << item.address << "  ошибка: " << messageOf(item.error) << std::endl;
    };
    const std::vector<service::BackupItem> items = service::backupLine(port, dir, options);
    bar.clear();
    int saved = 0;
    Json rows = Json::array();
    for (const service::BackupItem& item : items) {
        saved += item.ok() ? 1 : 0;
        rows.push_back({{"address", item.address},
                        {"type", item.type},
                        {"file", item.file},
                        {"ok", item.ok()},
                        {"error", messageOf(item.error)}});
    }
    const int failed = static_cast<int>(items.size()) - saved;
    if (ctx.json())
        printJson({{"dir", dir}, {"saved", saved}, {"failed", failed}, {"actuators", rows}});
    else
        std::cout << "Сохранено приводов: " << saved << ", с ошибками: " << failed << " (" << dir
                  << ")\n";
    const bool complete = items.size() > 0 && failed == 0 && !Context::interrupted;
    return complete ? ExitDone : ExitFailed;
}

const char* resultWord(service::RestoreItem::Result r)
{
    static const std::map<service::RestoreItem::Result, const char*> words{
        {service::RestoreItem::Restored, "restored"},
        {service::RestoreItem::Unchanged, "unchanged"},
        {service::RestoreItem::DryRun, "dry-run"},
        {service::RestoreItem::TypeMismatch, "type-mismatch"},
        {service::RestoreItem::VerifyFailed, "verify-failed"},
        {service::RestoreItem::Failed, "failed"},
        {service::RestoreItem::BadFile, "bad-file"}};
    return words.at(r);
}

std::string resultText(const service::RestoreItem& item)
{
    switch (item.result) {
    case service::RestoreItem::Restored: return "восстановлено и проверено";
    case service::RestoreItem::Unchanged: return "без изменений";
    case service::RestoreItem::DryRun: return "пробный запуск: ничего не записано";
    case service::RestoreItem::TypeMismatch:
        return "пропущено: по адресу отвечает «" + item.deviceType + "», в файле «" +
               item.device.type + "» (--force, чтобы записать всё равно)";
    case service::RestoreItem::VerifyFailed: return "ошибка проверки: после записи различаются";
    case service::RestoreItem::Failed: return "ошибка: " + messageOf(item.error);
    case service::RestoreItem::BadFile: return "файл не годится: " + item.error;
    }
    return {};
}

void printRestoreItem(const service::RestoreItem& item)
{
    std::cout << std::filesystem::path(item.file).filename().string() << " -> адрес "
              << item.device.address << ":\n";
    std::vector<service::Difference> before = item.params.before;
    before.insert(before.end(), item.relays.before.begin(), item.relays.before.end());
    printDifferences(before, "  ");
    if (item.params.travelSkipped)
        std::cout << "  Nt не записывается: ход пишется только с --travel.\n";
    std::cout << "  " << resultText(item) << '\n';
    std::vector<service::Difference> after = item.params.mismatches;
    after.insert(after.end(), item.relays.mismatches.begin(), item.relays.mismatches.end());
    printDifferences(after, "    ");
}

int restore(Context& ctx, const std::string& dir, const service::RestoreOptions& base)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec))
        throw UsageError("папка не найдена: " + dir);
    service::RestoreOptions options = base;
    options.cancelled = [] { return Context::interrupted.load(); };
    options.done = [&ctx](const service::RestoreItem& item) {
        if (!ctx.json())
            printRestoreItem(item);
        std::cout.flush();
    };
    const std::vector<service::RestoreItem> items = service::restoreLine(ctx.line(), dir, options);
    Json rows = Json::array();
    int good = 0;
    for (const service::RestoreItem& item : items) {
        good += item.ok() ? 1 : 0;
        std::vector<service::Difference> before = item.params.before;
        before.insert(before.end(), item.relays.before.begin(), item.relays.before.end());
        std::vector<service::Difference> after = item.params.mismatches;
        after.insert(after.end(), item.relays.mismatches.begin(), item.relays.mismatches.end());
        rows.push_back({{"file", item.file},
                        {"address", item.device.address},
                        {"type", item.device.type},
                        {"deviceType", item.deviceType},
                        {"result", resultWord(item.result)},
                        {"differences", differencesJson(before)},
                        {"mismatches", differencesJson(after)},
                        {"error", messageOf(item.error)}});
    }
    const int bad = static_cast<int>(items.size()) - good;
    if (ctx.json())
        printJson({{"dir", dir}, {"ok", good}, {"failed", bad}, {"files", rows}});
    else if (items.empty())
        std::cout << "В папке " << dir << " нет файлов A<адрес>.par.\n";
    else
        std::cout << "Файлов: " << items.size() << ", успешно: " << good << ", с ошибками: " << bad
                  << '\n';
    return !items.empty() && bad == 0 && !Context::interrupted ? ExitDone : ExitFailed;
}

}  // namespace

void addBackupCommands(CLI::App& app, Context& ctx)
{
    auto dir = std::make_shared<std::string>();
    auto list = std::make_shared<std::string>();
    CLI::App* backupCmd = app.add_subcommand(
        "backup", "Сохранить параметры и реле всех приводов линии: DIR/A<адрес>.par");
    backupCmd->add_option("DIR", *dir, "папка (создаётся)")->type_name("")->required();
    backupCmd
        ->add_option("--addresses", *list, "только эти адреса, например 1,3,5-9 (без сканирования)")
        ->type_name("LIST");
    backupCmd->callback(
        [&ctx, dir, list] { ctx.run = [&ctx, dir, list] { return backup(ctx, *dir, *list); }; });

    auto options = std::make_shared<service::RestoreOptions>();
    CLI::App* restoreCmd = app.add_subcommand(
        "restore",
        "Записать файлы A<адрес>.par из DIR в приводы по их адресам [Device] и проверить");
    restoreCmd->add_option("DIR", *dir, "папка резервной копии")->type_name("")->required();
    restoreCmd->add_flag("--dry-run", options->dryRun, "только показать различия");
    restoreCmd->add_flag("--travel", options->travel, "записать и ход Nt (SetT)");
    restoreCmd->add_flag("--force", options->force, "записать, даже если тип привода другой");
    restoreCmd->callback([&ctx, dir, options] {
        ctx.run = [&ctx, dir, options] { return restore(ctx, *dir, *options); };
    });
}
