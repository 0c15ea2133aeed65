// Two programs appending to one journal at once, across its rotation: every
// row lands whole, once, under one header per file. The journal is filled up
// to its bound first and two processes are let go at the same instant, so
// that both see it full with their first row: both would rotate, and both
// would start the new file, were the lock not held over the whole append.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <thread>

#include "journal.h"

namespace fs = std::filesystem;

namespace {

service::journal::Row row(const std::string& values)
{
    return {"2026-12-08T18:40:51.123+00:00",
            "COM2",
            3,
            "ТИРС-70",
            "SetS",
            values,
            service::journal::Ok};
}

// A writer process: it waits until the other one is ready too (both
// spinning, so that they start at nearly the same instant; a second at most),
// then appends its rows. It exits with 0 when every append went through.
pid_t startWriter(const fs::path& dir, std::uintmax_t rotateBytes, int id, int rows,
                  std::atomic<int>& ready)
{
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    service::OperationJournal journal(dir.string(), rotateBytes);
    ready.fetch_add(1);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (ready.load() < 2 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();  // the other may need this core to be started
    bool ok = true;
    for (int i = 0; i < rows; ++i)
        if (!journal.append(row("writer=" + std::to_string(id) + " row=" + std::to_string(i))))
            ok = false;
    ::_exit(ok ? 0 : 1);
}

// What is wrong with the two files: a header missing or doubled, a line that
// is not a row, a row lost or written twice. Empty when nothing.
std::string faultIn(const fs::path& dir, std::size_t expectedRows)
{
    std::map<std::string, int> seen;
    for (const char* name : {service::journal::OldFileName, service::journal::FileName}) {
        std::ifstream in(dir / name, std::ios::binary);
        if (!in)
            return std::string("no ") + name;
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            if (number == 1) {
                if (line != service::journal::Header)
                    return std::string(name) + " begins without its header: " + line;
                continue;
            }
            const auto parsed = service::journal::parseRow(line);
            if (!parsed)
                return std::string(name) + " line " + std::to_string(number) + ": " + line;
            if (++seen[parsed->values] > 1)
                return "twice: " + parsed->values;
        }
    }
    if (seen.size() != expectedRows)
        return std::to_string(expectedRows - seen.size()) + " rows lost";
    return {};
}

TEST(JournalConcurrency, TwoWritersNeitherMixNorLoseRowsAcrossARotation)
{
    const fs::path dir = fs::temp_directory_path() / ("journal-two-" + std::to_string(::getpid()));
    constexpr int FirstRows = 40;  // the full file
    constexpr int RowsEach = 10;   // the new file takes 20 rows: half the bound, one rotation
    constexpr int Rounds = 100;
    // Shared with the writer processes.
    void* shared = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* ready = new (shared) std::atomic<int>(0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (int round = 0; round < Rounds && std::chrono::steady_clock::now() < deadline; ++round) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        service::OperationJournal first(dir.string());
        for (int i = 0; i < FirstRows; ++i)
            ASSERT_TRUE(first.append(row("first row=" + std::to_string(i))));
        const std::uintmax_t rotateBytes = fs::file_size(first.path());  // the next row rotates

        ready->store(0);
        const pid_t a = startWriter(dir, rotateBytes, 1, RowsEach, *ready);
        const pid_t b = startWriter(dir, rotateBytes, 2, RowsEach, *ready);
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        for (const pid_t child : {a, b}) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        ASSERT_EQ(faultIn(dir, FirstRows + 2 * RowsEach), "") << "round " << round;
    }
    ::munmap(shared, sizeof(std::atomic<int>));
    fs::remove_all(dir);
}

}  // namespace
