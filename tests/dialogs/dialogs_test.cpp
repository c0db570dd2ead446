#include "app/dialogs/edit_text.h"
#include "app/dialogs/input_dlg.h"
#include "app/dialogs/program_file_dialog.h"
#include "app/dialogs/reply_dlg.h"
#include "app/dialogs/search_dlg.h"
#include "app/dialogs/settings_dlg.h"
#include "app/dialogs/sign_dlg.h"
#include "config/app_config.h"
#include "tests/support/recording_message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <future>
#include <iterator>
#include <thread>
#include <utility>

namespace
{
// The control of `dialog` with control id `id`; fails the test when missing.
template <class T> T* Control(QWidget& dialog, int id)
{
    auto* control = dialog.findChild<T*>(QString::number(id));
    if (!control)
        qFatal("control %d missing in dialog %s", id, qPrintable(dialog.objectName()));
    return control;
}

void Click(QWidget& dialog, int id)
{
    Control<QPushButton>(dialog, id)->click();
}

QString Stored(const CAppConfig& config, const char16_t* key)
{
    std::u16string value;
    if (!config.GetValue(key, value))
        return QStringLiteral("<absent>");
    return QString::fromStdU16String(value);
}

struct SettingsCase
{
    const char* name;
    const char* mode;  // LinkOpenMode in the store
    const char* path;  // LinkOpenCustomPath in the store
    int shown;         // radio checked on opening
    int choose;        // radio the user checks, 0 for none
    const char* typed; // typed into 1006, or picked with "..." when `browse`
    bool browse;
    int button; // 1 OK, 2 Cancel
    const char* modeOut;
    const char* pathOut;
};

const SettingsCase kSettingsCases[] = {
    {"mode 7 shows default, OK stores 0", "7", "/bin/a", 1003, 0, "", false, 1, "0", "/bin/a"},
    {"custom with emptied path stores 2, empty", "1", "/bin/a", 1004, 1005, "", false, 1, "2", ""},
    {"path typed under another mode is dropped", "2", "/bin/a", 1005, 1004, "/bin/b", false, 1, "1",
     "/bin/a"},
    {"picked program stored with custom", "0", "", 1003, 1005, "/opt/x y/run", true, 1, "2",
     "/opt/x y/run"},
    {"cancelled pick keeps the path", "2", "/bin/a", 1005, 0, "", true, 1, "2", "/bin/a"},
    {"Cancel stores nothing", "1", "/bin/a", 1004, 1005, "/bin/b", false, 2, "1", "/bin/a"},
};
} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void programChooser_listsProgramsAndReturnsFullPath();
    void signText_breaksBecomeCrLf();
    void signDialog_keepsTypedLinesAsCrLf();
    void signDialog_okKeepsNoBreakSpaces();
    void searchDialog_searchesTwiceAndStaysOpen();
    void inputDialog_keepsTextAsTyped();
    void replyDialog_postsOffTheWindowThreadAndAsksWhatNext();
    void replyDialog_namesTextTheCommunityCannotReadInsteadOfPosting();
};

void DialogsTest::settings_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kSettingsCases)); ++row)
        QTest::newRow(kSettingsCases[row].name) << row;
}

void DialogsTest::settings()
{
    QFETCH(int, row);
    const SettingsCase& c = kSettingsCases[row];
    const QString path = QString::fromUtf8(c.path);

    CAppConfig config;
    config.SetValue(u"LinkOpenMode", QString::fromUtf8(c.mode).toStdU16String());
    if (!path.isEmpty())
        config.SetLinkOpenCustomPath(c.path);

    CSettingsDlg dialog(config);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("系统设置对话框"));
    for (int id : {1003, 1004, 1005})
        QCOMPARE(Control<QRadioButton>(dialog, id)->isChecked(), id == c.shown);
    auto* edit = Control<QLineEdit>(dialog, 1006);
    QCOMPARE(edit->text(), path);

    if (c.choose)
        Control<QRadioButton>(dialog, c.choose)->click();
    if (c.browse)
    {
        CProgramFileDialog::SetNextFileName(QString::fromUtf8(c.typed));
        Click(dialog, 1007);
    }
    else if (c.choose)
    {
        edit->setText(QString::fromUtf8(c.typed));
    }
    Click(dialog, c.button);

    QCOMPARE(Stored(config, u"LinkOpenMode"), QString::fromUtf8(c.modeOut));
    QCOMPARE(Stored(config, u"LinkOpenCustomPath"), QString::fromUtf8(c.pathOut));
}

