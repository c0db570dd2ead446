// The tree controls of the left bar under Qt Test: one suite, its cases
// split by control (edit_tree_ctrl_test.cpp, category_tree_ctrl_test.cpp).
#pragma once

#include "tests/tree/tree_test_support.h"
#include "tests/widgets/manual_tree_clock.h"
#include "widgets/tree/edit_tree_ctrl.h"

#include <QAbstractItemModelTester>
#include <QObject>

// The context menu is answered here instead of by a person.
class MenuAnsweringTree : public CEditTreeCtrl
{
public:
    unsigned answer = 0;
    QList<unsigned> offered;

protected:
    QAction* ExecContextMenu(QMenu& menu, const QPoint& globalPos) override;
};

class TreeCtrlTest : public QObject
{
    Q_OBJECT

    ScratchFolder m_folder;
    std::string m_file = m_folder.File("OffLine.xml");
    ManualTreeClock m_clock;
    std::unique_ptr<MenuAnsweringTree> m_tree;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    CEditTreeModel& Model() { return m_tree->GetModel(); }
    CEditTreeItem* Find(std::int32_t id) { return Model().FindItemById(id); }
    QPoint Centre(std::int32_t id);
    QWidget* Viewport() { return m_tree->viewport(); }
    // Presses on an item, waits `holdMs`, and pulls the pointer away.
    void PressAndPull(std::int32_t id, int holdMs);
    void DragTo(QPoint pos);
    void Release(QPoint pos);
    // Another process adds a room, then this tree adds one: the tree is
    // rebuilt from the file before its own room goes in.
    void ReloadThroughOwnAdd();

private slots:
    // The editable tree, loaded afresh for each case.
    void init();
    void cleanup();
    void renamingEditsInPlaceWithinTheLimit();
    void dropMovesTheSubtreeButNeverIntoItself();
    void dragWaitsForTheHandAndHoverOpensAfterARest();
    void scrollingSpeedsUpFurtherFromTheEdge_data();
    void scrollingSpeedsUpFurtherFromTheEdge();
    void contextMenuComesFromTheResourceModule();
    void missingResourceModuleMeansNoMenuAndNoImages();
    void reloadDuringALabelEditDropsTheEdit();
    void reloadKeepsOpenItemsOpen();

    // The category list.
    void categoriesComeFromItemElementsAtAnyDepth();
    void unusableCategoryFilesGiveAnEmptyList_data();
    void unusableCategoryFilesGiveAnEmptyList();
    void shippedCategoryListLoads();
};
