// The journal file: its rows as text and back, appending with one header,
// rotation past the size limit, and a journal that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "csv.h"
#include "journal.h"
#include "isotime.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

service::journal::Row row(int address, const std::string& action, const std::string& values)
{
    return {"2024-05-17T14:03:27.418+03:00",
            "COM2",
            address,
            "ТИРС-70 №0001",
            action,
            values,
            service::journal::Ok};
}

class Journal : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("tirs-journal-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

}  // namespace

TEST(JournalText, RowsRoundTripThroughTheirQuoting)
{
    EXPECT_EQ(service::journal::formatRow(row(17, "SetA", "A=200 Ia=1500")),
              "2024-05-17T14:03:27.418+03:00;COM2;17;ТИРС-70 №0001;SetA;A=200 Ia=1500;ok");
    // A path with the separator and quotes, an error text with a line break.
    service::journal::Row tricky = row(3, "FileSave", "/home/op/a;b \"new\".par");
    tricky.result = "Ошибка команды SetS:\rНет ответа на команду.";
    const std::string line = service::journal::formatRow(tricky);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_NE(line.find("\"/home/op/a;b \"\"new\"\".par\""), std::string::npos) << line;
    const auto back = service::journal::parseRow(line);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->values, tricky.values);
    EXPECT_EQ(back->result, "Ошибка команды SetS: Нет ответа на команду.");
    EXPECT_FALSE(service::journal::parseRow(service::journal::Header));
    EXPECT_FALSE(service::journal::parseRow("a;b;c"));
    EXPECT_FALSE(service::journal::parseRow("t;COM2;x;type;SetA;v;ok"));
    EXPECT_EQ(service::csv::split("a;\"b;c\";"), (std::vector<std::string>{"a", "b;c", ""}));
}

TEST(JournalText, TimesAreIso8601WithMillisecondsAndZone)
{
    const std::string t = service::isoLocalTimeMillis(std::chrono::system_clock::now());
    EXPECT_TRUE(
        std::regex_match(t, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)")))
        << t;
    EXPECT_TRUE(std::regex_match(service::localClockTime(std::chrono::system_clock::now()),
                                 std::regex(R"(\d\d:\d\d:\d\d\.\d{3})")));
    // 1.5 s after a whole second keeps its 500 ms.
    const auto half =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1'700'000'000'500));
    EXPECT_EQ(service::isoLocalTimeMillis(half).substr(19, 4), ".500");
}

TEST_F(Journal, AppendsUnderOneHeaderAndRotatesPastItsLimit)
{
    service::OperationJournal j(dir.string(), 250);
    ASSERT_TRUE(j.append(row(1, "SetA", "A=200 Ia=1500")));
    ASSERT_TRUE(j.append(row(2, "SetS", "MotionCode=5")));
    EXPECT_EQ(readText(j.path()),
              std::string(service::journal::Header) + "\n" +
                  service::journal::formatRow(row(1, "SetA", "A=200 Ia=1500")) + "\n" +
                  service::journal::formatRow(row(2, "SetS", "MotionCode=5")) + "\n");
    EXPECT_EQ(service::journal::readFile(j.path()),
              (std::vector<service::journal::Row>{row(1, "SetA", "A=200 Ia=1500"),
                                                  row(2, "SetS", "MotionCode=5")}));

    // The row that takes the file past its limit is its last; the file
    // becomes the old one, and the next row starts a new file.
    ASSERT_TRUE(j.append(row(3, "SetS", "MotionCode=0")));
    EXPECT_FALSE(fs::exists(j.path()));
    ASSERT_EQ(service::journal::readFile(j.oldPath()).size(), 3u);
    ASSERT_TRUE(j.append(row(4, "SetS", "MotionCode=6")));
    for (int a = 5; a <= 8; ++a)
        ASSERT_TRUE(j.append(row(a, "SetS", "MotionCode=4")));
    // One old file is kept: the first three rows are gone.
    const auto old = service::journal::readFile(j.oldPath());
    ASSERT_FALSE(old.empty());
    EXPECT_EQ(old.front().address, 4);
    EXPECT_EQ(readText(j.oldPath()).rfind(service::journal::Header, 0), 0u);
    EXPECT_FALSE(j.takeWarning());
}

TEST_F(Journal, AJournalThatCannotBeWrittenWarnsOncePerSpell)
{
    // A folder in the journal's place: no one, root included, can append to it.
    service::OperationJournal j(dir.string());
    fs::create_directories(j.path());
    EXPECT_FALSE(j.append(row(1, "SetA", "A=1 Ia=2")));
    EXPECT_FALSE(j.append(row(1, "SetA", "A=1 Ia=2")));
    const auto warning = j.takeWarning();
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find(j.path()), std::string::npos) << *warning;
    EXPECT_FALSE(j.takeWarning());
    EXPECT_FALSE(j.append(row(1, "SetA", "A=1 Ia=2")));
    EXPECT_FALSE(j.takeWarning());

    // Writable again: rows go on, and a new failure warns again.
    fs::remove(j.path());
    EXPECT_TRUE(j.append(row(1, "SetA", "A=1 Ia=2")));
    fs::remove(j.path());
    fs::create_directories(j.path());
    EXPECT_FALSE(j.append(row(1, "SetA", "A=1 Ia=2")));
    EXPECT_TRUE(j.takeWarning());

    service::OperationJournal nowhere((dir / "no-such-folder").string());
    EXPECT_FALSE(nowhere.append(row(1, "SetA", "A=1 Ia=2")));
    EXPECT_TRUE(nowhere.takeWarning());
}
