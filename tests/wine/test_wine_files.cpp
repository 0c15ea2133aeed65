// The Windows halves of the core: settings and parameter files on the
// Windows file functions, and the reasons named for a port that does not
// open. Ports as tools/wine-tests.sh maps them (COM2 a line, COM6 missing).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "inifile.h"
#include "portproblem.h"

namespace {

// A folder of the test's own under the temporary folder, with a Cyrillic
// name so that the paths cross the UTF-8/UTF-16 edge.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        wide_ = std::wstring(temp) + L"tirs-файлы-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(wide_.c_str(), nullptr));
        const int n =
            WideCharToMultiByte(CP_UTF8, 0, wide_.c_str(), -1, nullptr, 0, nullptr, nullptr);
        folder_.resize(static_cast<std::size_t>(n - 1));
        WideCharToMultiByte(CP_UTF8, 0, wide_.c_str(), -1, folder_.data(), n, nullptr, nullptr);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((wide_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..")
                    DeleteFileW((wide_ + L"\\" + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(wide_.c_str());
    }

    int entries() const
    {
        int count = 0;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((wide_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return 0;
        do {
            const std::wstring name = found.cFileName;
            count += name != L"." && name != L"..";
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

    std::string folder_;
    std::wstring wide_;
};

}  // namespace

TEST_F(TempFolder, SaveReplacesTheFileWholeAndLoadReadsItBack)
{
    const std::string path = folder_ + "\\Параметры.par";
    EXPECT_TRUE(IniImage::load(path).sections().empty());  // a missing file reads as empty

    IniImage first;
    first.writeInteger("Work", "V1", 200);
    first.writeString("Names", "Addr1", "Задвижка №1");
    first.save(path);
    IniImage second = IniImage::load(path);
    EXPECT_EQ(second.readInteger("Work", "V1", 0), 200);
    EXPECT_EQ(second.readString("Names", "Addr1", ""), "Задвижка №1");

    second.writeInteger("Work", "V1", 250);
    second.save(path);
    EXPECT_EQ(IniImage::load(path).readInteger("Work", "V1", 0), 250);
    EXPECT_EQ(entries(), 1);  // no temporary file left behind
    EXPECT_EQ(IniImage::load(path).toBytes(), second.toBytes());
}

TEST_F(TempFolder, FoldersAndMissingFoldersAreRefusedWithTheirPath)
{
    EXPECT_THROW(IniImage::load(folder_), IniFileError);
    const std::string nowhere = folder_ + "\\нет\\файл.ini";
    try {
        IniImage().save(nowhere);
        FAIL() << "saved into a missing folder";
    } catch (const IniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + nowhere);
    }
}

TEST(PortReasons, MissingUnknownAndOpenablePorts)
{
    EXPECT_TRUE(PortProblem("COM2").none());
    EXPECT_EQ(PortProblem("COM6").text(), "устройство не найдено: \\\\.\\COM6");
    EXPECT_EQ(PortProblem("COM9").text(), "устройство не найдено: \\\\.\\COM9");
    EXPECT_EQ(PortProblem("LPT1").text(), "неизвестный порт");
}
