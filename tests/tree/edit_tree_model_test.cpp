#include "tests/tree/tree_test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{

// Records every notification, and what the tree file held at that moment.
class RecordingNotify : public IEditTreeNotify
{
public:
    explicit RecordingNotify(std::string file) : m_file(std::move(file)) {}

    void OnEditTreeDeleting(CEditTreeItem* item) override
    {
        std::string text = item->GetNode() ? item->GetNode()->Text : "?";
        events.push_back("deleting " + text);
    }
    void OnEditTreeRenamed(const EditTreeRenameInfo& info) override
    {
        events.push_back("renamed " + info.oldText + ">" + info.newText + " " + info.oldPath + ">" +
                         info.newPath);
        fileAtEvent.push_back(ReadText(m_file));
    }
    void OnEditTreeMoved(const EditTreeMoveInfo& info) override
    {
        events.push_back("moved " + info.oldPath + ">" + info.newPath + " " +
                         std::to_string(info.oldId) + ">" + std::to_string(info.newId));
        fileAtEvent.push_back(ReadText(m_file));
    }
    void OnEditTreeAdded(const EditTreeAddInfo& info) override
    {
        events.push_back("added " + info.path + " " + std::to_string(info.id));
        addedItems.push_back(info.item);
    }
    void OnEditTreeSelChanged(const EditTreeNode& node) override
    {
        events.push_back("selected " + node.Text);
    }

    std::vector<std::string> events;
    std::vector<std::string> fileAtEvent;
    std::vector<CEditTreeItem*> addedItems;

private:
    std::string m_file;
};

class EditTreeModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        model.SetFolderImages(0, 1);
        model.SetLeafImages(10, 11);
        model.SetNotify(&notify);
        ASSERT_TRUE(model.SetPersistFile(file.c_str()));
        top = model.AddChild(nullptr, "Top");
        community = model.AddChild(top, "ZELK社区");
        develop = model.AddChild(top, "ZELK文档");
        notify.events.clear();
    }

    std::string reloaded() const
    {
        CEditTreeModel copy;
        copy.SetLeafImages(10, 11);
        EXPECT_TRUE(copy.LoadTree(file.c_str()));
        return Describe(copy);
    }

    ScratchFolder folder;
    std::string file = folder.File("OffLine.xml");
    RecordingNotify notify{file};
    CEditTreeModel model;
    CEditTreeItem* top = nullptr;
    CEditTreeItem* community = nullptr;
    CEditTreeItem* develop = nullptr;
};

TEST_F(EditTreeModelTest, AddGivesSequenceNumbersAndSaves)
{
    CEditTreeItem* room = model.AddChild(community, "VC/MFC");
    EXPECT_EQ(model.GetNodeId(room), 4);
    EXPECT_EQ(model.PersistCount, 4);
    EXPECT_EQ(room->GetImage(), 10);
    EXPECT_EQ(room->GetSelectedImage(), 11);
    EXPECT_EQ(room->GetNode()->ImageIndex, 10);
    EXPECT_EQ(reloaded(), "1:Top:0(2:ZELK社区:0(4:VC/MFC:10) 3:ZELK文档:10)");
}

TEST_F(EditTreeModelTest, AddingAnExistingTextChangesNothing)
{
    const std::string before = ReadText(file);
    EXPECT_EQ(model.AddChild(top, "ZELK社区"), community);
    EXPECT_EQ(model.PersistCount, 3);
    EXPECT_EQ(ReadText(file), before);
    // Exact comparison: another case is another child.
    EXPECT_NE(model.AddChild(top, "zelk社区"), community);
}

TEST_F(EditTreeModelTest, FirstChildTurnsTheParentIntoAFolderOnce)
{
    EXPECT_EQ(community->GetImage(), 10);
    model.AddChild(community, "a");
    EXPECT_EQ(community->GetImage(), 0);
    EXPECT_EQ(community->GetSelectedImage(), 1);
    EXPECT_EQ(community->GetNode()->ImageIndex, 0);

    model.SetItemImage(community, 5, 11);
    model.AddChild(community, "b");
    EXPECT_EQ(community->GetImage(), 5); // not the leaf image: kept
    EXPECT_EQ(community->GetSelectedImage(), 1);
    EXPECT_EQ(community->GetNode()->ImageIndex, 0);
}

TEST_F(EditTreeModelTest, AddAndNotifyReportsNewAndExistingChildren)
{
    CEditTreeItem* first = model.AddChildAndNotify(top, "其他文章");
    CEditTreeItem* second = model.AddChildAndNotify(top, "其他文章");
    EXPECT_EQ(first, second);
    EXPECT_EQ(notify.events,
              (std::vector<std::string>{"added Top\\其他文章 4", "added Top\\其他文章 4"}));
    EXPECT_EQ(notify.addedItems, (std::vector<CEditTreeItem*>{first, first}));
    EXPECT_EQ(top->GetChildren().size(), 3u);
}

