#include "app/cmd/console_ui.h"

#include <cstdio>

CConsoleUi::CConsoleUi()
{
    SetMessageBoxHost(this);
}

CConsoleUi::~CConsoleUi()
{
    SetMessageBoxHost(nullptr);
}

void CConsoleUi::Report(const std::string& kind, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::fprintf(stderr, "%s: %s\n", kind.c_str(), text.c_str());
    m_reports.push_back(text);
}

int CConsoleUi::Show(const std::string& text, const std::string& caption, unsigned type)
{
    Report(caption.empty() ? "message" : caption, text);
    // No one can answer: questions take their safe answer.
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

void CConsoleUi::SetStatusText(const std::string& text)
{
    Report("status", text);
}

void CConsoleUi::RunOnUserInterfaceThread(const std::function<void()>& work)
{
    work();
}

void CConsoleUi::ShowNotice(const std::string& text)
{
    Report("notice", text);
}

void CConsoleUi::ShowErrorBox(const std::string& text)
{
    Report("error", text);
}

std::vector<std::string> CConsoleUi::TakeReports()
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::string> out;
    out.swap(m_reports);
    return out;
}
