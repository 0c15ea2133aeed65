#include "exchangecsv.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "csv.h"
#include "exchangetext.h"
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    out << header() << '\n';
    for (const LoggedExchange* e : entries)
        out << row(*e) << '\n';
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace exchangecsv

}  // namespace service
