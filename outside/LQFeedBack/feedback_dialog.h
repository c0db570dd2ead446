// The feedback dialog: the user's text and an optional contact address,
// sent on a worker thread while a busy bar shows; the outcome is shown in
// the dialog itself (LQSMTP's error text on failure), so a failed send can
// be tried again.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <thread>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

struct CFeedbackMail
{
    std::string accountName, password, mailServer, fromAddress, displayName, recipientAddress,
        subject;
};

class CFeedbackDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CFeedbackDialog(CFeedbackMail mail, QWidget* parent = nullptr);
    ~CFeedbackDialog() override;

    bool Sent() const { return m_sent; }

    // The mail body: the text with CR LF line ends, then the contact line.
    static std::string ComposeBody(const QString& text, const QString& contact);

signals:
    // After each attempt; `message` is what the dialog shows.
    void sendFinished(bool sent, const QString& message);
    // From the sending thread; delivered on the dialog's thread.
    void workerDone(bool sent, const QString& error);

public slots:
    void reject() override;

private:
    void Send();
    void Finish(bool sent, const QString& error);

    CFeedbackMail m_mail;
    QPlainTextEdit* m_text = nullptr;
    QLineEdit* m_contact = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_close = nullptr;
    std::thread m_worker;
    bool m_sending = false;
    bool m_sent = false;
};
