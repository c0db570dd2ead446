#include "widgets/look/dock_title_bar.h"
#include "widgets/look/image_strip.h"
#include "widgets/look/menu_icons.h"
#include "widgets/look/toolbar_images.h"

#include <QAction>
#include <QDockWidget>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace
{

bool HasOpaquePixel(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                return true;
    return false;
}

} // namespace

class LookTest : public QObject
{
    Q_OBJECT

private slots:
    void strips_data();
    void strips();
    void maskAppliesOnlyToTheMaskColour();
    void dockCloseButtonHidesTheDock();
    void menuItemsGetTheirCommandsImage();
};

void LookTest::strips_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("toolbar");
    QTest::newRow("tree") << kTreeStrip << 16 << 42 << false;
    QTest::newRow("large toolbar") << kToolbarStrip << 32 << 20 << true;
    QTest::newRow("small toolbar") << kSmallToolbarStrip << 16 << 20 << true;
}

// Each strip is in the resource with its count of images; every image shows
// something except the toolbar's separators, which are wholly transparent.
void LookTest::strips()
{
    QFETCH(QString, resource);
    QFETCH(int, size);
    QFETCH(int, count);
    QFETCH(bool, toolbar);

    const QList<QPixmap> images = LoadImageStrip(resource, size);
    QCOMPARE(images.size(), count);
    for (int i = 0; i < count; ++i)
    {
        QCOMPARE(images[i].size(), QSize(size, size));
        bool separator = false;
        if (toolbar)
            separator = ToolbarImages()[i].command == 0;
        QVERIFY2(HasOpaquePixel(images[i]) != separator, qPrintable(QString::number(i)));
    }
    // The folder image's corner is background.
    QCOMPARE(qAlpha(images[0].toImage().pixel(0, 0)), 0);
}

void LookTest::maskAppliesOnlyToTheMaskColour()
{
    // Two 4x4 images and three spare columns that make no whole image.
    QImage strip(11, 4, QImage::Format_RGB32);
    strip.fill(qRgb(0xFF, 0x00, 0xFF));
    strip.setPixel(1, 1, qRgb(0xFE, 0x00, 0xFF)); // near the mask: stays
    strip.setPixel(6, 2, qRgb(0x12, 0x34, 0x56));
    QTemporaryDir dir;
    const QString path = dir.filePath("strip.png");
    QVERIFY(strip.save(path));

    const QList<QPixmap> images = LoadImageStrip(path, 4);
    QCOMPARE(images.size(), 2);
    const QImage first = images[0].toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage second = images[1].toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(first.pixel(0, 0)), 0);
    QCOMPARE(first.pixel(1, 1), qRgba(0xFE, 0x00, 0xFF, 0xFF));
    QCOMPARE(second.pixel(2, 2), qRgba(0x12, 0x34, 0x56, 0xFF));
    QCOMPARE(qAlpha(second.pixel(3, 3)), 0);

    QVERIFY(LoadImageStrip(dir.filePath("missing.png"), 4).isEmpty());
    QVERIFY(LoadImageStrip(path, 0).isEmpty());
    QVERIFY(LoadImageStrip(path, 5).isEmpty()); // taller than the strip
}

void LookTest::dockCloseButtonHidesTheDock()
{
    QMainWindow window;
    auto* dock = new QDockWidget(QStringLiteral("LeftBar"), &window);
    window.addDockWidget(Qt::LeftDockWidgetArea, dock);
    InstallDockTitleBar(dock);
    InstallDockTitleBar(dock); // a second call keeps the one bar
    QCOMPARE(dock->findChildren<CDockTitleBar*>().size(), 1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* close = dock->titleBarWidget()->findChild<QToolButton*>(QStringLiteral("closeButton"));
    QVERIFY(close);
    QVERIFY(close->isVisible());
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!dock->isVisible());
    QVERIFY(!dock->toggleViewAction()->isChecked());

    // A bar that cannot be closed offers no close button.
    dock->show();
    dock->setFeatures(QDockWidget::DockWidgetMovable);
    QVERIFY(close->isHidden());
}

void LookTest::menuItemsGetTheirCommandsImage()
{
    QMenuBar bar;
    QMenu* view = bar.addMenu(QStringLiteral("View"));
    QAction* back = view->addAction(QStringLiteral("Back"));
    back->setData(32780u);
    QMenu* other = view->addMenu(QStringLiteral("Other"));
    QAction* help = other->addAction(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("32786"));
    QAction* exit = other->addAction(QStringLiteral("Exit"));
    exit->setData(57665u);

    QCOMPARE(ApplyToolbarMenuIcons(bar.actions()), 2);
    QVERIFY(exit->icon().isNull());

    const QList<QPixmap> small = LoadImageStrip(kSmallToolbarStrip, 16);
    QCOMPARE(back->icon().pixmap(16).toImage(),
             small[ToolbarImageIndex(32780)].toImage().convertToFormat(
                 back->icon().pixmap(16).toImage().format()));
    QCOMPARE(help->icon().pixmap(16).toImage(),
             small[ToolbarImageIndex(32786)].toImage().convertToFormat(
                 help->icon().pixmap(16).toImage().format()));
}

QTEST_MAIN(LookTest)
#include "look_test.moc"
