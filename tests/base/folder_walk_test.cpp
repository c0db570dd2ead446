#include "base/file_helpers.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace
{

struct Visit
{
    std::vector<std::string> log;
    std::string stopAt;     // file name at which to stop
    std::string skipFolder; // folder path to skip in folder-first mode
};

int Record(const WalkEntry& e)
{
    auto* v = static_cast<Visit*>(e.context);
    if (e.isFolder)
    {
        v->log.push_back(std::string("D:") + e.folderPath);
        return v->skipFolder == e.folderPath ? 0 : 1;
    }
    v->log.push_back("F:" + e.findData->cFileName);
    return e.findData->cFileName == v->stopAt ? 0 : 1;
}

class WalkFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureFolder((dir / "sub").c_str());
        std::ofstream(dir / "sub/one.xml") << "1";
        std::ofstream(dir / "sub/two.MHT") << "2";
        std::ofstream(dir / "top.txt") << "3";
    }
    TempDir dir;
};

} // namespace

TEST_F(WalkFolderTest, FolderLastVisitsFilesThenSubFolderThenFolder)
{
    Visit v;
    WalkOptions o;
    o.context = &v;
    EXPECT_EQ(WalkFolder(dir.path().c_str(), o, Record), 0);
    const std::vector<std::string> want = {"F:one.xml", "F:two.MHT", "D:" + dir / "sub",
                                           "F:top.txt", "D:" + dir.path()};
    EXPECT_EQ(v.log, want);
}

TEST_F(WalkFolderTest, FolderFirstVisitsFolderBeforeItsFilesAndCanSkipIt)
{
    Visit v;
    WalkOptions o;
    o.folderFirst = true;
    o.context = &v;
    EXPECT_EQ(WalkFolder(dir.path().c_str(), o, Record), 0);
    const std::vector<std::string> want = {"D:" + dir.path(), "D:" + dir / "sub", "F:one.xml",
                                           "F:two.MHT", "F:top.txt"};
    EXPECT_EQ(v.log, want);

    Visit skip;
    skip.skipFolder = dir / "sub";
    o.context = &skip;
    EXPECT_EQ(WalkFolder(dir.path().c_str(), o, Record), 0);
    const std::vector<std::string> skipped = {"D:" + dir.path(), "D:" + dir / "sub", "F:top.txt"};
    EXPECT_EQ(skip.log, skipped);
}

TEST_F(WalkFolderTest, FilterByExtensionsIgnoringCase)
{
    Visit v;
    WalkOptions o;
    o.filter = ".xml;.mht";
    o.context = &v;
    WalkFolder(dir.path().c_str(), o, Record);
    const std::vector<std::string> want = {"F:one.xml", "F:two.MHT", "D:" + dir / "sub",
                                           "D:" + dir.path()};
    EXPECT_EQ(v.log, want);
}

TEST_F(WalkFolderTest, StoppingOnAFileEndsTheWholeWalkWithoutFolderEntries)
{
    Visit v;
    v.stopAt = "one.xml";
    WalkOptions o;
    o.context = &v;
    EXPECT_EQ(WalkFolder(dir.path().c_str(), o, Record), 1);
    EXPECT_EQ(v.log, std::vector<std::string>{"F:one.xml"});
}

TEST_F(WalkFolderTest, MissingFolderReturnsOneWithoutCallback)
{
    Visit v;
    WalkOptions o;
    o.context = &v;
    EXPECT_EQ(WalkFolder((dir / "absent").c_str(), o, Record), 1);
    EXPECT_TRUE(v.log.empty());
}
