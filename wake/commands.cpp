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

constexpr std::array<Field, 0> None{};
constexpr std::array<Field, 1> InfoText{{{"Text", K::Text}}};
constexpr std::array<Field, 2> AddrRequest{{{"Key", K::Key}, {"Addr", K::Byte}}};
constexpr std::array<Field, 2> MFields{{{"Vmin", K::Word}, {"Extra", K::Byte}}};
constexpr std::array<Field, 2> AFields{{{"A", K::Word}, {"Ia", K::Word}}};
constexpr std::array<Field, 3> PFields{{{"Vp", K::Word}, {"Ip", K::Word}, {"Np", K::Word}}};
constexpr std::array<Field, 4> LFields{
    {{"Vl", K::Word}, {"Il", K::Word}, {"No", K::Word}, {"Nc", K::Word}}};
constexpr std::array<Field, 8> WRequest{{{"V1", K::Word},
                                         {"I1", K::Word},
                                         {"V2", K::Word},
                                         {"I2", K::Word},
                                         {"V3", K::Word},
                                         {"I3", K::Word},
                                         {"V4", K::Word},
                                         {"I4", K::Word}}};
constexpr std::array<Field, 9> WAnswer{{{"V1", K::Word},
                                        {"I1", K::Word},
                                        {"V2", K::Word},
                                        {"I2", K::Word},
                                        {"V3", K::Word},
                                        {"I3", K::Word},
                                        {"V4", K::Word},
                                        {"I4", K::Word},
                                        {"WorkStatus", K::Byte}}};
constexpr std::array<Field, 1> SRequest{{{"MotionCode", K::Byte}}};
constexpr std::array<Field, 2> SAnswer{{{"DriveState", K::Byte}, {"DriveFlags", K::Byte}}};
constexpr std::array<Field, 1> NRequest{{{"N", K::Word}}};
constexpr std::array<Field, 1> NAnswer{{{"N", K::SignedWord}}};
constexpr std::array<Field, 1> TFields{{{"Nt", K::Word}}};
constexpr std::array<Field, 1> IAnswer{{{"InputCurrent", K::Word}}};
constexpr std::array<Field, 12> RFields{{{"RelEn1", K::Byte},
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
constexpr std::array<Field, 1> RsAnswer{{{"RelayStates", K::Byte}}};

template <std::size_t R, std::size_t A>
constexpr CommandInfo make(Command c, const char* name, const std::array<Field, R>& request,
                           const std::array<Field, A>& answer, bool changes)
{
    const bool errorByte = c != Command::GetInfo;
    return CommandInfo{
        c,         name,    request,           answer,
        errorByte, changes, lengthOf(request), lengthOf(answer) + (errorByte ? 1 : 0)};
}

constexpr std::array<CommandInfo, 22> Table{{
    make(Command::GetInfo, "GetInfo", None, InfoText, false),
    make(Command::SetAddr, "SetAddr", AddrRequest, None, true),
    make(Command::SetM, "SetM", MFields, None, true),
    make(Command::GetM, "GetM", None, MFields, false),
    make(Command::SetA, "SetA", AFields, None, true),
    make(Command::GetA, "GetA", None, AFields, false),
    make(Command::SetP, "SetP", PFields, None, true),
    make(Command::GetP, "GetP", None, PFields, false),
    make(Command::SetL, "SetL", LFields, None, true),
    make(Command::GetL, "GetL", None, LFields, false),
    make(Command::SetW, "SetW", WRequest, None, true),
    make(Command::GetW, "GetW", None, WAnswer, false),
    make(Command::SetS, "SetS", SRequest, None, true),
    make(Command::GetS, "GetS", None, SAnswer, false),
    make(Command::SetN, "SetN", NRequest, None, true),
    make(Command::GetN, "GetN", None, NAnswer, false),
    make(Command::SetT, "SetT", TFields, None, true),
    make(Command::GetT, "GetT", None, TFields, false),
    make(Command::GetI, "GetI", None, IAnswer, false),
    make(Command::SetR, "SetR", RFields, None, true),
    make(Command::GetR, "GetR", None, RFields, false),
    make(Command::GetRS, "GetRS", None, RsAnswer, false),
}};

}  // namespace

int fieldWidth(FieldKind kind)
{
    return widthOf(kind);
}

const CommandInfo* findCommand(int code)
{
    const auto it = std::find_if(Table.begin(), Table.end(), [code](const CommandInfo& s) {
        return static_cast<int>(s.command) == code;
    });
    return it == Table.end() ? nullptr : &*it;
}

const CommandInfo& commandInfo(Command command)
{
    return *findCommand(static_cast<int>(command));
}

std::span<const CommandInfo> commandSet()
{
    return Table;
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

std::size_t encodeFields(std::span<const Field> fields, std::span<const int> values,
                         std::uint8_t* data)
{
    std::size_t pos = 0;
    for (std::size_t k = 0; k < fields.size() && k < values.size(); ++k) {
        const int width = widthOf(fields[k].kind);
        if (width == 0)
            break;
        const auto value = static_cast<unsigned>(values[k]);
        data[pos] = static_cast<std::uint8_t>(value & 0xFF);
        if (width == 2)
            data[pos + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        pos += static_cast<std::size_t>(width);
    }
    return pos;
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
