#include "commands.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "cp1251.h"

namespace wake {

namespace {

using K = FieldKind;

constexpr int widthOf(FieldKind kind)
{
    switch (kind) {
    case K::Byte: return 1;
    case K::Word:
    case K::SignedWord:
    case K::Key: return 2;
    case K::Text: return 0;
    }
    return 0;
}

template <std::size_t N>
constexpr int lengthOf(const std::array<Field, N>& fields)
{
    int n = 0;
    for (const Field& f : fields)
        n += widthOf(f.kind);
    return n;
}

constexpr std::array<Field, 0> none{};
constexpr std::array<Field, 1> infoText{{{"Text", K::Text}}};
constexpr std::array<Field, 2> addrRequest{{{"Key", K::Key}, {"Addr", K::Byte}}};
constexpr std::array<Field, 2> mFields{{{"Vmin", K::Word}, {"Extra", K::Byte}}};
constexpr std::array<Field, 2> aFields{{{"A", K::Word}, {"Ia", K::Word}}};
constexpr std::array<Field, 3> pFields{{{"Vp", K::Word}, {"Ip", K::Word}, {"Np", K::Word}}};
constexpr std::array<Field, 4> lFields{
    {{"Vl", K::Word}, {"Il", K::Word}, {"No", K::Word}, {"Nc", K::Word}}};
constexpr std::array<Field, 8> wRequest{{{"V1", K::Word},
                                         {"I1", K::Word},
                                         {"V2", K::Word},
                                         {"I2", K::Word},
                                         {"V3", K::Word},
                                         {"I3", K::Word},
                                         {"V4", K::Word},
                                         {"I4", K::Word}}};
constexpr std::array<Field, 9> wAnswer{{{"V1", K::Word},
                                        {"I1", K::Word},
                                        {"V2", K::Word},
                                        {"I2", K::Word},
                                        {"V3", K::Word},
                                        {"I3", K::Word},
                                        {"V4", K::Word},
                                        {"I4", K::Word},
                                        {"WorkStatus", K::Byte}}};
constexpr std::array<Field, 1> sRequest{{{"MotionCode", K::Byte}}};
constexpr std::array<Field, 2> sAnswer{{{"DriveState", K::Byte}, {"DriveFlags", K::Byte}}};
constexpr std::array<Field, 1> nRequest{{{"N", K::Word}}};
constexpr std::array<Field, 1> nAnswer{{{"N", K::SignedWord}}};
constexpr std::array<Field, 1> tFields{{{"Nt", K::Word}}};
constexpr std::array<Field, 1> iAnswer{{{"InputCurrent", K::Word}}};
constexpr std::array<Field, 12> rFields{{{"RelEn1", K::Byte},
                                         {"RelMin1", K::Byte},
                                         {"RelMax1", K::Byte},
                                         {"RelHyst1", K::Byte},
                                         {"RelEn2", K::Byte},
                                         {"RelMin2", K::Byte},
                                         {"RelMax2", K::Byte},
                                         {"RelHyst2", K::Byte},
                                         {"RelEn3", K::Byte},
                                         {"RelMin3", K::Byte},
                                         {"RelMax3", K::Byte},
                                         {"RelHyst3", K::Byte}}};
constexpr std::array<Field, 1> rsAnswer{{{"RelayStates", K::Byte}}};

template <std::size_t R, std::size_t A>
constexpr CommandInfo make(Command c, const char* name, const std::array<Field, R>& request,
                           const std::array<Field, A>& answer, bool changes)
{
    const bool errorByte = c != Command::GetInfo;
    return CommandInfo{
        c,         name,    request,           answer,
        errorByte, changes, lengthOf(request), lengthOf(answer) + (errorByte ? 1 : 0)};
}

constexpr std::array<CommandInfo, 22> table{{
    make(Command::GetInfo, "GetInfo", none, infoText, false),
    make(Command::SetAddr, "SetAddr", addrRequest, none, true),
    make(Command::SetM, "SetM", mFields, none, true),
    make(Command::GetM, "GetM", none, mFields, false),
    make(Command::SetA, "SetA", aFields, none, true),
    make(Command::GetA, "GetA", none, aFields, false),
    make(Command::SetP, "SetP", pFields, none, true),
    make(Command::GetP, "GetP", none, pFields, false),
    make(Command::SetL, "SetL", lFields, none, true),
    make(Command::GetL, "GetL", none, lFields, false),
    make(Command::SetW, "SetW", wRequest, none, true),
    make(Command::GetW, "GetW", none, wAnswer, false),
    make(Command::SetS, "SetS", sRequest, none, true),
    make(Command::GetS, "GetS", none, sAnswer, false),
    make(Command::SetN, "SetN", nRequest, none, true),
    make(Command::GetN, "GetN", none, nAnswer, false),
    make(Command::SetT, "SetT", tFields, none, true),
    make(Command::GetT, "GetT", none, tFields, false),
    make(Command::GetI, "GetI", none, iAnswer, false),
    make(Command::SetR, "SetR", rFields, none, true),
    make(Command::GetR, "GetR", none, rFields, false),
    make(Command::GetRS, "GetRS", none, rsAnswer, false),
}};

}  // namespace

int fieldWidth(FieldKind kind)
{
    return widthOf(kind);
}

const CommandInfo* findCommand(int code)
{
    const auto it = std::find_if(table.begin(), table.end(), [code](const CommandInfo& s) {
        return static_cast<int>(s.command) == code;
    });
    return it == table.end() ? nullptr : &*it;
}

const CommandInfo& commandInfo(Command command)
{
    return *findCommand(static_cast<int>(command));
}

std::span<const CommandInfo> commandSet()
{
    return table;
}

bool answerHasErrorByte(int code)
{
    if (code == 2)
        return false;
    const CommandInfo* s = findCommand(code);
    return s == nullptr || s->hasErrorByte;
}

std::vector<FieldValue> decodeFields(std::span<const Field> fields, const std::uint8_t* data,
                                     std::size_t count)
{
    std::vector<FieldValue> out;
    std::size_t pos = 0;
    for (const Field& f : fields) {
        FieldValue v;
        v.name = f.name;
        v.kind = f.kind;
        if (f.kind == K::Text) {
            const std::string_view rest(reinterpret_cast<const char*>(data) + pos, count - pos);
            v.text = cp1251::toUtf8(rest.substr(0, rest.find('\0')));
            out.push_back(std::move(v));
            break;
        }
        const std::size_t width = static_cast<std::size_t>(widthOf(f.kind));
        if (pos + width > count)
            break;
        long value = data[pos];
        if (width == 2)
            value |= long(data[pos + 1]) << 8;
        if (f.kind == K::SignedWord)
            value = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
        v.value = value;
        out.push_back(std::move(v));
        pos += width;
    }
    return out;
}

std::vector<FieldValue> decodeRequest(const CommandInfo& command, const std::uint8_t* data,
                                      std::size_t count)
{
    return decodeFields(command.request, data, count);
}

std::vector<FieldValue> decodeAnswer(const CommandInfo& command, const std::uint8_t* data,
                                     std::size_t count)
{
    if (command.hasErrorByte) {
        if (count == 0)
            return {};
        ++data;
        --count;
    }
    return decodeFields(command.answer, data, count);
}

std::string formatFields(const std::vector<FieldValue>& values)
{
    std::string out;
    for (const FieldValue& v : values) {
        if (!out.empty())
            out += ' ';
        out += v.name;
        out += '=';
        if (v.kind == K::Text) {
            out += '"' + v.text + '"';
        } else if (v.kind == K::Key) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04lX", v.value);
            out += hex;
        } else {
            out += std::to_string(v.value);
        }
    }
    return out;
}

}  // namespace wake
