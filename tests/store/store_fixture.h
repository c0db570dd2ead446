// A fresh offline database from the real schema in a scratch folder, an
// open store over it, the log and message boxes captured.
#pragma once

#include "base/debug_log.h"
#include "platform/message_box.h"
#include "store/database_creation.h"
#include "store/offline_store.h"
#include "tests/support/test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class RecordingBoxes : public IMessageBoxHost
{
public:
    int Show(const std::string& text, const std::string&, unsigned) override
    {
        texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> texts;
};

inline std::string MakeScratchFolder()
{
    char pattern[] = "/tmp/store-test-XXXXXX";
    if (!mkdtemp(pattern))
        return {};
    return pattern;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool PathExists(const std::string& path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0;
}

// The first column of the first row as text, straight from the file.
inline std::string RawQuery(const std::string& file, const std::string& sql)
{
    return QueryDatabaseFile(file, sql, SQLITE_OPEN_READONLY);
}

inline std::vector<unsigned char> Pattern(long seed, size_t size)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
    for (auto& b : bytes)
    {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    if (!bytes.empty())
        bytes.back() = 0; // saved files carry a trailing zero
    return bytes;
}

inline void FillTopic(CCommunityTable& t, long id, long room, const std::string& title,
                      const std::vector<unsigned char>& content)
{
    t.SetLong(CCommunityTable::fID, id);
    t.SetText(CCommunityTable::fTitle, title);
    t.SetText(CCommunityTable::fPostUserName, "poster");
    t.SetText(CCommunityTable::fPostUserNickName, "NULL");
    t.SetText(CCommunityTable::fRank, "rank");
    t.SetLong(CCommunityTable::fCredit, 100);
    t.SetLong(CCommunityTable::fRoomID, room);
    t.SetText(CCommunityTable::fRoomName, "room name");
    t.SetLong(CCommunityTable::fReplyNum, 4);
    t.SetLong(CCommunityTable::fPoint, 20);
    t.SetLong(CCommunityTable::fReadNum, 99);
    t.SetNow(CCommunityTable::fInDate);
    t.SetLong(CCommunityTable::fEndState, 0);
    t.SetBinary(CCommunityTable::fContent, content.data(), static_cast<long>(content.size()));
    t.SetText(CCommunityTable::fRemark, kRemarkText);
}

class StoreFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = MakeScratchFolder();
        ASSERT_FALSE(folder.empty());
        tempFolder = folder + "/Temp";
        std::filesystem::create_directories(tempFolder);
        databaseFile = folder + "/DataBase/MyZELK.mdb";
        std::string error;
        ASSERT_EQ(CreateDatabaseIfMissing(databaseFile, MYZELK_TEST_SCHEMA, &error),
                  DatabaseCreation::Created)
            << error;
        logFile = folder + "/debug.txt";
        SetDebugLogPathForTesting(logFile.c_str());
        SetMessageBoxHost(&boxes);
        store = std::make_unique<COfflineStore>(controller, databaseFile, tempFolder);
        ASSERT_EQ(store->OpenDatabase(), 1);
    }
    void TearDown() override
    {
        store->CloseDatabase();
        SetMessageBoxHost(nullptr);
        SetDebugLogPathForTesting("debug.txt");
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string Log() const { return ReadFile(logFile); }

    bool InsertTopic(long id, long room, const std::string& title, size_t contentSize = 64)
    {
        CCommunityTable t;
        FillTopic(t, id, room, title, Pattern(id, contentSize));
        return store->InsertRecord(t) == 1;
    }

    std::string folder, tempFolder, databaseFile, logFile;
    RecordingBoxes boxes;
    CLQADODBController controller;
    std::unique_ptr<COfflineStore> store;
};
