#include "tests/tree/tree_test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace
{

class TreePersistTest : public testing::Test
{
protected:
    void SetUp() override
    {
        model.SetFolderImages(0, 0);
        model.SetLeafImages(10, 10);
    }

    ScratchFolder folder;
    CEditTreeModel model;
};

const char kTreeFile[] =
    "<LQEditTree Text=\"Rooms\" PersistCount=\"42\" Version=\"1.00.7\">"
    "<Data Text=\"dropped\"/>"
    "<Node ID=\"1\" Text=\"离线资料\" ImageIndex=\"10\">"
    "<Node ID=\"2\" Text=\"ZELK社区\" ImageIndex=\"10\">"
    "<Node ID=\"7\" Text=\"C/C++ &amp; more\" ImageIndex=\"10\"><Data Text=\"a\"/><Data Text=\"b "
    "&lt;c&gt;\"/></Node>"
    "<node ID=\"99\" Text=\"skipped\"/>"
    "<Other/>"
    "</Node>"
    "<Node ID=\"3\" Text=\"ZELK文档\" ImageIndex=\"5\"><Node ID=\"10023\" ImageIndex=\"3\"/></Node>"
    "<Node ID=\"4\" Text=\"no image\"/>"
    "</Node>"
    "<Node ID=\"12x\" Text=\"second top\" ImageIndex=\"2\"><Data/></Node>"
    "</LQEditTree>";

TEST_F(TreePersistTest, LoadReadsNodesAndAppliesTheFolderImage)
{
    const std::string path = folder.File("OffLine.xml");
    WriteText(path, kTreeFile);
    ASSERT_TRUE(model.LoadTree(path.c_str()));

    EXPECT_EQ(model.PersistCount, 42);
    EXPECT_EQ(model.Text, "Rooms");
    EXPECT_EQ(model.Version, "1.00.7");
    // Parents showing the leaf image (10) switch to the folder image (0); the
    // parent with image 5 keeps it. A node without Text gets one blank.
    EXPECT_EQ(Describe(model),
              "1:离线资料:0(2:ZELK社区:0(7:C/C++ & more:10[a,b <c>]) 3:ZELK文档:5(10023: :3) "
              "4:no image:0) 12:second top:2[]");
    const CEditTreeItem* top = model.GetRootItem();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->GetImage(), 0);
    EXPECT_EQ(top->GetSelectedImage(), 0);
    EXPECT_EQ(model.GetCount(), 7u);
}

TEST_F(TreePersistTest, SaveAfterLoadKeepsEverythingButTheFolderImageChange)
{
    const std::string path = folder.File("OffLine.xml");
    WriteText(path, kTreeFile);
    ASSERT_TRUE(model.LoadTree(path.c_str()));
    const std::string saved = folder.File("saved.xml");
    ASSERT_TRUE(model.SaveTree(saved.c_str()));

    const std::string text = ReadText(saved);
    EXPECT_EQ(text.rfind("<LQEditTree Text=\"Rooms\" PersistCount=\"42\" Version=\"1.00.7\">", 0),
              0u)
        << text;
    EXPECT_EQ(text.find("<?xml"), std::string::npos);
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_EQ(text.find("skipped"), std::string::npos);
    EXPECT_EQ(text.find("Other"), std::string::npos);
    // Attribute order, child nodes before data entries.
    EXPECT_NE(
        text.find("<Node ID=\"7\" Text=\"C/C++ &amp; more\" ImageIndex=\"10\"><Data Text=\"a\""),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("<Node ID=\"1\" Text=\"离线资料\" ImageIndex=\"0\"><Node ID=\"2\""),
              std::string::npos)
        << text;

    CEditTreeModel reloaded;
    ASSERT_TRUE(reloaded.LoadTree(saved.c_str()));
    EXPECT_EQ(Describe(reloaded), Describe(model));
    EXPECT_EQ(reloaded.PersistCount, 42);
    EXPECT_EQ(reloaded.Version, "1.00.7");
}

TEST_F(TreePersistTest, RootNameIgnoresCaseButNodeNamesDoNot)
{
    const std::string path = folder.File("lower.xml");
    WriteText(path,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
              "<lqedittree><Node ID=\"5\" Text=\"A\"/><node ID=\"6\" Text=\"B\"/></lqedittree>");
    ASSERT_TRUE(model.LoadTree(path.c_str()));
    EXPECT_EQ(Describe(model), "5:A:0");
    EXPECT_EQ(model.PersistCount, 0);
    EXPECT_EQ(model.Text, "LQTreeRoot"); // absent attributes keep the defaults
}

TEST_F(TreePersistTest, GbkFileLoadsWithItsChineseTexts)
{
    const std::string path = folder.File("gbk.xml");
    // "社区" in GB2312.
    WriteText(path, "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
                    "<LQEditTree><Node ID=\"1\" Text=\"\xC9\xE7\xC7\xF8\"/></LQEditTree>");
    ASSERT_TRUE(model.LoadTree(path.c_str()));
    EXPECT_EQ(Describe(model), "1:社区:0");
}

