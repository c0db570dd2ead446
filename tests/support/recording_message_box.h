// Records message boxes and answers them, installed for one test's scope.
#pragma once

#include "platform/message_box.h"

#include <mutex>
#include <string>
#include <vector>

class RecordingMessageBox : public IMessageBoxHost
{
public:
    struct Box
    {
        std::string text, caption;
        unsigned type;
    };

    explicit RecordingMessageBox(int answer = IDOK) : m_answer(answer) { SetMessageBoxHost(this); }
    ~RecordingMessageBox() override { SetMessageBoxHost(nullptr); }

    int Show(const std::string& text, const std::string& caption, unsigned type) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_boxes.push_back({text, caption, type});
        return m_answer;
    }
    void SetAnswer(int answer)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_answer = answer;
    }
    std::vector<Box> boxes() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_boxes;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Box> m_boxes;
    int m_answer;
};
