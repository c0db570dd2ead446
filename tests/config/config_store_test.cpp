#include "config/app_config.h"

#include "base/debug_log.h"
#include "platform/text.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace
{
class ConfigStoreTest : public ::testing::Test
{
protected:
    ScratchDir dir;
    std::string path = dir.File("MyZELK.cfg");

    void UseFile(CConfigStore& store) { store.SetFileName(Utf16FromUtf8(path)); }

    // A fresh application store loaded from the file.
    std::unique_ptr<CAppConfig> Reload()
    {
        auto config = std::make_unique<CAppConfig>();
        UseFile(*config);
        EXPECT_EQ(config->Load(), 1);
        return config;
    }
};

TEST_F(ConfigStoreTest, TwoItemsAreWrittenExactlyAsTheFileFormatSays)
{
    CAppConfig config;
    UseFile(config);
    config.SetLinkOpenMode(0);
    config.SetIsShowStatusBar(1);
    EXPECT_EQ(config.Save(), 1);
    EXPECT_TRUE(config.LastSaveSucceeded());
    EXPECT_EQ(ScratchDir::Read(path), "<LQConfigure><Item Name=\"IsShowStatusBar\" Value=\"1\"/>"
                                      "<Item Name=\"LinkOpenMode\" Value=\"0\"/></LQConfigure>");
}

TEST_F(ConfigStoreTest, ItemsAreWrittenInUtf16CodeUnitOrder)
{
    CConfigStore store(u"Root");
    UseFile(store);
    // U+1F600 is stored as D83D DE00, which sorts before U+FF5E in UTF-16
    // although its code point is larger.
    for (const char16_t* key : {u"b", u"～", u"\U0001F600", u"ab", u"a", u"B", u"中"})
        store.SetValue(key, u"v");
    store.Save();
    const auto file = ScratchDir::Read(path);
    std::vector<std::size_t> positions;
    for (const char* key :
         {"\"B\"", "\"a\"", "\"ab\"", "\"b\"", "\"中\"", "\"\xF0\x9F\x98\x80\"", "\"～\""})
    {
        positions.push_back(file.find(std::string("Name=") + key));
        ASSERT_NE(positions.back(), std::string::npos) << key;
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << file;
    EXPECT_EQ(file.rfind("<Root>", 0), 0u);
}

TEST_F(ConfigStoreTest, MultiLineValuesRoundTripUnchanged)
{
    const std::string sign = "Tom & Jerry <dev>\r\n\"quoted\" line\r\n中文 &amp; literal";
    {
        CAppConfig config;
        UseFile(config);
        config.SetUserSign(sign);
        config.Save();
    }
    EXPECT_NE(ScratchDir::Read(path).find("\r\n"), std::string::npos); // written as raw pairs
    // Two runs in a row: the value must not drift.
    auto first = Reload();
    EXPECT_EQ(first->GetUserSign(), sign);
    first->Save();
    EXPECT_EQ(Reload()->GetUserSign(), sign);
}

TEST_F(ConfigStoreTest, HandWrittenFileWithRawLineBreaksCapitalItemsAndLowerCaseKeys)
{
    ScratchDir::Write(path,
                      "<LQConfigure>\r\n"
                      "  <ITEM Name=\"UserSign\" Value=\"first line\r\nsecond &amp; last\"/>\r\n"
                      "  <item Name=\"usersign\" Value=\"lower\"/>\r\n"
                      "  <Other Name=\"IsShowToolBar\" Value=\"1\"/>\r\n"
                      "  <!-- a comment -->\r\n"
                      "  <Item Name=\"LinkOpenMode\" Value=\"2abc\"/>\r\n"
                      "</LQConfigure>\r\n");
    const auto config = Reload();
    EXPECT_EQ(config->GetUserSign(), "first line\r\nsecond & last");
    std::u16string lower;
    EXPECT_EQ(config->GetValue(u"usersign", lower), 1);
    EXPECT_EQ(lower, u"lower");
    EXPECT_EQ(config->GetIsShowToolBar(), 0); // not an Item
    EXPECT_EQ(config->GetLinkOpenMode(), 2);
    EXPECT_EQ(config->GetCount(), 3u);
}

TEST_F(ConfigStoreTest, FirstOccurrenceWinsAndIsWrittenOnce)
{
    ScratchDir::Write(path, "<LQConfigure><Item Name=\"HostForDevelop\" Value=\"first\"/>"
                            "<Item Name=\"HostForDevelop\" Value=\"second\"/></LQConfigure>");
    const auto config = Reload();
    EXPECT_EQ(config->GetHostForDevelop(), "first");
    config->Save();
    EXPECT_EQ(ScratchDir::Read(path),
              "<LQConfigure><Item Name=\"HostForDevelop\" Value=\"first\"/></LQConfigure>");
}

TEST_F(ConfigStoreTest, LoadAddsToWhatIsThereWithoutReplacing)
{
    ScratchDir::Write(path, "<LQConfigure><Item Name=\"a\" Value=\"file\"/><Item Name=\"b\" "
                            "Value=\"file\"/></LQConfigure>");
    CConfigStore store(u"LQConfigure");
    UseFile(store);
    store.SetValue(u"a", u"memory");
    EXPECT_EQ(store.Load(), 1);
    std::u16string a, b;
    store.GetValue(u"a", a);
    store.GetValue(u"b", b);
    EXPECT_EQ(a, u"memory");
    EXPECT_EQ(b, u"file");
}

TEST_F(ConfigStoreTest, MissingAttributesReadAsEmptyText)
{
    ScratchDir::Write(path, "<x><Item Value=\"nameless\"/><Item Name=\"novalue\"/></x>");
    CConfigStore store(u"LQConfigure");
    UseFile(store);
    EXPECT_EQ(store.Load(), 1); // the root's name does not matter
    std::u16string value = u"untouched";
    EXPECT_EQ(store.GetValue(u"", value), 1);
    EXPECT_EQ(value, u"nameless");
    EXPECT_EQ(store.GetValue(u"novalue", value), 1);
    EXPECT_EQ(value, u"");
}

TEST_F(ConfigStoreTest, UnusableFilesLoadNothingAndLeaveTheStoreAsItWas)
{
    const struct
    {
        const char* what;
        const char* bytes; // null: no file at all
    } cases[] = {
        {"missing", nullptr},
        {"empty", ""},
        {"cut short", "<LQConfigure><Item Name=\"UserSign\" Value=\"x"},
        {"not xml", "IsShowToolBar=1"},
    };
    for (const auto& c : cases)
    {
        std::remove(path.c_str());
        if (c.bytes)
            ScratchDir::Write(path, c.bytes);
        CAppConfig config;
        UseFile(config);
        config.SetHostForCommunity("kept");
        EXPECT_EQ(config.Load(), 0) << c.what;
        EXPECT_EQ(config.GetCount(), 1u) << c.what;
        EXPECT_EQ(config.GetHostForCommunity(), "kept") << c.what;
    }
    CConfigStore unnamed(u"LQConfigure");
    EXPECT_EQ(unnamed.Load(), 0); // no file name set
}

TEST_F(ConfigStoreTest, ADamagedFileIsKeptAsideBeforeTheNewOneIsWritten)
{
    const std::string damaged = "<LQConfigure><Item Name=\"UserSign\" Value=\"x";
    ScratchDir::Write(path, damaged);
    SetDebugLogPathForTesting(dir.File("debug.txt").c_str());
    CAppConfig config;
    UseFile(config);
    EXPECT_EQ(config.Load(), 0);
    config.Save();
    SetDebugLogPathForTesting(nullptr);
    ASSERT_TRUE(config.LastSaveSucceeded());
    EXPECT_NE(ScratchDir::Read(dir.File("debug.txt")).find("damaged"), std::string::npos);
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    {
        if (entry.path().filename().string().rfind("MyZELK.cfg.damaged-", 0) != 0)
            continue;
        ++kept;
        EXPECT_EQ(ScratchDir::Read(entry.path().string()), damaged);
    }
    EXPECT_EQ(kept, 1u);
    EXPECT_EQ(Reload()->GetCount(), config.GetCount());
}

TEST_F(ConfigStoreTest, DeclarationOrCommentAheadOfTheRootDoesNotLoseSettings)
{
    ScratchDir::Write(path,
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- edited by hand -->\r\n"
                      "<LQConfigure><Item Name=\"IsShowToolBar\" Value=\"1\"/></LQConfigure>");
    const auto config = Reload();
    EXPECT_EQ(config->GetIsShowToolBar(), 1);
    config->Save();
    EXPECT_EQ(ScratchDir::Read(path),
              "<LQConfigure><Item Name=\"IsShowToolBar\" Value=\"1\"/></LQConfigure>");
}

TEST_F(ConfigStoreTest, FirstRunDefaultsAndTheFileWrittenAtShutDown)
{
    CAppConfig config;
    UseFile(config);
    EXPECT_EQ(config.Load(), 0);
    EXPECT_EQ(config.GetIsShowToolBar(), 0);
    EXPECT_EQ(config.GetToolBarIsBigIcon(), 0);
    EXPECT_EQ(config.GetIsShowStatusBar(), 0);
    EXPECT_EQ(config.GetLinkOpenMode(), 0);
    EXPECT_EQ(config.GetUserSign(), "");
    EXPECT_EQ(config.GetLastUpdateTime(), "");
    EXPECT_EQ(config.GetLinkOpenCustomPath(), "");
    config.SetHostForDevelop("develop.example");
    config.SetHostForCommunity("community.example");
    config.SetHostForFullSearchCommunity("search.example");
    config.SetLinkOpenMode(2);
    EXPECT_EQ(config.Save(), 1);
    EXPECT_EQ(ScratchDir::Read(path),
              "<LQConfigure><Item Name=\"HostForCommunity\" Value=\"community.example\"/>"
              "<Item Name=\"HostForDevelop\" Value=\"develop.example\"/>"
              "<Item Name=\"HostForFullSearchCommunity\" Value=\"search.example\"/>"
              "<Item Name=\"LinkOpenMode\" Value=\"2\"/></LQConfigure>");
}

TEST_F(ConfigStoreTest, TypedAccessorsStoreTextAndReadIntegersByAtoi)
{
    CAppConfig config;
    const struct
    {
        const char16_t* stored;
        int expected;
    } cases[] = {{u"2abc", 2}, {u"abc", 0}, {u" -1", -1}, {u"", 0}, {u"7", 7}};
    for (const auto& c : cases)
    {
        config.SetValue(u"ToolBarIsBigIcon", c.stored);
        EXPECT_EQ(config.GetToolBarIsBigIcon(), c.expected) << Utf8FromUtf16(c.stored);
    }
    config.SetLinkOpenMode(2);
    std::u16string text;
    config.GetValue(u"LinkOpenMode", text);
    EXPECT_EQ(text, u"2");
    config.SetLastUpdateTime("2026-12-07 23:59:59");
    EXPECT_EQ(config.GetLastUpdateTime(), "2026-12-07 23:59:59");
    config.SetLinkOpenCustomPath("/opt/浏览器/bin");
    config.GetValue(u"LinkOpenCustomPath", text);
    EXPECT_EQ(text, u"/opt/浏览器/bin");
    EXPECT_EQ(config.GetLinkOpenCustomPath(), "/opt/浏览器/bin");
    config.SetValue(u"UserSign", u"x");
    EXPECT_EQ(config.GetUserSign(), "x");
}

TEST_F(ConfigStoreTest, VariantValuesStoreTheirTextOrNothing)
{
    CConfigStore store(u"LQConfigure");
    store.SetValue(u"int", _variant_t(std::int32_t{-42}));
    store.SetValue(u"text", _variant_t("文本"));
    store.SetValue(u"double", _variant_t(1.5));
    store.SetValue(u"double", _variant_t(2.5)); // replaces, still empty
    std::u16string value;
    store.GetValue(u"int", value);
    EXPECT_EQ(value, u"-42");
    store.GetValue(u"text", value);
    EXPECT_EQ(value, u"文本");
    EXPECT_EQ(store.GetValue(u"double", value), 1);
    EXPECT_EQ(value, u"");
    value = u"untouched";
    EXPECT_EQ(store.GetValue(u"absent", value), 0);
    EXPECT_EQ(value, u"untouched");
    EXPECT_EQ(store.GetValue(u"INT", value), 0); // keys are case-sensitive
    EXPECT_EQ(store.GetCount(), 3u);
}

TEST_F(ConfigStoreTest, AFailedWriteIsNotReportedButKeepsTheOldFile)
{
    ScratchDir::Write(path,
                      "<LQConfigure><Item Name=\"IsShowToolBar\" Value=\"1\"/></LQConfigure>");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    CAppConfig config;
    UseFile(config);
    config.SetIsShowToolBar(0);
    EXPECT_EQ(config.Save(), 1);
    EXPECT_FALSE(config.LastSaveSucceeded());
    EXPECT_EQ(ScratchDir::Read(path),
              "<LQConfigure><Item Name=\"IsShowToolBar\" Value=\"1\"/></LQConfigure>");

    CAppConfig elsewhere;
    elsewhere.SetFileName(Utf16FromUtf8(dir.File("missing/MyZELK.cfg")));
    EXPECT_EQ(elsewhere.Save(), 1);
    EXPECT_FALSE(elsewhere.LastSaveSucceeded());
    EXPECT_EQ(dir.EntryCount(), 1u); // no stray temporary files
}
} // namespace
