// The editable tree control: label editing, context menu, and drag and drop
// with its timing rules, driven by a hand-moved clock.
#include "tests/widgets/tree_ctrl_test.h"

#include "base/debug_log.h"
#include "outside/LQRes/LQRes.h"
#include "widgets/tree/tree_context_menu.h"

#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace
{

// Top(1) > A(2) > A1(3) > A11(4), and Top > B(5).
constexpr const char* kTree =
    R"(<LQEditTree Text="LQEditTree" PersistCount="5" Version="1.00.0">)"
    R"(<Node ID="1" Text="Top" ImageIndex="0"><Node ID="2" Text="A" ImageIndex="0">)"
    R"(<Node ID="3" Text="A1" ImageIndex="0"><Node ID="4" Text="A11" ImageIndex="10"/></Node>)"
    R"(</Node><Node ID="5" Text="B" ImageIndex="10"/></Node></LQEditTree>)";

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons held)
{
    const Qt::MouseButton button =
        type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(Qt::LeftButton);
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

QAction* MenuAnsweringTree::ExecContextMenu(QMenu& menu, const QPoint&)
{
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions())
    {
        offered.append(MenuCommandId(action));
        if (answer && MenuCommandId(action) == answer)
            chosen = action;
    }
    return chosen;
}

QPoint TreeCtrlTest::Centre(std::int32_t id)
{
    return m_tree->visualRect(m_tree->IndexFromItem(Find(id))).center();
}

void TreeCtrlTest::PressAndPull(std::int32_t id, int holdMs)
{
    SendMouse(Viewport(), QEvent::MouseButtonPress, Centre(id), Qt::LeftButton);
    m_clock.Advance(holdMs);
    SendMouse(Viewport(), QEvent::MouseMove, Centre(id) + QPoint(0, 12), Qt::LeftButton);
}

void TreeCtrlTest::DragTo(QPoint pos)
{
    SendMouse(Viewport(), QEvent::MouseMove, pos, Qt::LeftButton);
}

