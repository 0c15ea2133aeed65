#include "paramset.h"

#include "addressscope.h"
#include "inifile.h"
#include "wakeport.h"

namespace service {

namespace {

// Indices into ParamSet, in the order of paramfile::ParamKeys.
enum : std::size_t { Vmin, V1, I1, V2, I2, V3, I3, V4, I4, A, Ia, Vp, Ip, Np, Vl, Il, No, Nc, Nt };
static_assert(Nt == TravelIndex);

int word(long v)
{
    return static_cast<int>(v);
}

// The page's read order; GetW also gives the work status.
ParamSet readValues(TWakePort& port, int& workStatus)
{
    int a = 0, ia = 0, vmin = 0, extra = 0, vp = 0, ip = 0, np = 0;
    int vl = 0, il = 0, no = 0, nc = 0, nt = 0;
    int v[4] = {}, i[4] = {};
    port.GetA(a, ia);
    port.GetM(vmin, extra);
    port.GetP(vp, ip, np);
    port.GetL(vl, il, no, nc);
    port.GetW(v[0], i[0], v[1], i[1], v[2], i[2], v[3], i[3], workStatus);
    port.GetT(nt);
    return ParamSet{vmin, v[0], i[0], v[1], i[1], v[2], i[2], v[3], i[3], a,
                    ia,   vp,   ip,   np,   vl,   il,   no,   nc,   nt};
}

}  // namespace

std::optional<std::size_t> paramIndex(std::string_view key)
{
    for (std::size_t i = 0; i < paramfile::ParamCount; ++i)
        if (paramfile::ParamKeys[i].key == key)
            return i;
    return std::nullopt;
}

ParamSet readParams(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    int workStatus = 0;
    return readValues(port, workStatus);
}

ParamPageReading readParamPage(TWakePort& port, int address)
{
    AddressScope scope(port, address);
    ParamPageReading out;
    out.type = port.GetInfo();
    out.values = readValues(port, out.workStatus);
    return out;
}

ParamSet paramsFromFile(const IniImage& file)
{
    const paramfile::ParamValues raw = paramfile::read(file);
    ParamSet values{};
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
        values[k] = static_cast<long>(paramfile::fieldValue(paramfile::ParamKeys[k], raw[k]));
    return values;
}

void paramsToFile(IniImage& file, const ParamSet& values)
{
    paramfile::ParamValues raw{};
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k)
        raw[k] = static_cast<double>(values[k]);
    paramfile::write(file, raw);
}

std::vector<Difference> diffParams(const ParamSet& device, const ParamSet& wanted, bool withTravel)
{
    std::vector<Difference> out;
    for (std::size_t k = 0; k < paramfile::ParamCount; ++k) {
        if (k == Nt && !withTravel)
            continue;
        if (device[k] != wanted[k])
            out.push_back({std::string(paramfile::ParamKeys[k].key), device[k], wanted[k]});
    }
    return out;
}

void writeParams(TWakePort& port, int address, const ParamSet& p, bool travel)
{
    AddressScope scope(port, address);
    port.SetS(wake::CmdStopOff);
    port.SetA(word(p[A]), word(p[Ia]));
    // SetM's extra value has no field on the page: it gets the current just sent.
    port.SetM(word(p[Vmin]), word(p[Ia]));
    port.SetP(word(p[Vp]), word(p[Ip]), word(p[Np]));
    port.SetL(word(p[Vl]), word(p[Il]), word(p[No]), word(p[Nc]));
    port.SetW(word(p[V1]), word(p[I1]), word(p[V2]), word(p[I2]), word(p[V3]), word(p[I3]),
              word(p[V4]), word(p[I4]));
    if (travel)
        port.SetT(word(p[Nt]));
}

WriteOutcome writeParamsVerified(TWakePort& port, int address, const ParamSet& wanted,
                                 const WriteOptions& options)
{
    WriteOutcome out;
    out.before = diffParams(readParams(port, address), wanted, true);
    const bool travelDiffers = !out.before.empty() && out.before.back().key == "Nt";
    out.travelSkipped = travelDiffers && !options.travel;
    const std::size_t writable = out.before.size() - (out.travelSkipped ? 1 : 0);
    if (options.dryRun || writable == 0)
        return out;
    writeParams(port, address, wanted, options.travel);
    out.written = true;
    out.mismatches = diffParams(readParams(port, address), wanted, options.travel);
    return out;
}

}  // namespace service
