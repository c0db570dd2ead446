#include "base/file_helpers.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

TEST(TextBetween, SkipsEmptyPairAndReturnsIndexOfValue)
{
    const std::string text = "<a b=\"\" c=\"xy\"/>";
    std::string out = "unchanged";
    const long at = TextBetween(text, 0, "=\"", "\"", out);
    EXPECT_EQ(out, "xy");
    EXPECT_EQ(at, static_cast<long>(text.find("xy")));
}

TEST(TextBetween, MissingEndMarkerLeavesOutUnchanged)
{
    std::string out = "keep";
    EXPECT_EQ(TextBetween("title=\"abc", 0, "=\"", "\"", out), -1);
    EXPECT_EQ(out, "keep");
    EXPECT_EQ(TextBetween("no markers", 0, "<", ">", out), -1);
    EXPECT_EQ(out, "keep");
}

TEST(TextBetween, StartsSearchingAtStartPosition)
{
    std::string out;
    const std::string text = "[one] [two]";
    EXPECT_EQ(TextBetween(text, 1, "[", "]", out), 7);
    EXPECT_EQ(out, "two");
    EXPECT_EQ(TextBetween(text, -3, "[", "]", out), -1);
}

TEST(PathPieces, TitleAndExtensionOfLastComponent)
{
    EXPECT_EQ(GetFileTitle("/x/y/a.b.html"), "a.b");
    EXPECT_EQ(GetFileTitle("/x/y/README"), "README");
    EXPECT_EQ(GetFileTitle("dir.d/README"), "README");
    EXPECT_EQ(GetFileExtension("/x/a.b.HTML"), ".HTML");
    EXPECT_EQ(GetFileExtension("dir.d/README"), "");
}

TEST(SmallText, PrefixDigitsCaseAndNumbers)
{
    std::string out = "old";
    EXPECT_EQ(CommonPrefix("http://a/b", "http://a/c", out), 9u);
    EXPECT_EQ(out, "http://a/");
    EXPECT_EQ(CommonPrefix("abc", "ABC", out), 0u);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(ContainsCrLf("a\r\nb"));
    EXPECT_FALSE(ContainsCrLf("a\n\rb"));
    EXPECT_TRUE(IsAllDigits(""));
    EXPECT_TRUE(IsAllDigits("0123"));
    EXPECT_FALSE(IsAllDigits("12a"));
    EXPECT_EQ(ToUpperText("abc-Z9"), "ABC-Z9");
    EXPECT_EQ(IntFromText(u"  -42xyz"), -42);
    EXPECT_EQ(IntFromText(u"abc"), 0);
    EXPECT_EQ(AtoiText("99999999999"), 2147483647);
    EXPECT_EQ(AtoiText("-99999999999"), -2147483647 - 1);
}

class FileIo : public ::testing::Test
{
protected:
    TempDir dir;
};

TEST_F(FileIo, WriteThenReadWholeFileIncludingZeros)
{
    const char data[] = {'a', 0, 'b', '\n'};
    const std::string path = dir / "f.bin";
    EXPECT_EQ(WriteWholeFile(path.c_str(), data, 4), 4);
    ASSERT_EQ(GetFileSizeOrReport(path.c_str()), 4);
    char back[5] = {};
    EXPECT_EQ(ReadWholeFile(path.c_str(), back, 4), 1);
    EXPECT_EQ(std::memcmp(back, data, 4), 0);
    EXPECT_EQ(WriteWholeFile((dir / "missing/f").c_str(), data, 4), -1);
    EXPECT_EQ(ReadWholeFile((dir / "missing").c_str(), back, 4), 0);
    // A folder is no file to read.
    EXPECT_EQ(ReadWholeFile(dir.path().c_str(), back, 4), 0);
}

TEST_F(FileIo, SizeOfMissingFileShowsTheErrorText)
{
    RecordingMessageBox boxes;
    const std::string path = dir / "nothing.xml";
    EXPECT_EQ(GetFileSizeOrReport(path.c_str()), -1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Can't open the file : " + path + "\n ErrorID : 2");
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
}

TEST_F(FileIo, EnsureFolderOneLevelAndRefusesAFileInTheWay)
{
    EXPECT_TRUE(EnsureFolder((dir / "new").c_str()));
    EXPECT_TRUE(EnsureFolder((dir / "new").c_str()));
    EXPECT_FALSE(EnsureFolder((dir / "a/b").c_str()));
    std::ofstream(dir / "file") << "x";
    EXPECT_FALSE(EnsureFolder((dir / "file").c_str()));
    EXPECT_TRUE(FileExists((dir / "file").c_str()));
    EXPECT_TRUE(FileExists((dir / "new").c_str()));
    EXPECT_FALSE(FileExists((dir / "none").c_str()));
}

TEST_F(FileIo, EnsureFolderRacingAnotherCreatorStillSucceeds)
{
    // The program and a companion may create Temp/ at the same moment.
    for (int round = 0; round < 50; ++round)
    {
        const std::string path = dir / ("race" + std::to_string(round));
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back(
                [&]
                {
                    if (!EnsureFolder(path.c_str()))
                        ++failures;
                });
        for (auto& t : threads)
            t.join();
        ASSERT_EQ(failures.load(), 0) << "round " << round;
    }
}

TEST(SafeFileName, StaysOneComponentAndIsStable)
{
    EXPECT_EQ(SafeFileNameFromTitle("a/b\\c"), "a_b_c");
    EXPECT_EQ(SafeFileNameFromTitle(".."), "__");
    const std::string tricky = SafeFileNameFromTitle("../../etc/passwd");
    EXPECT_EQ(tricky.find('/'), std::string::npos);
    EXPECT_EQ(tricky.find(".."), std::string::npos);
    EXPECT_NE(tricky[0], '.');
    EXPECT_EQ(SafeFileNameFromTitle("tab\there\r\n"), "tab_here__");
    EXPECT_EQ(SafeFileNameFromTitle("a\xC2\x85"
                                    "b\xC2\xA0"
                                    "c"),
              "a_b\xC2\xA0"
              "c"); // NEL is C1

    EXPECT_EQ(SafeFileNameFromTitle(""), "_");
    EXPECT_EQ(SafeFileNameFromTitle("It's ok"), "It's ok");
    EXPECT_EQ(SafeFileNameFromTitle("标题"), "标题");
}

TEST(SafeFileName, LongTitlesAreCutOnCharacterBoundary)
{
    std::string title;
    for (int i = 0; i < 200; ++i)
        title += "题"; // 3 bytes each
    const std::string name = SafeFileNameFromTitle(title, 200);
    EXPECT_LE(name.size(), 200u);
    EXPECT_EQ(name.size() % 3, 0u);
    EXPECT_EQ(name, SafeFileNameFromTitle(title, 200));
}