void TreeCtrlTest::Release(QPoint pos)
{
    SendMouse(Viewport(), QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

void TreeCtrlTest::ReloadThroughOwnAdd()
{
    CEditTreeModel other;
    QVERIFY(other.SetPersistFile(m_file.c_str()) && other.LoadTree(m_file.c_str()));
    QVERIFY(other.EditPersisted([&] { other.AddChild(other.GetRootItem(), "theirs"); }));
    QVERIFY(Model().EditPersisted([this] { Model().AddChild(Model().GetRootItem(), "mine"); }));
}

void TreeCtrlTest::init()
{
    m_tree = std::make_unique<MenuAnsweringTree>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_tree->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_tree->SetClock(m_clock);
    m_tree->SetFolderImages(0, 0);
    m_tree->SetLeafImages(10, 10);
    m_tree->SetResourceFolder(MYZELK_BIN_DIR "/");
    WriteText(m_file, kTree);
    QVERIFY(Model().SetPersistFile(m_file.c_str()));
    QVERIFY(Model().LoadTree(m_file.c_str()));
    m_tree->resize(240, 300);
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_tree->expandAll();
}

void TreeCtrlTest::cleanup()
{
    m_tester.reset();
    m_tree.reset();
}

void TreeCtrlTest::renamingEditsInPlaceWithinTheLimit()
{
    QSignalSpy renamed(m_tree.get(), &CEditTreeCtrl::ItemRenamed);
    const QModelIndex a = m_tree->IndexFromItem(Find(2));
    m_tree->setCurrentIndex(a);

    // Renaming off (the room tree): F2 opens no editor.
    QTest::keyClick(m_tree.get(), Qt::Key_F2);
    QVERIFY(!m_tree->indexWidget(a));

    m_tree->EnableRename(true);
    auto edit = [&](const QString& typed, Qt::Key end)
    {
        QTest::keyClick(m_tree.get(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(m_tree->indexWidget(a));
        QVERIFY(editor);
        editor->clear();
        editor->insert(typed); // what typing does, maximum length included
        QTest::keyClick(editor, end);
        QTRY_VERIFY(!m_tree->indexWidget(a));
    };

    edit("Gone", Qt::Key_Escape);
    edit("", Qt::Key_Return);
    edit("A", Qt::Key_Return); // unchanged: nothing renamed
    QCOMPARE(renamed.count(), 0);
    QCOMPARE(a.data().toString(), QString("A"));

    const QString typed(130, QChar(0x4E2D));
    edit(typed, Qt::Key_Return);
    QCOMPARE(renamed.count(), 1);
    const auto info = renamed.at(0).at(0).value<EditTreeRenameInfo>();
    const std::string kept = typed.left(CEditTreeCtrl::kRenameMaxLength).toStdString();
    QCOMPARE(Q(info.oldPath), QString("Top\\A"));
    QCOMPARE(Q(info.newText), Q(kept));
    QCOMPARE(Q(Find(2)->GetNode()->Text), Q(kept));
    QCOMPARE(a.data().toString().size(), CEditTreeCtrl::kRenameMaxLength);
    QVERIFY(ReadText(m_file).find("Text=\"" + kept + "\"") != std::string::npos);
}

void TreeCtrlTest::dropMovesTheSubtreeButNeverIntoItself()
{
    m_tree->EnableDrag(true);
    QSignalSpy moved(m_tree.get(), &CEditTreeCtrl::ItemMoved);

    // Onto its own descendant, and onto itself: nothing moves, nothing is written.
    const std::string before = ReadText(m_file);
    for (std::int32_t target : {4, 2})
    {
        PressAndPull(2, 100);
        QVERIFY(m_tree->IsDragging());
        DragTo(Centre(target));
        Release(Centre(target));
        QVERIFY(!m_tree->IsDragging());
    }
    QCOMPARE(moved.count(), 0);
    QCOMPARE(Q(ReadText(m_file)), Q(before));

    // A with its two descendants onto B: three moves, new numbers, saved.
    PressAndPull(2, 100);
    DragTo(Centre(5));
    Release(Centre(5));
    QCOMPARE(moved.count(), 3);
    QCOMPARE(Q(moved.at(0).at(0).value<EditTreeMoveInfo>().newPath), QString("Top\\B\\A"));
    const QString afterMove = "1:Top:0(5:B:0(6:A:0(7:A1:0(8:A11:10))))";
    QCOMPARE(Q(Describe(Model())), afterMove);
    CEditTreeModel reloaded;
    QVERIFY(reloaded.LoadTree(m_file.c_str()));
    QCOMPARE(Q(Describe(reloaded)), afterMove);
    QCOMPARE(Model().GetSelectedItem(), Find(6));

    // Released near the left edge: to the end of the top level.
    m_tree->expandAll();
    PressAndPull(8, 100);
    DragTo(QPoint(CEditTreeCtrl::kTopLevelDropMargin - 1, Centre(5).y()));
    Release(QPoint(CEditTreeCtrl::kTopLevelDropMargin - 1, Centre(5).y()));
    QCOMPARE(Q(Describe(Model())), QString("1:Top:0(5:B:0(6:A:0(7:A1:0))) 9:A11:10"));
}

void TreeCtrlTest::dragWaitsForTheHandAndHoverOpensAfterARest()
{
    m_tree->EnableDrag(true);
    PressAndPull(5, CEditTreeCtrl::kDragStartDelayMs - 1);
    QVERIFY(!m_tree->IsDragging());
    Release(Centre(5));

    m_tree->collapse(m_tree->IndexFromItem(Find(2)));
    QSignalSpy selected(m_tree.get(), &CEditTreeCtrl::SelChanged);
    PressAndPull(5, CEditTreeCtrl::kDragStartDelayMs); // B is selected already
    QVERIFY(m_tree->IsDragging());
    DragTo(Centre(2));
    m_clock.Advance(500);
    DragTo(Centre(2)); // every move starts the rest again
    m_clock.Advance(CEditTreeCtrl::kHoverExpandMs - 1);
    QVERIFY(!m_tree->isExpanded(m_tree->IndexFromItem(Find(2))));
    m_clock.Advance(1);
    QVERIFY(m_tree->isExpanded(m_tree->IndexFromItem(Find(2))));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.last().at(1).toInt(), 2);
    QCOMPARE(selected.last().at(2).toString(), QString("Top\\A"));
    Release(Centre(2));
}

void TreeCtrlTest::scrollingSpeedsUpFurtherFromTheEdge_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("lines"); // in 12 ticks of 40 ms
    QTest::newRow("at the top edge") << 5 << -2;
    QTest::newRow("30 above") << -30 << -3;
    QTest::newRow("70 above") << -70 << -6;
    QTest::newRow("far above") << -500 << -12;
    QTest::newRow("middle") << 60 << 0;
    QTest::newRow("at the bottom edge") << 115 << 2;
    QTest::newRow("50 below") << 170 << 4;
}

void TreeCtrlTest::scrollingSpeedsUpFurtherFromTheEdge()
{
    QFETCH(int, y);
    QFETCH(int, lines);
    std::string rooms = R"(<LQEditTree><Node ID="1" Text="Top">)";
    for (int id = 2; id < 50; ++id)
        rooms += "<Node ID=\"" + std::to_string(id) + "\" Text=\"Room\"/>";
    WriteText(m_file, rooms + "</Node></LQEditTree>");
    Model().DeleteAll();
    QVERIFY(Model().LoadTree(m_file.c_str()));
    m_tree->expandAll();
    m_tree->resize(240, 120 + m_tree->height() - Viewport()->height());
    QCoreApplication::processEvents();
    QCOMPARE(Viewport()->height(), 120);
    QScrollBar* bar = m_tree->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);

    m_tree->EnableDrag(true);
    const std::int32_t held = Model().GetNodeId(m_tree->ItemAt(QPoint(60, 60)));
    PressAndPull(held, 100);
    QVERIFY(m_tree->IsDragging());
    DragTo(QPoint(60, y));
    const int start = bar->value();
    m_clock.Advance(12 * CEditTreeCtrl::kScrollTickMs);
    QCOMPARE(bar->value() - start, lines);
    Release(QPoint(60, y));
}

void TreeCtrlTest::contextMenuComesFromTheResourceModule()
{
    QList<bool> shown; // whether each notification carried a menu
    connect(m_tree.get(), &CEditTreeCtrl::ContextMenu, this,
            [&shown](QMenu* popup) { shown.append(popup != nullptr); });
    QSignalSpy chosen(m_tree.get(), &CEditTreeCtrl::CommandChosen);
    m_tree->SetMenuChoice(1);
    m_tree->answer = ID_TREE_LIST_RECORDS;
    QContextMenuEvent click(QContextMenuEvent::Mouse, Centre(5),
                            Viewport()->mapToGlobal(Centre(5)));
    QCoreApplication::sendEvent(Viewport(), &click);

    QCOMPARE(Model().GetSelectedItem(), Find(5)); // the item under the pointer
    QCOMPARE(shown, QList<bool>{true});
    QCOMPARE(m_tree->offered.first(), unsigned(ID_TREE_LIST_RECORDS));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toUInt(), unsigned(ID_TREE_LIST_RECORDS));

    m_tree->EnableOwnMenu(false);
    QCoreApplication::sendEvent(Viewport(), &click);
    QCOMPARE(shown, (QList<bool>{true, false}));
    QCOMPARE(chosen.count(), 1);
}

