#include "base/debug_log.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

class DebugLogTest : public ::testing::Test
{
protected:
    void SetUp() override { SetDebugLogPathForTesting(log.c_str()); }
    void TearDown() override { SetDebugLogPathForTesting(nullptr); }
    TempDir dir;
    std::string log = dir / "debug.txt";
};

TEST_F(DebugLogTest, EntryIsMessageThenTimeStampWithCrLf)
{
    ASSERT_EQ(WriteDebugLog("Unkown Error"), 0);
    const std::string text = ReadAll(log);
    EXPECT_TRUE(std::regex_match(
        text, std::regex("Unkown Error\r\n\\(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\)\r\n")))
        << text;
}

TEST_F(DebugLogTest, LaterRunsAppendNeverTruncate)
{
    WriteDebugLog("first");
    SetDebugLogPathForTesting(log.c_str()); // as a new run
    WriteDebugLog("second");
    const std::string text = ReadAll(log);
    EXPECT_EQ(text.find("first"), 0u);
    EXPECT_NE(text.find("second"), std::string::npos);
}

TEST_F(DebugLogTest, OverlongMessageIsCutButKeepsItsTimeStamp)
{
    // Message, line feed and the 21-character stamp fill 1023 characters.
    WriteDebugLog(std::string(5000, 'x').c_str());
    const std::string text = ReadAll(log);
    EXPECT_EQ(text.find('\r'), 1001u) << text.size();
    EXPECT_EQ(text.size(), 1001u + 2 + 21 + 2);
    EXPECT_EQ(text.substr(text.size() - 3), ")\r\n");
}

TEST_F(DebugLogTest, CutNeverSplitsACharacter)
{
    std::string message;
    for (int i = 0; i < 500; ++i)
        message += "题"; // 3 bytes each
    WriteDebugLog(message.c_str());
    const std::string text = ReadAll(log);
    const std::string first = text.substr(0, text.find('\r'));
    EXPECT_EQ(first.size(), 999u);
    EXPECT_TRUE(first == message.substr(0, 999));
}

TEST_F(DebugLogTest, TwoThreadsNeverInterleaveEntries)
{
    auto writer = [](char c)
    {
        for (int i = 0; i < 200; ++i)
            WriteDebugLog(std::string(300, c).c_str());
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::istringstream lines(ReadAll(log));
    std::string line;
    int entries = 0;
    while (std::getline(lines, line))
    {
        if (line.front() == '(')
            continue;
        ++entries;
        EXPECT_TRUE(line == std::string(300, 'a') + "\r" || line == std::string(300, 'b') + "\r");
    }
    EXPECT_EQ(entries, 400);
}

TEST_F(DebugLogTest, MissingFolderReturnsMinusOne)
{
    SetDebugLogPathForTesting((dir / "no/debug.txt").c_str());
    EXPECT_EQ(WriteDebugLog("lost"), -1);
    // The next call tries again and succeeds once the folder exists.
    mkdir((dir / "no").c_str(), 0700);
    EXPECT_EQ(WriteDebugLog("kept"), 0);
}

TEST(ComErrorText, WithAndWithoutDescription)
{
    EXPECT_STREQ(DescribeComError(_com_error(E_FAIL, "disk I/O error")),
                 "error code : 0x80004005\nerror description : disk I/O error");
    EXPECT_STREQ(DescribeComError(_com_error(E_POINTER)),
                 "error code : 0x80004003\nerror description : (null)");
}

TEST(ErrorBox, PercentInArgumentIsShownNotInterpreted)
{
    RecordingMessageBox boxes;
    ShowErrorBox("%s", "100% done %d");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "100% done %d");
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_EQ(boxes.boxes()[0].type, unsigned(MB_OK | MB_ICONERROR));
}
