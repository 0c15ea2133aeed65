// Two programs appending to one journal at once, across its rotation: every
// row lands whole, once, under one header per file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "journal.h"

namespace fs = std::filesystem;

namespace {

TEST(JournalConcurrency, TwoWritersNeitherMixNorLoseRowsAcrossARotation)
{
    const fs::path dir = fs::temp_directory_path() / ("journal-two-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    constexpr int RowsEach = 400;  // ~64 KB in all: one rotation at 40 KB, not two
    constexpr std::uintmax_t RotateBytes = 40 * 1024;
    const auto writer = [&](int id) {
        // Each with its own journal object, as two programs have.
        service::OperationJournal journal(dir.string(), RotateBytes);
        for (int i = 0; i < RowsEach; ++i)
            journal.append({"2026-12-08T18:40:51.123+00:00", "COM2", 3, "ТИРС-70", "SetS",
                            "writer=" + std::to_string(id) + " row=" + std::to_string(i),
                            service::journal::Ok});
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();

    std::map<std::string, int> seen;
    for (const char* name : {service::journal::OldFileName, service::journal::FileName}) {
        std::ifstream in(dir / name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            if (number++ == 0) {
                EXPECT_EQ(line, service::journal::Header) << name;
                continue;
            }
            const auto row = service::journal::parseRow(line);
            ASSERT_TRUE(row) << name << " line " << number << ": " << line;
            ++seen[row->values];
        }
    }
    EXPECT_EQ(seen.size(), 2u * RowsEach);
    for (const auto& [values, count] : seen)
        EXPECT_EQ(count, 1) << values;
    fs::remove_all(dir);
}

}  // namespace
