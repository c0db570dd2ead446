// The help binding and the viewer it binds: the sponsor command shows the
// sponsor topic of the built help file with its table of contents. Runs
// under Xvfb; a screenshot goes to shots/ in the working folder.
#include "app/shell/outside_launches.h"
#include "platform/html_help.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

QVariant RunScript(QWebEngineView* view, const QString& script)
{
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script,
                                [&](const QVariant& value)
                                {
                                    result = value;
                                    done = true;
                                });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    return result;
}

// Whether the grabbed window shows the topic heading's colour (#1b4f8a from
// the help file's own style sheet).
bool ShowsHeading(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) == qRgb(0x1b, 0x4f, 0x8a))
                return true;
    return false;
}

class HelpTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // As root Chromium needs its sandbox off.
        if (::geteuid() == 0)
        {
            ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
            ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox", 0);
        }
        static int argc = 1;
        static char name[] = "help_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
    static QApplication* app;
};
QApplication* HelpTest::app = nullptr;

TEST_F(HelpTest, WithoutTheViewerHelpReturnsZeroAndNeverBindsLater)
{
    TempDir empty;
    const std::string folder = empty.path() + "/";
    SetHtmlHelpFolderForTesting(folder.c_str());
    const std::string chm = MYZELK_BIN_DIR "/MyZELK.chm";
    EXPECT_EQ(HtmlHelpA(nullptr, chm.c_str(), HH_DISPLAY_TOC, 0), nullptr);
    // The viewer appearing afterwards changes nothing: binding failed once.
    fs::copy_file(MYZELK_BIN_DIR "/MyZELKHelp.so", empty / "MyZELKHelp.so");
    EXPECT_EQ(HtmlHelpA(nullptr, chm.c_str(), HH_DISPLAY_TOC, 0), nullptr);

    SetHtmlHelpFolderForTesting(MYZELK_BIN_DIR "/");
    EXPECT_EQ(HtmlHelpA(nullptr, (folder + "missing.chm").c_str(), HH_DISPLAY_TOC, 0), nullptr);
}

TEST_F(HelpTest, SponsorCommandShowsTheSponsorTopicWithItsTableOfContents)
{
    SetHtmlHelpFolderForTesting(MYZELK_BIN_DIR "/");
    CAppPaths paths;
    ASSERT_TRUE(BuildPaths(paths, MYZELK_BIN_DIR "/"));
    CAppConfig config;
    COutsideLaunches launches(paths, config);
    launches.ShowSponsorPage();

    QWidget* viewer = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "MyZELKHelpViewer" && w->isVisible())
            viewer = w;
    ASSERT_NE(viewer, nullptr);
    auto* topic = viewer->findChild<QWebEngineView*>("topic");
    auto* contents = viewer->findChild<QTreeWidget*>("contents");
    ASSERT_TRUE(topic && contents);
    QSignalSpy loaded(topic, &QWebEngineView::loadFinished);
    ASSERT_TRUE(loaded.wait(30000));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());

    EXPECT_EQ(viewer->windowTitle(), QString::fromUtf8("MyZELK 帮助"));
    EXPECT_EQ(topic->url().toString(), QString::fromUtf8("mzhelp:/html_files/MyZELK/赞助.htm"));
    ASSERT_NE(contents->currentItem(), nullptr);
    EXPECT_EQ(contents->currentItem()->text(0), QString::fromUtf8("赞助"));
    ASSERT_NE(contents->currentItem()->parent(), nullptr);
    EXPECT_EQ(contents->currentItem()->parent()->text(0), QString::fromUtf8("其他"));
    EXPECT_EQ(contents->topLevelItemCount(), 6);
    EXPECT_TRUE(RunScript(topic, "document.body.innerText")
                    .toString()
                    .contains(QString::fromUtf8("赞助方式")));

    // Rendered with the style sheet the page names beside it in the file.
    QImage shot;
    EXPECT_TRUE(QTest::qWaitFor(
        [&]
        {
            shot = viewer->grab().toImage();
            return ShowsHeading(shot);
        },
        20000));
    QDir().mkpath("shots");
    EXPECT_TRUE(shot.save("shots/help_sponsor.png"));

    // A second call reuses the window and moves it to the topic asked for.
    QSignalSpy again(topic, &QWebEngineView::loadFinished);
    const std::string start = std::string(paths.m_szHelpFile) + "::/html_files/MyZELK/start.htm";
    EXPECT_EQ(HtmlHelpA(nullptr, start.c_str(), HH_DISPLAY_TOC, 0), viewer);
    ASSERT_TRUE(again.wait(30000));
    EXPECT_EQ(contents->currentItem()->text(0), QString::fromUtf8("开始使用"));
    delete viewer;
}

} // namespace