void TreeCtrlTest::missingResourceModuleMeansNoMenuAndNoImages()
{
    const QModelIndex b = m_tree->IndexFromItem(Find(5));
    const QList<QPixmap> images(12, QPixmap(16, 16));
    const std::string log = m_folder.File("debug.txt");
    SetDebugLogPathForTesting(log.c_str());
    m_tree->SetResourceFolder(m_folder.File(""));
    QVERIFY(m_tree->CreateImageList(images));
    QVERIFY(b.data(Qt::DecorationRole).isNull());

    int shown = 0;
    connect(m_tree.get(), &CEditTreeCtrl::ContextMenu, this, [&shown] { ++shown; });
    QContextMenuEvent click(QContextMenuEvent::Mouse, Centre(5),
                            Viewport()->mapToGlobal(Centre(5)));
    QCoreApplication::sendEvent(Viewport(), &click);
    SetDebugLogPathForTesting(nullptr);
    QCOMPARE(shown, 0);
    QCOMPARE(ReadText(log).rfind("Resource Load Failed.\r\n", 0), size_t(0));

    m_tree->SetResourceFolder(MYZELK_BIN_DIR "/");
    QVERIFY(m_tree->CreateImageList(images));
    QVERIFY(!b.data(Qt::DecorationRole).isNull());
}

void TreeCtrlTest::reloadDuringALabelEditDropsTheEdit()
{
    m_tree->EnableRename(true);
    QSignalSpy renamed(m_tree.get(), &CEditTreeCtrl::ItemRenamed);
    m_tree->setCurrentIndex(m_tree->IndexFromItem(Find(2)));
    QTest::keyClick(m_tree.get(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(m_tree->indexWidget(m_tree->currentIndex()));
    QVERIFY(editor);
    editor->setText("typed");

    ReloadThroughOwnAdd(); // a rename committed meanwhile would wait for the file's lock
    QCOMPARE(renamed.count(), 0);
    QCOMPARE(Q(Describe(Model())),
             QString("1:Top:0(2:A:0(3:A1:0(4:A11:10)) 5:B:10 6:theirs:0 7:mine:10)"));
    QVERIFY(!m_tree->indexWidget(m_tree->IndexFromItem(Find(2))));
}

void TreeCtrlTest::reloadKeepsOpenItemsOpen()
{
    m_tree->collapse(m_tree->IndexFromItem(Find(3)));
    ReloadThroughOwnAdd();
    QVERIFY(m_tree->isExpanded(m_tree->IndexFromItem(Find(1))));
    QVERIFY(m_tree->isExpanded(m_tree->IndexFromItem(Find(2))));
    QVERIFY(!m_tree->isExpanded(m_tree->IndexFromItem(Find(3))));
}

QTEST_MAIN(TreeCtrlTest)