TEST_F(EditTreeModelTest, LookupsByTextAndId)
{
    CEditTreeItem* room = model.AddChild(community, "Room");
    model.SetNodeId(room, 7);
    EXPECT_EQ(model.FindItemById(7), room);
    EXPECT_EQ(model.FindItemById(2), community);
    EXPECT_EQ(model.FindItemById(70), nullptr);
    EXPECT_TRUE(model.HasChildWithText(top, "ZELK文档"));
    EXPECT_FALSE(model.HasChildWithText(top, "Room")); // direct children only
    EXPECT_EQ(model.FindChildByText(nullptr, "Top"), top);

    std::string text;
    EXPECT_TRUE(model.GetNodeText(room, text));
    EXPECT_EQ(text, "Room");
    CEditTreeItem* bare = model.InsertItem("bare", 0, 0, develop);
    EXPECT_FALSE(model.GetNodeText(bare, text));
    EXPECT_EQ(model.GetNodeId(bare), -1);
    EXPECT_EQ(model.GetNodeId(nullptr), -1);
    EXPECT_FALSE(model.HasChildWithText(develop, "bare")); // no record, no text
}

TEST_F(EditTreeModelTest, DuplicateIdsFindTheFirstInDisplayOrder)
{
    CEditTreeItem* inDevelop = model.AddChild(develop, "class");
    CEditTreeItem* inCommunity = model.AddChild(community, "room");
    model.SetNodeId(inDevelop, 7);
    model.SetNodeId(inCommunity, 7);
    EXPECT_EQ(model.FindItemById(7), inCommunity);

    // Each item still reports its own path.
    std::string path;
    ASSERT_TRUE(model.GetNodePath(inDevelop, path));
    EXPECT_EQ(path, "Top\\ZELK文档\\class");
    ASSERT_TRUE(model.GetNodePath(top, path));
    EXPECT_EQ(path, "Top");
}

TEST_F(EditTreeModelTest, SearchByIdStopsAtItemsWithoutRecords)
{
    CEditTreeItem* bare = model.InsertItem("bare", 0, 0, nullptr);
    CEditTreeItem* hidden = model.AddChild(bare, "hidden");
    EXPECT_EQ(model.FindItemById(model.GetNodeId(hidden)), nullptr);
}

TEST_F(EditTreeModelTest, RenameSavesThenNotifies)
{
    CEditTreeItem* room = model.AddChild(community, "Old");
    EXPECT_FALSE(model.RenameItem(room, ""));
    EXPECT_FALSE(model.RenameItem(model.InsertItem("bare", 0, 0, top), "x"));
    EXPECT_TRUE(notify.events.empty());

    ASSERT_TRUE(model.RenameItem(room, "New"));
    EXPECT_EQ(room->GetText(), "New");
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0], "renamed Old>New Top\\ZELK社区\\Old>Top\\ZELK社区\\New");
    EXPECT_NE(notify.fileAtEvent[0].find("Text=\"New\""), std::string::npos);
}

TEST_F(EditTreeModelTest, MovingASubtreeRenumbersSavesAndNotifiesPerNode)
{
    CEditTreeItem* a = model.AddChild(community, "a");
    CEditTreeItem* b = model.AddChild(a, "b");
    model.AddChild(b, "c");
    model.SetItemState(a, 0x3000 | 0x2, 0xFFFF);
    notify.events.clear();

    CEditTreeItem* moved = model.MoveItem(a, develop);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(notify.events,
              (std::vector<std::string>{"moved Top\\ZELK社区\\a>Top\\ZELK文档\\a 4>7",
                                        "moved Top\\ZELK社区\\a\\b>Top\\ZELK文档\\a\\b 5>8",
                                        "moved Top\\ZELK社区\\a\\b\\c>Top\\ZELK文档\\a\\b\\c 6>9",
                                        "selected a"}));
    // Every copied node was on disk when its notification came.
    ASSERT_EQ(notify.fileAtEvent.size(), 3u);
    EXPECT_NE(notify.fileAtEvent[0].find("ID=\"7\""), std::string::npos);
    EXPECT_NE(notify.fileAtEvent[2].find("ID=\"9\""), std::string::npos);
    EXPECT_EQ(moved->GetState(), 0x3000u); // only the state image bits travel
    EXPECT_EQ(model.GetSelectedItem(), moved);
    EXPECT_EQ(model.PersistCount, 9);
    EXPECT_EQ(Describe(model), "1:Top:0(2:ZELK社区:0 3:ZELK文档:0(7:a:0(8:b:0(9:c:10))))");
    EXPECT_EQ(reloaded(), Describe(model));
}

TEST_F(EditTreeModelTest, MoveToTheTopLevelAppends)
{
    CEditTreeItem* a = model.AddChild(community, "a");
    ASSERT_NE(model.MoveItem(a, nullptr), nullptr);
    EXPECT_EQ(Describe(model), "1:Top:0(2:ZELK社区:0 3:ZELK文档:10) 5:a:10");
}

