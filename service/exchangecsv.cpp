#include "exchangecsv.h"

#include "csv.h"
#include "exchangetext.h"
#include "filebytes.h"
#include "inifile.h"
#include "isotime.h"

namespace service {

namespace exchangecsv {

std::string header()
{
    return csv::line({"time", "port", "address", "command", "request", "answer", "outcome",
                      "round_trip_ms", "request_bytes", "answer_bytes"});
}

std::string row(const LoggedExchange& e)
{
    const ExchangeRecord& r = e.record;
    const double ms = std::chrono::duration<double, std::milli>(r.duration).count();
    return csv::line({isoLocalTimeMillis(e.wallStart), r.port, std::to_string(r.address), r.name,
                      exchangetext::request(r), exchangetext::answer(r), exchangetext::outcome(r),
                      exchangetext::milliseconds(ms), exchangetext::hex(r.request),
                      exchangetext::hex(r.answer)});
}

bool write(const std::string& path, const std::vector<const LoggedExchange*>& entries,
           std::string& error)
{
    std::string text = header() + '\n';
    for (const LoggedExchange* e : entries)
        text += row(*e) + '\n';
    try {
        filebytes::replace(path, text);
    } catch (const IniFileError& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace exchangecsv

}  // namespace service
