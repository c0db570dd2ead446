// The online category list: what Online.xml gives, and what a selection reports.
#include "tests/widgets/tree_ctrl_test.h"

#include "widgets/tree/category_tree_ctrl.h"

#include <QSignalSpy>
#include <QTest>

namespace
{

// Image i of the list is a square of hue i * 60.
QList<QPixmap> Colours()
{
    QList<QPixmap> images(6, QPixmap(16, 16));
    for (int i = 0; i < images.size(); ++i)
        images[i].fill(QColor::fromHsv(i * 60, 255, 255));
    return images;
}

// Which image of the list an item shows.
int Shown(const QTreeWidgetItem* item, QIcon::Mode mode)
{
    return item->icon(0).pixmap(16, 16, mode).toImage().pixelColor(8, 8).hue() / 60;
}

} // namespace

void TreeCtrlTest::categoriesComeFromItemElementsAtAnyDepth()
{
    const std::string file = m_folder.File("Online.xml");
    WriteText(file, R"(<braekbasesystem Text="x">)"
                    R"(<Item IsShow="0" Name="论坛" Url="http://a/" ImageIndex="3">)"
                    R"(<Item Name="Inner"/><item Name="lower case"/></Item>)"
                    R"(<Other Name="skipped"/><Item Name="Second" Url="http://b/"/>)"
                    R"(</braekbasesystem>)");
    CCategoryTreeCtrl list;
    QVERIFY(list.CreateImageList(Colours()));
    QVERIFY(list.LoadCategories(file));

    QCOMPARE(list.topLevelItemCount(), 2);
    QTreeWidgetItem* forum = list.topLevelItem(0);
    QCOMPARE(forum->text(0), QString("论坛"));
    QVERIFY(!forum->isHidden());
    QCOMPARE(list.GetItemEntry(forum)->IsShow, 0);
    QCOMPARE(forum->childCount(), 1);
    QTreeWidgetItem* inner = forum->child(0);
    QCOMPARE(inner->text(0), QString("Inner"));

    QCOMPARE(Shown(forum, QIcon::Normal), 3);
    QCOMPARE(Shown(inner, QIcon::Normal), 0);
    QCOMPARE(Shown(inner, QIcon::Selected), 1);

    QSignalSpy addresses(&list, &CCategoryTreeCtrl::AddressChosen);
    list.ShowFirstEntry();
    QVERIFY(forum->isExpanded());
    list.setCurrentItem(inner);
    QCOMPARE(addresses.count(), 2);
    QCOMPARE(addresses.at(0).at(0).toString(), QString("http://a/"));
    QCOMPARE(addresses.at(1).at(0).toString(), QString(""));
    QCOMPARE(list.GetItemAddress(list.topLevelItem(1)), QString("http://b/"));
}

void TreeCtrlTest::unusableCategoryFilesGiveAnEmptyList_data()
{
    QTest::addColumn<QString>("content");
    QTest::newRow("missing") << QString();
    QTest::newRow("malformed") << QString("<BraeKBaseSystem><Item Name=\"a\">");
    QTest::newRow("another root") << QString("<LQEditTree><Item Name=\"a\"/></LQEditTree>");
}

void TreeCtrlTest::unusableCategoryFilesGiveAnEmptyList()
{
    QFETCH(QString, content);
    const std::string file = m_folder.File(QTest::currentDataTag() + std::string(".xml"));
    if (!content.isNull())
        WriteText(file, content.toStdString());
    CCategoryTreeCtrl list;
    QVERIFY(list.LoadCategories(file));
    QCOMPARE(list.topLevelItemCount(), 0);
}

void TreeCtrlTest::shippedCategoryListLoads()
{
    CCategoryTreeCtrl list;
    list.LoadCategories(MYZELK_SOURCE_DIR "/resources/RoomList/Online.xml");
    QVERIFY(list.topLevelItemCount() > 0);
    QVERIFY(!list.GetItemAddress(list.topLevelItem(0)).isEmpty());
}
