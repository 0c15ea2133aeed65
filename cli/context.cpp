#include "context.h"

#include <algorithm>
#include <iostream>

#include "exchangelog.h"
#include "inifile.h"
#include "platform.h"
#include "portopen.h"
#include "codes.h"

namespace {

// The window's settings file: tirsctl takes the same port, address and names.
constexpr const char* SettingsFileName = "tirspanel.ini";

}  // namespace

std::atomic<bool> Context::interrupted{false};

Context::Context() = default;

Context::~Context()
{
    if (port_)
        port_->Close();
}

const service::LineSettings& Context::settings()
{
    if (!settings_) {
        const std::string folder = platform::programFolder();
        const std::string path =
            folder.empty() ? SettingsFileName : folder + "/" + SettingsFileName;
        try {
            settings_ = std::make_unique<service::LineSettings>(service::loadLineSettings(path));
        } catch (const IniFileError& e) {
            throw UsageError("не удаётся прочитать файл настроек " + path + ": " + e.what());
        }
    }
    return *settings_;
}

TWakePort& Context::line()
{
    if (port_)
        return *port_;
    std::string name = options.port;
    if (name.empty()) {
        const int n = settings().port;
        if (n < 1 || n > service::HighestPort)
            throw PortError(PortError::Kind::NotChosen,
                            "порт не выбран: задайте --port или Port в tirspanel.ini");
        name = "COM" + std::to_string(n);
    }
    const int baud = options.baud > 0 ? options.baud : settings().baud;
    auto port = std::make_unique<TWakePort>(service::HighestPort);
    // A name that is no port at all is wrong usage, not a port that failed.
    if (service::normalPortName(*port, name).empty())
        throw UsageError("--port " + name + ": неизвестный порт (COM1…COM" +
                         std::to_string(service::HighestPort) + " или путь к устройству)");
    port->AnswerTimeout = options.timeout;
    const service::PortOpenResult opened = service::openPort(*port, name, baud);
    if (!opened.opened)
        throw PortError(PortError::Kind::NotOpened, name + ": " + opened.text());
    journal_ = std::make_unique<service::OperationRecorder>(platform::programFolder());
    journal_->source = "tirsctl";
    journal_->onRow = [this](const service::journal::Row&) {
        if (const auto warning = journal_->journal().takeWarning())
            std::cerr << "tirsctl: журнал операций не записывается: " << *warning << '\n';
    };
    observers_.add([this](const ExchangeRecord& r) { lastAddress_ = r.address; });
    service::OperationRecorder* recorder = journal_.get();
    observers_.add([recorder](const ExchangeRecord& r) { recorder->observe(r); });
    if (options.verbose)
        observers_.add(printExchange);
    port->SetObserver(observers_.observer());
    port_ = std::move(port);
    return *port_;
}

int Context::address()
{
    const int a = options.address >= 0 ? options.address : settings().address;
    if (a < 0 || a > wake::MaxAddress)
        throw UsageError("адрес " + std::to_string(a) + " вне 0…127");
    if (a == 0 && !warned_) {
        warned_ = true;
        std::cerr << "Внимание: адрес 0 — команду выполнят все приводы на линии.\n";
    }
    return a;
}

int Context::addressToChange()
{
    const int a = options.address >= 0 ? options.address : settings().address;
    if (a == 0 && !options.addressGiven)
        throw UsageError("адрес 0: команду выполнят все приводы на линии. Задайте адрес привода "
                         "(--address A) или --address 0, чтобы отправить её всем.");
    return address();
}

std::string Context::nameOf(int address)
{
    return service::nameOf(settings(), address);
}

std::string Context::failureText(const std::exception& e) const
{
    if (lastAddress_ < 0)
        return messageOf(e);
    return "адрес " + std::to_string(lastAddress_) + ": " + messageOf(e);
}

std::string messageOf(const std::exception& e)
{
    return messageOf(std::string(e.what()));
}

std::string messageOf(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}