TEST_F(TreePersistTest, LoadFailsWithoutTheRootElement)
{
    const std::string other = folder.File("other.xml");
    WriteText(other, "<BraeKBaseSystem><Node ID=\"1\"/></BraeKBaseSystem>");
    const std::string broken = folder.File("broken.xml");
    WriteText(broken, "<LQEditTree><Node ID=\"1\"");
    for (const std::string& path : {other, broken, folder.File("missing.xml"), std::string()})
    {
        CEditTreeModel fresh;
        EXPECT_FALSE(fresh.LoadTree(path.c_str())) << path;
        EXPECT_EQ(fresh.GetRootItem(), nullptr);
    }
    EXPECT_FALSE(model.LoadTree(nullptr));
}

TEST_F(TreePersistTest, SaveGoesToThePersistFileAndLeavesOutItemsWithoutRecords)
{
    const std::string path = folder.File("tree.xml");
    EXPECT_TRUE(model.SaveTree(nullptr)); // no path yet: nothing written, still success
    EXPECT_FALSE(model.SetPersistFile(nullptr));
    ASSERT_TRUE(model.SetPersistFile(path.c_str()));
    EXPECT_FALSE(model.SetPersistFile(nullptr));
    EXPECT_EQ(model.GetPersistFile(), path);

    CEditTreeItem* top = model.AddChild(nullptr, "top");
    model.AddChild(top, "room");
    CEditTreeItem* bare = model.InsertItem("no record", 1, 1, top);
    model.AddChild(bare, "below bare"); // saved nowhere: its parent has no record

    CEditTreeModel reloaded;
    ASSERT_TRUE(reloaded.LoadTree(path.c_str()));
    EXPECT_EQ(Describe(reloaded), "1:top:0(2:room:10)");
    EXPECT_EQ(reloaded.PersistCount, 3);
}

TEST_F(TreePersistTest, FailedSaveKeepsTheOldFileAndSaysSo)
{
    const std::string path = folder.File("kept.xml");
    WriteText(path, kTreeFile);
    ASSERT_TRUE(model.LoadTree(path.c_str()));
    EXPECT_FALSE(model.SaveTree(folder.File("no-such-folder/tree.xml").c_str()));
    EXPECT_NE(model.LastSaveError().find("no-such-folder"), std::string::npos);
    EXPECT_EQ(ReadText(path), kTreeFile);
}

// Two processes with the tree open each add a room: neither loses the other's.
TEST_F(TreePersistTest, EditsOfTwoModelsOfOneFileKeepEachOthersNodes)
{
    const std::string path = folder.File("OffLine.xml");
    WriteText(path, kTreeFile);
    CEditTreeModel other;
    for (CEditTreeModel* m : {&model, &other})
        ASSERT_TRUE(m->SetPersistFile(path.c_str()) && m->LoadTree(path.c_str()));

    auto addRoom = [](CEditTreeModel& m, const std::string& text)
    { return m.EditPersisted([&] { m.AddChild(m.GetRootItem(), text); }); };
    ASSERT_TRUE(addRoom(model, "first"));
    ASSERT_TRUE(addRoom(other, "second"));
    ASSERT_TRUE(addRoom(model, "third"));

    CEditTreeModel reloaded;
    ASSERT_TRUE(reloaded.LoadTree(path.c_str()));
    const CEditTreeItem* top = reloaded.GetRootItem();
    std::set<std::int32_t> ids;
    for (const char* text : {"first", "second", "third"})
    {
        const CEditTreeItem* room = reloaded.FindChildByText(top, text);
        ASSERT_NE(room, nullptr) << text;
        ids.insert(reloaded.GetNodeId(room));
    }
    EXPECT_EQ(ids.size(), 3u);
}

// A count that is no number, or below the IDs in the file, hands out no ID twice.
TEST_F(TreePersistTest, ADamagedCountDoesNotReuseIds)
{
    for (const char* count : {"PersistCount=\"abc\"", "PersistCount=\"2\""})
    {
        const std::string path = folder.File("count.xml");
        WriteText(path, std::string("<LQEditTree ") + count +
                            "><Node ID=\"1\" Text=\"top\"><Node ID=\"3\" Text=\"a\"/>"
                            "<Node ID=\"4\" Text=\"b\"/></Node></LQEditTree>");
        CEditTreeModel m;
        ASSERT_TRUE(m.SetPersistFile(path.c_str()) && m.LoadTree(path.c_str()));
        std::set<std::int32_t> ids{1, 3, 4};
        for (const char* text : {"c", "d", "e"})
            EXPECT_TRUE(ids.insert(m.GetNodeId(m.AddChild(m.GetRootItem(), text))).second)
                << count << " " << text;
    }
}

TEST_F(TreePersistTest, ShippedTreeHasTheTwoCategoryNodes)
{
    ASSERT_TRUE(model.LoadTree(MYZELK_SHIPPED_OFFLINE_TREE));
    const CEditTreeItem* top = model.GetRootItem();
    ASSERT_NE(top, nullptr);
    const CEditTreeItem* community = model.FindChildByText(top, "ZELK社区");
    const CEditTreeItem* develop = model.FindChildByText(top, "ZELK文档");
    ASSERT_NE(community, nullptr);
    ASSERT_NE(develop, nullptr);
    // Sequence numbers start far above forum room ids and article class ids,
    // so a saved room is never mistaken for one of these nodes.
    for (const CEditTreeItem* item : {top, community, develop})
    {
        EXPECT_GT(model.GetNodeId(item), 20000);
        EXPECT_LE(model.GetNodeId(item), model.PersistCount);
    }
}

} // namespace