TEST_F(EditTreeModelTest, MoveOntoItselfOrBelowItselfIsRefused)
{
    CEditTreeItem* a = model.AddChild(community, "a");
    CEditTreeItem* b = model.AddChild(a, "b");
    const std::string before = Describe(model);
    const std::string file_before = ReadText(file);
    EXPECT_EQ(model.MoveItem(a, a), nullptr);
    EXPECT_EQ(model.MoveItem(a, b), nullptr);
    EXPECT_EQ(model.MoveItem(top, b), nullptr);
    EXPECT_EQ(model.MoveSubtree(a, b), nullptr);
    EXPECT_EQ(Describe(model), before);
    EXPECT_EQ(ReadText(file), file_before);
    EXPECT_TRUE(notify.events.empty());
}

TEST_F(EditTreeModelTest, DeleteNotifiesChildrenBeforeParentsAndDoesNotSave)
{
    CEditTreeItem* a = model.AddChild(community, "a");
    model.AddChild(a, "a1");
    model.AddChild(a, "a2");
    model.SelectItem(a);
    const std::string before = ReadText(file);
    notify.events.clear();

    model.DeleteSubtree(a);
    EXPECT_EQ(notify.events,
              (std::vector<std::string>{"deleting a1", "deleting a2", "deleting a"}));
    EXPECT_EQ(model.FindItemById(4), nullptr);
    EXPECT_EQ(model.GetSelectedItem(), nullptr);
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(model.GetCount(), 3u);
}

TEST_F(EditTreeModelTest, DeleteAllTakesTheFirstTopLevelItemLast)
{
    model.AddChild(nullptr, "Second");
    notify.events.clear();
    model.DeleteAll();
    EXPECT_EQ(notify.events, (std::vector<std::string>{"deleting Second", "deleting ZELK社区",
                                                       "deleting ZELK文档", "deleting Top"}));
    EXPECT_EQ(model.GetRootItem(), nullptr);
    EXPECT_EQ(model.GetCount(), 0u);
}

TEST_F(EditTreeModelTest, SelectionNotifiesOnlyForItemsWithRecords)
{
    model.SelectItem(develop);
    model.SelectItem(develop);
    model.SelectItem(model.InsertItem("bare", 0, 0, top));
    model.SelectItem(nullptr);
    EXPECT_EQ(notify.events, (std::vector<std::string>{"selected ZELK文档"}));
}

// Checks the begin/end pairs against the model's state, as an item-model
// view would rely on them.
class CountingListener : public IEditTreeModelListener
{
public:
    explicit CountingListener(const CEditTreeModel& model) : m_model(model) {}
    void OnItemAboutToBeInserted(CEditTreeItem* parent, size_t row) override
    {
        m_pendingParent = parent;
        m_pendingRow = row;
        m_rowsBefore = Rows(parent);
    }
    void OnItemInserted(CEditTreeItem* item) override
    {
        EXPECT_EQ(item->GetParent(), m_pendingParent);
        EXPECT_EQ(m_model.GetItemRow(item), m_pendingRow);
        EXPECT_EQ(Rows(item->GetParent()), m_rowsBefore + 1);
        log += "+" + item->GetText() + std::to_string(m_pendingRow);
    }
    void OnItemRemoving(CEditTreeItem* item) override
    {
        EXPECT_TRUE(item->GetChildren().empty());
        m_rowsBefore = Rows(item->GetParent());
        m_pendingRow = m_model.GetItemRow(item);
        log += "-" + item->GetText();
    }
    void OnItemRemoved(CEditTreeItem* parent, size_t row) override
    {
        EXPECT_EQ(row, m_pendingRow);
        EXPECT_EQ(Rows(parent), m_rowsBefore - 1);
    }
    void OnItemChanged(CEditTreeItem* item) override { log += "~" + item->GetText(); }
    std::string log;

private:
    size_t Rows(const CEditTreeItem* parent) const
    {
        return parent ? parent->GetChildren().size() : m_model.GetTopLevelItems().size();
    }
    const CEditTreeModel& m_model;
    CEditTreeItem* m_pendingParent = nullptr;
    size_t m_pendingRow = 0;
    size_t m_rowsBefore = 0;
};

TEST_F(EditTreeModelTest, ViewListenerSeesStructureChanges)
{
    CountingListener listener(model);
    model.SetListener(&listener);
    CEditTreeItem* a = model.AddChild(develop, "a");
    model.AddChild(a, "b");
    model.InsertItem("between", 0, 0, top, community);
    model.MoveItem(a, nullptr);
    model.DeleteSubtree(model.FindChildByText(top, "ZELK社区"));
    EXPECT_EQ(listener.log, "+a0~ZELK文档+b0~a+between1+a1~a+b0~a~b-b-a-ZELK社区");
    model.SetListener(nullptr);
}

} // namespace
