#include "app/dialogs/reply_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"
#include "app/dialogs/edit_text.h"
#include "platform/message_box.h"
#include "reply/form_encoding.h"
#include "reply/reply_request.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

CReplyDialog::CReplyDialog(int topicId, std::string signature, Poster poster, QWidget* parent)
    : QDialog(parent), m_topicId(topicId), m_signature(std::move(signature)),
      m_poster(std::move(poster))
{
    setObjectName(QString::number(IDD_REPLY));
    setWindowTitle(QStringLiteral("回复对话框"));
    setModal(true);

    // Return starts a new line; long lines scroll rather than wrap.
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QString::number(IDC_REPLY_TEXT));
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setTabChangesFocus(true);
    m_edit->setMinimumSize(DialogUnitsToPixels(*this, 275, 113));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit, 1);
    layout->addLayout(MakeOkCancelRow(*this));
    m_ok = findChild<QPushButton*>(QString::number(IDC_OK));
    m_cancel = findChild<QPushButton*>(QString::number(IDC_CANCEL));

    ResizeInDialogUnits(*this, 289, 173);
    m_edit->setFocus();
}

CReplyDialog::~CReplyDialog()
{
    if (m_worker.joinable())
        m_worker.join();
}

std::string CReplyDialog::ReplyText() const
{
    const QString typed = EditTextToCrLf(TypedText(*m_edit->document()));
    return ComposeReplyText(typed.toStdString(), m_signature);
}

void CReplyDialog::accept()
{
    if (m_posting)
        return;
    const std::string text = ReplyText();
    // Refused here, with the character named, rather than as a failed post
    // that "may be a network problem" and fails again on every try.
    const std::string uncarriable = FirstUncarriableCharacter(text);
    if (!uncarriable.empty())
    {
        PlatformMessageBox("回复中的字符“" + uncarriable +
                               "”无法以论坛的 GB2312/GBK 编码发送，请删除或替换后再试。",
                           std::string(), MB_OK | MB_ICONWARNING);
        return;
    }
    if (m_worker.joinable())
        m_worker.join(); // the last post's thread, long done
    SetPosting(true);
    // The destructor waits for this thread, so the dialog outlives it; a
    // queued call to a dialog destroyed meanwhile is dropped by Qt.
    m_worker = std::thread(
        [this, poster = m_poster, topicId = m_topicId, text]
        {
            bool accepted = false;
            try
            {
                accepted = poster && poster(topicId, text);
            }
            catch (...)
            {
                // Out of memory and the like: a failed post, not the end of the program.
            }
            QMetaObject::invokeMethod(
                this, [this, accepted] { OnPosted(accepted); }, Qt::QueuedConnection);
        });
}

void CReplyDialog::reject()
{
    if (!m_posting)
        QDialog::reject();
}

void CReplyDialog::OnPosted(bool accepted)
{
    if (m_worker.joinable())
        m_worker.join();
    SetPosting(false);
    Q_EMIT postFinished(accepted);
    if (accepted)
    {
        const int answer =
            PlatformMessageBox(kReplyPostedQuestion, std::string(), MB_YESNO | MB_ICONQUESTION);
        m_next = answer == IDYES ? Next::RefreshTopic : Next::Nothing;
        QDialog::accept();
        return;
    }
    const int answer =
        PlatformMessageBox(kReplyFailedQuestion, std::string(), MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES)
        return; // the text stays for another try
    m_next = Next::ShowAnswer;
    QDialog::reject();
}

void CReplyDialog::SetPosting(bool posting)
{
    m_posting = posting;
    m_edit->setReadOnly(posting);
    m_ok->setEnabled(!posting);
    m_cancel->setEnabled(!posting);
    if (posting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}
