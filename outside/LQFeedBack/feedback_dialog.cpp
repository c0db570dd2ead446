#include "outside/LQFeedBack/feedback_dialog.h"

#include "LQSMTP/LQSMTP.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CFeedbackDialog::CFeedbackDialog(CFeedbackMail mail, QWidget* parent)
    : QDialog(parent), m_mail(std::move(mail))
{
    setObjectName("LQFeedBackDialog");
    setWindowTitle(QString::fromUtf8("意见反馈"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("请写下您的意见或建议："), this));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName("text");
    layout->addWidget(m_text, 1);
    auto* form = new QFormLayout;
    m_contact = new QLineEdit(this);
    m_contact->setObjectName("contact");
    m_contact->setPlaceholderText(QString::fromUtf8("电子邮件地址（可不填）"));
    form->addRow(QString::fromUtf8("联系方式："), m_contact);
    layout->addLayout(form);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 0); // busy: SMTP gives no useful fraction
    m_progress->hide();
    layout->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(QString::fromUtf8("发送"), QDialogButtonBox::AcceptRole);
    m_send->setObjectName("send");
    m_close = buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    m_close->setObjectName("close");
    layout->addWidget(buttons);
    connect(m_send, &QPushButton::clicked, this, &CFeedbackDialog::Send);
    connect(m_close, &QPushButton::clicked, this, &CFeedbackDialog::reject);
    connect(this, &CFeedbackDialog::workerDone, this, &CFeedbackDialog::Finish,
            Qt::QueuedConnection);
    resize(440, 320);
}

CFeedbackDialog::~CFeedbackDialog()
{
    // SendMail ends by its own time-outs; the result is dropped.
    if (m_worker.joinable())
        m_worker.join();
}

std::string CFeedbackDialog::ComposeBody(const QString& text, const QString& contact)
{
    QString body = text;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (!contact.trimmed().isEmpty())
        body += QString::fromUtf8("\r\n\r\n联系方式：") + contact.trimmed();
    return body.toStdString();
}

void CFeedbackDialog::reject()
{
    if (!m_sending)
        QDialog::reject();
}

void CFeedbackDialog::Send()
{
    if (m_sending)
        return;
    if (m_text->toPlainText().trimmed().isEmpty())
    {
        m_status->setText(QString::fromUtf8("请先写下您的意见。"));
        return;
    }
    if (m_worker.joinable())
        m_worker.join(); // the earlier attempt, finished
    m_sending = true;
    m_text->setReadOnly(true);
    m_contact->setReadOnly(true);
    m_send->setEnabled(false);
    m_close->setEnabled(false);
    m_progress->show();
    m_status->setText(QString::fromUtf8("正在发送…"));
    const std::string body = ComposeBody(m_text->toPlainText(), m_contact->text());
    m_worker = std::thread(
        [this, body]
        {
            char error[256] = {};
            CLQSMTP smtp;
            const int sent = smtp.SendMail(
                m_mail.accountName.c_str(), m_mail.password.c_str(), m_mail.mailServer.c_str(),
                m_mail.fromAddress.c_str(), m_mail.displayName.c_str(),
                m_mail.recipientAddress.c_str(), "", m_mail.subject.c_str(), body.c_str(), error);
            error[sizeof error - 1] = '\0';
            emit workerDone(sent == 1, QString::fromUtf8(error));
        });
}

void CFeedbackDialog::Finish(bool sent, const QString& error)
{
    m_sending = false;
    m_progress->hide();
    m_close->setEnabled(true);
    QString message;
    if (sent)
    {
        m_sent = true;
        message = QString::fromUtf8("您的意见已发送，谢谢！");
        m_close->setText(QString::fromUtf8("关闭"));
    }
    else
    {
        message = QString::fromUtf8("发送失败：") + error;
        m_text->setReadOnly(false);
        m_contact->setReadOnly(false);
        m_send->setEnabled(true);
    }
    m_status->setText(message);
    emit sendFinished(sent, message);
}
