#include "inifile.h"

#include <limits>

#include "cp1251.h"
#include "filebytes.h"
#include "numbertext.h"

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string foldedName(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

// A line break inside a name or value would split it into two lines of the
// file, the second of which would read as something else.
std::string oneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

}  // namespace

IniImage IniImage::fromBytes(std::string_view bytes)
{
    IniImage image;
    const std::string text = cp1251::toUtf8(bytes);
    Section* current = nullptr;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = trimmed(std::string_view(line).substr(1, line.size() - 2));
            // A repeated section continues the first one of that name, so
            // that its keys stay reachable and the file holds it once.
            current = image.findSection(name);
            if (!current)
                current = &image.addSection(name);
            continue;
        }
        if (!current)
            continue;  // before the first section
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            current->lines.push_back(Line{{}, line, false});
        } else {
            current->lines.push_back(Line{trimmed(std::string_view(line).substr(0, eq)),
                                          trimmed(std::string_view(line).substr(eq + 1)), true});
        }
    }
    return image;
}

std::string IniImage::toBytes() const
{
    std::string text;
    for (const auto& section : sections_) {
        text += "[" + section.name + "]\r\n";
        for (const auto& line : section.lines) {
            if (line.isPair)
                text += line.key + "=";
            text += line.value + "\r\n";
        }
        text += "\r\n";
    }
    return cp1251::fromUtf8(text);
}

IniImage IniImage::load(const std::string& path)
{
    bool missing = false;
    const std::string bytes = filebytes::read(path, missing);
    return missing ? IniImage() : fromBytes(bytes);
}

void IniImage::save(const std::string& path) const
{
    filebytes::replace(path, toBytes());
}

IniImage::Section* IniImage::findSection(std::string_view name)
{
    const auto found = sectionIndex_.find(foldedName(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const IniImage::Section* IniImage::findSection(std::string_view name) const
{
    const auto found = sectionIndex_.find(foldedName(name));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniImage::Section& IniImage::addSection(std::string name)
{
    sectionIndex_.emplace(foldedName(name), sections_.size());
    sections_.push_back(Section{std::move(name), {}});
    return sections_.back();
}

std::optional<std::string> IniImage::value(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    for (const auto& line : s->lines)
        if (line.isPair && sameName(line.key, key))
            return line.value;
    return std::nullopt;
}

long long IniImage::readInteger(std::string_view section, std::string_view key, long long def) const
{
    const auto text = value(section, key);
    if (!text)
        return def;
    return numtext::parseInteger(*text, true).value_or(def);
}

int IniImage::readInt(std::string_view section, std::string_view key, int def) const
{
    const long long v = readInteger(section, key, def);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return def;
    return static_cast<int>(v);
}

bool IniImage::readBool(std::string_view section, std::string_view key, bool def) const
{
    const auto text = value(section, key);
    if (!text)
        return def;
    const auto v = numtext::parseInteger(*text, true);
    return v ? *v != 0 : def;
}

double IniImage::readFloat(std::string_view section, std::string_view key, double def) const
{
    const auto text = value(section, key);
    if (!text)
        return def;
    return numtext::parseFloat(*text).value_or(def);
}

std::string IniImage::readString(std::string_view section, std::string_view key,
                                 const std::string& def) const
{
    return value(section, key).value_or(def);
}

void IniImage::writeString(std::string_view section, std::string_view key, const std::string& value)
{
    Section* s = findSection(section);
    if (!s)
        s = &addSection(oneLine(section));
    for (auto& line : s->lines) {
        if (line.isPair && sameName(line.key, key)) {
            line.value = oneLine(value);
            return;
        }
    }
    s->lines.push_back(Line{oneLine(key), oneLine(value), true});
}

void IniImage::writeInteger(std::string_view section, std::string_view key, long long value)
{
    writeString(section, key, std::to_string(value));
}

void IniImage::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void IniImage::writeFloat(std::string_view section, std::string_view key, double value)
{
    writeString(section, key, numtext::formatGeneral(value, 15));
}

bool IniImage::hasSection(std::string_view name) const
{
    return findSection(name) != nullptr;
}

std::vector<std::string> IniImage::sections() const
{
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& s : sections_)
        names.push_back(s.name);
    return names;
}
