// The actuator's command set: each command's code, name, and the fields of its
// request and answer, from which the frame lengths follow and by which any
// frame's data can be read back into named values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace wake {

enum class Command : std::uint8_t {
    GetInfo = 3,
    SetAddr = 4,
    SetM = 6,
    GetM = 7,
    SetA = 8,
    GetA = 9,
    SetP = 10,
    GetP = 11,
    SetL = 12,
    GetL = 13,
    SetW = 14,
    GetW = 15,
    SetS = 16,
    GetS = 17,
    SetN = 18,
    GetN = 19,
    SetT = 20,
    GetT = 21,
    GetI = 22,
    SetR = 23,
    GetR = 24,
    GetRS = 25,
};

// Byte: 8 bits; Word: 16 bits low byte first; SignedWord: the same, two's
// complement; Key: a fixed 16-bit word shown in hex; Text: the rest of the
// data, Windows-1251, up to the first zero byte.
enum class FieldKind : std::uint8_t { Byte, Word, SignedWord, Key, Text };

struct Field {
    const char* name;
    FieldKind kind;
};

int fieldWidth(FieldKind kind);  // 0 for Text (variable)

struct CommandInfo {
    Command command;
    const char* name;
    std::span<const Field> request;
    std::span<const Field> answer;  // the values after the error byte
    bool hasErrorByte;
    bool changesDevice;  // a Set command (or SetAddr): it alters the actuator
    int requestLength;   // data bytes of the request
    int answerLength;    // data bytes a complete answer carries, error byte included
};

const CommandInfo& commandInfo(Command command);
// nullptr for a code outside the command set.
const CommandInfo* findCommand(int code);
std::span<const CommandInfo> commandSet();

// Whether an answer with this code starts with the device's error byte
// (codes 2 and 3 answer with data only).
bool answerHasErrorByte(int code);

struct FieldValue {
    std::string name;
    long value = 0;
    std::string text;  // UTF-8, for Text fields
    FieldKind kind = FieldKind::Byte;
};

// Reads the fields in order as far as the data goes; a field cut short is left out.
std::vector<FieldValue> decodeFields(std::span<const Field> fields, const std::uint8_t* data,
                                     std::size_t count);
// Writes the values into data by the fields' layout (a word low byte first),
// as far as both go; a Text field ends it. Gives the bytes written.
std::size_t encodeFields(std::span<const Field> fields, std::span<const int> values,
                         std::uint8_t* data);
std::vector<FieldValue> decodeRequest(const CommandInfo& command, const std::uint8_t* data,
                                      std::size_t count);
// Skips the error byte where the answer has one.
std::vector<FieldValue> decodeAnswer(const CommandInfo& command, const std::uint8_t* data,
                                     std::size_t count);

// "A=200 Ia=1500"; a Key in hex ("Key=0xA35C"), a Text in double quotes.
std::string formatFields(const std::vector<FieldValue>& values);

}  // namespace wake