// The real dialog, driven from inside its modal loop.
void DialogsTest::programChooser_listsProgramsAndReturnsFullPath()
{
    QTemporaryDir dir;
    QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly);
    QFile program(dir.filePath("run"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    bool passed = false;
    const auto choose = [&passed](QFileDialog* dialog)
    {
        auto* view = dialog->findChild<QListView*>("listView");
        const auto listed = [view]
        {
            QStringList names;
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                names << view->model()->index(row, 0, view->rootIndex()).data().toString();
            return names;
        };
        QTRY_COMPARE(listed(), QStringList{"run"});
        QTest::keyClick(dialog->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down); // All Files
        QTRY_COMPARE(listed().size(), 2);
        // Opens on the current choice; the user types another name.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QCOMPARE(name->text(), QStringLiteral("notes.txt"));
        name->setText(QStringLiteral("run"));
        passed = true;
    };
    QTimer::singleShot(
        0, this,
        [&choose, &passed]
        {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            choose(dialog);
            // Queued, so the dialog's own loop takes the answer.
            QMetaObject::invokeMethod(dialog, passed ? "accept" : "reject", Qt::QueuedConnection);
        });

    const QString chosen = CProgramFileDialog::GetProgramFile(nullptr, dir.filePath("notes.txt"));
    QVERIFY(passed);
    QCOMPARE(chosen, dir.filePath("run"));
}

void DialogsTest::signText_breaksBecomeCrLf()
{
    const std::pair<const char*, const char*> cases[] = {
        {"a\nb\n\nc", "a\r\nb\r\n\r\nc"}, // the edit reports each break as LF
        {"a\r\nb", "a\r\nb"},
        {"a\rb\r", "ab"}, // stray CRs are no breaks
        {"a\r\r\nb", "a\r\nb"},
    };
    for (const auto& [edited, stored] : cases)
    {
        QCOMPARE(EditTextToCrLf(QString::fromUtf8(edited)), QString::fromUtf8(stored));
        // What was stored comes back into the edit with one LF per line.
        QCOMPARE(EditTextToCrLf(CrLfToEditText(QString::fromUtf8(stored))),
                 QString::fromUtf8(stored));
    }
}

void DialogsTest::signDialog_keepsTypedLinesAsCrLf()
{
    CAppConfig config;
    config.SetUserSign("line 1\r\nline 2");
    CSignDlg dialog(config);
    auto* edit = Control<QPlainTextEdit>(dialog, 1014);
    QCOMPARE(edit->blockCount(), 2);
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return); // a new line, not OK
    QCOMPARE(dialog.result(), 0);
    QTest::keyClicks(edit, QStringLiteral("line 3"));
    edit->insertPlainText(QStringLiteral("\npasted"));
    Click(dialog, 1);

    QCOMPARE(QString::fromStdString(config.GetUserSign()),
             QStringLiteral("line 1\r\nline 2\r\nline 3\r\npasted"));
}

void DialogsTest::signDialog_okKeepsNoBreakSpaces()
{
    CAppConfig config;
    config.SetUserSign("--\u00A0\u00A0me\r\nline 2");
    CSignDlg dialog(config);
    auto* edit = Control<QPlainTextEdit>(dialog, 1014);
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier); // also a line break
    QTest::keyClicks(edit, QStringLiteral("3"));
    Click(dialog, 1);
    QCOMPARE(QString::fromStdString(config.GetUserSign()),
             QStringLiteral("--\u00A0\u00A0me\r\nline 2\r\n3"));
}

void DialogsTest::searchDialog_searchesTwiceAndStaysOpen()
{
    QCOMPARE(CDevelopSearchDlg().windowTitle(), QStringLiteral("离线文档数据搜索对话框"));
    CCommunitySearchDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("离线社区数据搜索对话框"));
    QSignalSpy spy(&dialog, &CSearchDlg::searchRequested);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* edit = Control<QLineEdit>(dialog, 1009);
    edit->setText(QStringLiteral("线程"));
    Click(dialog, 1);
    edit->setText(QStringLiteral("socket"));
    QTest::keyClick(edit, Qt::Key_Return); // the default button is OK
    QVERIFY(dialog.isVisible());
    Click(dialog, 2);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("线程"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("socket"));
}

