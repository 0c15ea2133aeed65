// backup and restore of a whole line.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

#include "addresslist.h"
#include "backup.h"
#include "subcommands.h"
#include "context.h"
#include "presentation.h"
#include "progressbar.h"
#include "codes.h"

namespace {

// "Прервано" and what was left undone; the exit code of an interruption.
int interrupted(const std::string& what, const std::vector<std::string>& left)
{
    std::cout << "Прервано.\n";
    if (!left.empty()) {
        std::cout << what << ':';
        for (const std::string& item : left)
            std::cout << ' ' << item;
        std::cout << '\n';
    }
    return service::ExitInterrupted;
}

int backup(Context& ctx, const std::string& dir, const std::string& list)
{
    service::BackupOptions options;
    try {
        options.addresses = service::parseAddressList(list);
    } catch (const service::AddressListError& e) {
        throw UsageError(e.what());
    }
    std::error_code ec;
    if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))
        throw UsageError("не папка: " + dir);
    options.name = [&ctx](int address) { return ctx.nameOf(address); };
    TWakePort& port = ctx.line();
    ProgressBar bar("Сканирование", wake::MaxAddress);
    options.scan.cancelled = [] { return Context::interrupted.load(); };
    // What the scan found and how far it came, for an interruption's account.
    std::vector<int> found;
    int scanned = 0;
    options.scan.progress = [&bar, &found, &scanned](int address,
                                                     const service::FoundActuator* actuator) {
        bar.show(address);
        scanned = address;
        if (actuator)
            found.push_back(address);
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
    std::vector<int> left =
        service::addressesNotBackedUp(options.addresses.empty() ? found : options.addresses, items);
    const bool scanCut =
        Context::interrupted && options.addresses.empty() && scanned < options.scan.last;
    if (ctx.json()) {
        Json j{{"dir", dir}, {"saved", saved}, {"failed", failed}, {"actuators", rows}};
        if (Context::interrupted) {
            j["interrupted"] = true;
            j["notDone"] = left;
            if (scanCut)
                j["notScannedFrom"] = scanned + 1;
        }
        printJson(j);
    } else {
        std::cout << "Сохранено приводов: " << saved << ", с ошибками: " << failed << " (" << dir
                  << ")\n";
    }
    if (Context::interrupted) {
        if (ctx.json())
            return service::ExitInterrupted;
        std::vector<std::string> texts;
        for (int address : left)
            texts.push_back(std::to_string(address));
        if (scanCut)
            texts.push_back("адреса " + std::to_string(scanned + 1) + "…" +
                            std::to_string(options.scan.last) + " не просмотрены");
        return interrupted("Не сохранены", texts);
    }
    const bool complete = items.size() > 0 && failed == 0 && !Context::interrupted;
    return complete ? service::ExitDone : service::ExitFailed;
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
    std::vector<std::string> left;
    if (Context::interrupted)
        for (const std::string& path : service::filesNotRestored(dir, items))
            left.push_back(std::filesystem::path(path).filename().string());
    if (ctx.json()) {
        Json j{{"dir", dir}, {"ok", good}, {"failed", bad}, {"files", rows}};
        if (Context::interrupted) {
            j["interrupted"] = true;
            j["notDone"] = left;
        }
        printJson(j);
    } else if (items.empty() && !Context::interrupted)
        std::cout << "В папке " << dir << " нет файлов A<адрес>.par.\n";
    else
        std::cout << "Файлов: " << items.size() << ", успешно: " << good << ", с ошибками: " << bad
                  << '\n';
    if (Context::interrupted)
        return ctx.json() ? service::ExitInterrupted : interrupted("Не записаны", left);
    // A file that is no backup of parameters is wrong input, not a line failure.
    const bool badFile = std::any_of(items.begin(), items.end(), [](const auto& item) {
        return item.result == service::RestoreItem::BadFile;
    });
    if (badFile)
        return service::ExitUsage;
    return !items.empty() && bad == 0 ? service::ExitDone : service::ExitFailed;
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
    restoreCmd->add_flag("--allow-defaults", options->allowDefaults,
                         "записать и файлы без части параметров (по умолчанию)");
    restoreCmd->callback([&ctx, dir, options] {
        ctx.run = [&ctx, dir, options] { return restore(ctx, *dir, *options); };
    });
}
