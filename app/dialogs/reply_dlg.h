// The reply dialog: the user's answer to the forum topic on screen. OK posts
// it, with a line break and the signature after it, and asks what to do
// next; the caller reads that choice once the dialog has closed. The post
// runs on a thread of its own so the window keeps painting; the poster
// bounds it with its time-outs.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <thread>

class QPlainTextEdit;
class QPushButton;

class CReplyDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Next
    {
        Nothing,      // closed without a post, or after a success the user did not view
        RefreshTopic, // posted; the user wants to see the topic again
        ShowAnswer,   // not posted; the user wants to see the server's answer
    };
    // Sends the text (UTF-8, CR LF line breaks, signature appended) as the
    // reply to the topic; true when the server accepted it. Called on a
    // thread of its own.
    using Poster = std::function<bool(int topicId, const std::string& text)>;

    CReplyDialog(int topicId, std::string signature, Poster poster, QWidget* parent = nullptr);
    // Waits for a post under way.
    ~CReplyDialog() override;
    CReplyDialog(const CReplyDialog&) = delete;
    CReplyDialog& operator=(const CReplyDialog&) = delete;

    int TopicId() const { return m_topicId; }
    Next NextStep() const { return m_next; }
    bool IsPosting() const { return m_posting; }
    // The text as it would be sent now.
    std::string ReplyText() const;

    // OK: posts. Cancel (and Escape, and closing) does nothing while a post
    // is under way, and otherwise closes without sending.
    void accept() override;
    void reject() override;

Q_SIGNALS:
    // The post ended, before the question about it is asked.
    void postFinished(bool accepted);

private:
    void OnPosted(bool accepted);
    void SetPosting(bool posting);

    int m_topicId;
    std::string m_signature;
    Poster m_poster;
    QPlainTextEdit* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::thread m_worker;
    bool m_posting = false;
    Next m_next = Next::Nothing;
};

// The questions the dialog asks after a post.
inline constexpr const char* kReplyPostedQuestion = "回复成功，是否立即查看该贴？";
inline constexpr const char* kReplyFailedQuestion =
    "未能够回复成功，可能是网络问题! 是否保留现在的回复稍候再试？";