void DialogsTest::inputDialog_keepsTextAsTyped()
{
    const QString typed = QStringLiteral("  community.example/topic?id=1 ");
    for (const int button : {1, 2})
    {
        CInputDlg dialog;
        Control<QLineEdit>(dialog, 23002)->setText(typed);
        Click(dialog, button);
        QCOMPARE(dialog.m_strInput, button == 1 ? typed : QString());
    }
}

void DialogsTest::replyDialog_postsOffTheWindowThreadAndAsksWhatNext()
{
    RecordingMessageBox boxes(IDYES);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::pair<int, std::string>> posts;
    bool accept = false;
    bool onWindowThread = true;
    const std::thread::id windowThread = std::this_thread::get_id();
    CReplyDialog dialog(42, "-- me",
                        [&](int topicId, const std::string& text)
                        {
                            onWindowThread = std::this_thread::get_id() == windowThread;
                            released.wait();
                            posts.emplace_back(topicId, text);
                            return accept;
                        });
    QCOMPARE(dialog.objectName(), QStringLiteral("140"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("回复对话框"));
    auto* edit = Control<QPlainTextEdit>(dialog, 1015);
    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    edit->insertPlainText(QStringLiteral("第一行"));
    QTest::keyClick(edit, Qt::Key_Return); // a new line, not OK
    QTest::keyClicks(edit, QStringLiteral("a b"));
    QVERIFY(dialog.isVisible());
    QSignalSpy finished(&dialog, &CReplyDialog::postFinished);

    // While the post is out, the window keeps running and nothing closes it.
    Click(dialog, 1);
    QVERIFY(dialog.IsPosting());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.reject();
    QVERIFY(dialog.isVisible());
    release.set_value();
    QVERIFY(finished.wait(5000));
    QVERIFY(!onWindowThread);
    QCOMPARE(posts.at(0), std::make_pair(42, std::string("第一行\r\na b\r\n-- me")));

    // Refused, Yes: the dialog stays with the text for another try.
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.boxes().back().text, std::string(kReplyFailedQuestion));
    QVERIFY(!edit->isReadOnly());

    // Refused again, No: closed, the answer is to be shown.
    boxes.SetAnswer(IDNO);
    Click(dialog, 1);
    QVERIFY(finished.wait(5000));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(posts.size(), size_t(2));
    QCOMPARE(posts.at(1).second, posts.at(0).second);
    QCOMPARE(dialog.NextStep(), CReplyDialog::Next::ShowAnswer);

    // Accepted, Yes: the topic is to be shown again; Cancel sends nothing.
    for (const int answer : {IDYES, IDNO})
    {
        CReplyDialog again(7, "", [&](int, const std::string&) { return accept; });
        accept = true;
        boxes.SetAnswer(answer);
        QSignalSpy done(&again, &CReplyDialog::postFinished);
        again.show();
        Click(again, 1);
        QVERIFY(done.wait(5000));
        QCOMPARE(boxes.boxes().back().text, std::string(kReplyPostedQuestion));
        QCOMPARE(again.result(), int(QDialog::Accepted));
        QCOMPARE(again.NextStep(),
                 answer == IDYES ? CReplyDialog::Next::RefreshTopic : CReplyDialog::Next::Nothing);
    }
    const size_t asked = boxes.boxes().size();
    CReplyDialog cancelled(7, "", [&](int, const std::string&) { return true; });
    cancelled.show();
    Click(cancelled, 2);
    QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    QVERIFY(!cancelled.IsPosting());
    QCOMPARE(boxes.boxes().size(), asked);
}

// Text GBK cannot carry (an emoji, a no-break space pasted from a page) is
// refused before sending; the user was then asked about "a network
// problem", and Yes kept failing the same way with no word of the reason.
void DialogsTest::replyDialog_namesTextTheCommunityCannotReadInsteadOfPosting()
{
    RecordingMessageBox boxes(IDYES);
    std::atomic<int> posts{0};
    CReplyDialog dialog(42, "",
                        [&](int, const std::string&)
                        {
                            ++posts;
                            return false;
                        });
    dialog.show();
    Control<QPlainTextEdit>(dialog, 1015)->insertPlainText(QStringLiteral("好 \U0001F600"));
    Click(dialog, 1);
    QVERIFY(!dialog.IsPosting());
    QCOMPARE(posts.load(), 0);
    QVERIFY(dialog.isVisible());
    QVERIFY(!boxes.boxes().empty());
    QVERIFY(boxes.boxes().back().text != kReplyFailedQuestion);
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
