// In-memory image of an INI file (the settings file and the parameter files).
// Read whole, changed in memory, written whole: Windows-1251 on disk, UTF-8
// in the image, CRLF line ends, each section followed by one empty line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A file the file layer could not read or write; the message gives the
// path and the system's reason, the kind what failed.
class IniFileError : public std::runtime_error {
public:
    enum class Kind {
        Open,            // the file is there but does not open
        NotRegularFile,  // a folder or a device in the file's place
        TooLarge,        // more than a file of the programs can be
        Read,
        Create,   // a new file, or the temporary that replaces the old one
        Write,    // the bytes did not all reach the disk
        Refused,  // a read-only or another user's file, a link that is not followed
    };
    IniFileError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind)
    {
    }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class IniImage {
public:
    IniImage() = default;

    // Parses file bytes (Windows-1251).
    static IniImage fromBytes(std::string_view bytes);
    // The file bytes as they are written (Windows-1251, CRLF).
    std::string toBytes() const;

    // Reads the file; a missing file reads as empty. Throws IniFileError when
    // an existing file cannot be read.
    static IniImage load(const std::string& path);
    // Writes the file through the file layer (filebytes.h): atomically where
    // it can, keeping the old file's owner, group and mode; a read-only file
    // is never replaced; a symbolic link is followed only when it and its file
    // belong to the user running the program, else the link is replaced.
    // Throws IniFileError with the reason ("Cannot create file <path>" when it
    // cannot be created).
    void save(const std::string& path) const;

    // Section and key names match without regard to letter case.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    long long readInteger(std::string_view section, std::string_view key, long long def) const;
    // An integer that does not fit an int cannot be converted either: def.
    int readInt(std::string_view section, std::string_view key, int def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    double readFloat(std::string_view section, std::string_view key, double def) const;
    std::string readString(std::string_view section, std::string_view key,
                           const std::string& def) const;

    // An existing key keeps its place; a new key goes to the end of its
    // section; a new section to the end of the file.
    void writeString(std::string_view section, std::string_view key, const std::string& value);
    void writeInteger(std::string_view section, std::string_view key, long long value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void writeFloat(std::string_view section, std::string_view key, double value);

    std::vector<std::string> sections() const;
    bool hasSection(std::string_view name) const;

private:
    struct Line {
        std::string key;    // empty for a line without "="
        std::string value;  // the value, or the whole line when it holds no "="
        bool isPair = false;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };
    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    Section& addSection(std::string name);
    std::vector<Section> sections_;
    // Position in sections_ by the name in ASCII lower case, so that a file
    // of many sections reads in time linear in its size.
    std::unordered_map<std::string, std::size_t> sectionIndex_;
};
