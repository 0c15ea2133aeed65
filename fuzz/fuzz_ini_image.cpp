// The INI image read from arbitrary bytes, written, and read again: the
// second image writes exactly the bytes of the first, and reading any key of
// either never fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzzcheck.h"
#include "inifile.h"

namespace {

// Every accessor over a few keys; the fuzz input picks the names too.
void readEverything(const IniImage& image, std::string_view key)
{
    for (const std::string& section : image.sections()) {
        (void)image.value(section, key);
        (void)image.readInteger(section, key, -1);
        (void)image.readBool(section, key, true);
        (void)image.readFloat(section, key, 0.5);
        (void)image.readString(section, key, "x");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const IniImage first = IniImage::fromBytes(bytes);
    const std::string written = first.toBytes();
    const IniImage second = IniImage::fromBytes(written);
    const std::string rewritten = second.toBytes();
    FUZZ_REQUIRE(written == rewritten);
    FUZZ_REQUIRE(first.sections() == second.sections());

    // A key name from the input's first line, so that real keys get looked up.
    const std::string_view key = bytes.substr(0, std::min(bytes.find('='), bytes.find('\n')));
    readEverything(first, key.substr(0, 32));
    readEverything(second, key.substr(0, 32));

    // Changing the image keeps it stable through a write and a read as well.
    IniImage changed = second;
    const std::string name = first.sections().empty() ? "Main" : first.sections().front();
    // A value is stored as its line holds it: trimmed, so the value written
    // here is one without surrounding blanks, in letters the file can hold.
    std::string value;
    for (char c : bytes.substr(0, 40))
        value += static_cast<char>('!' + static_cast<unsigned char>(c) % 94);
    changed.writeString(name, "Fuzz", value);
    changed.writeInteger("Numbers", "Count", static_cast<long long>(size));
    changed.writeFloat("Numbers", "Ratio", static_cast<double>(size) / 7.0);
    changed.writeBool("Numbers", "Flag", size % 2 == 0);
    const std::string changedBytes = changed.toBytes();
    FUZZ_REQUIRE(IniImage::fromBytes(changedBytes).toBytes() == changedBytes);
    const IniImage reread = IniImage::fromBytes(changedBytes);
    FUZZ_REQUIRE(reread.readInteger("Numbers", "Count", -1) == static_cast<long long>(size));
    FUZZ_REQUIRE(reread.readString(name, "Fuzz", "") == value);
    return 0;
}
