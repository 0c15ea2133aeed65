#include "journal.h"

#include <filesystem>
#include <fstream>

#include "csv.h"
#include "filebytes.h"
#include "inifile.h"
#include "filelock.h"

namespace service {

namespace fs = std::filesystem;

namespace journal {

namespace {

// A row is one line: line breaks inside a text (error messages carry them)
// become spaces.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

}  // namespace

std::string formatRow(const Row& row)
{
    return csv::line({oneLine(row.time), oneLine(row.port), std::to_string(row.address),
                      oneLine(row.type), oneLine(row.action), oneLine(row.values),
                      oneLine(row.result)});
}

std::optional<Row> parseRow(const std::string& line)
{
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text == Header)
        return std::nullopt;
    const std::vector<std::string> f = csv::split(text);
    if (f.size() != 7)
        return std::nullopt;
    Row row;
    row.time = f[0];
    row.port = f[1];
    try {
        std::size_t used = 0;
        row.address = std::stoi(f[2], &used);
        if (used != f[2].size())
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    row.type = f[3];
    row.action = f[4];
    row.values = f[5];
    row.result = f[6];
    return row;
}

std::vector<Row> readFile(const std::string& path)
{
    std::vector<Row> rows;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (auto row = parseRow(line))
            rows.push_back(std::move(*row));
    return rows;
}

}  // namespace journal

OperationJournal::OperationJournal(const std::string& folder, std::uintmax_t rotateBytes)
    : path_((fs::path(folder) / journal::FileName).string()),
      oldPath_((fs::path(folder) / journal::OldFileName).string()),
      lockPath_((fs::path(folder) / journal::LockFileName).string()), rotateBytes_(rotateBytes)
{
}

bool OperationJournal::append(const journal::Row& row)
{
    const FileLock lock(lockPath_);
    const bool ok = write(row);
    if (ok) {
        failing_ = false;
        warned_ = false;
        rotateIfFull();
    } else {
        failing_ = true;
    }
    return ok;
}

std::optional<std::string> OperationJournal::takeWarning()
{
    if (!failing_ || warned_)
        return std::nullopt;
    warned_ = true;
    return error_;
}

bool OperationJournal::write(const journal::Row& row)
{
    // Opened for each row: nothing stays buffered between rows, so a crash
    // loses at most the row being written, and a folder that becomes
    // writable again is used at once. The row goes in whole or not at all.
    try {
        filebytes::append(path_, journal::formatRow(row) + '\n',
                          std::string(journal::Header) + '\n');
    } catch (const IniFileError& e) {
        error_ = e.what();
        return false;
    }
    error_.clear();
    return true;
}

void OperationJournal::rotateIfFull()
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path_, ec);
    if (ec || size <= rotateBytes_)
        return;
    fs::rename(path_, oldPath_, ec);  // replaces the old file
    if (ec)
        error_ = "cannot rename " + path_ + ": " + ec.message();
}

}  // namespace service
