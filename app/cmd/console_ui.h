// The companion's user interface: message boxes, status texts and notices go
// to standard error, and each is remembered for the item being processed so
// a save can say why an item failed.
#pragma once

#include "acquire/download_worker.h"
#include "acquire/user_interface.h"
#include "platform/message_box.h"

#include <mutex>
#include <string>
#include <vector>

class CConsoleUi : public IMessageBoxHost, public IImportUserInterface, public IDownloadUi
{
public:
    CConsoleUi();
    ~CConsoleUi() override;

    int Show(const std::string& text, const std::string& caption, unsigned type) override;
    void SetStatusText(const std::string& text) override;
    // The companion has no second thread that owns the tree: run in place.
    void RunOnUserInterfaceThread(const std::function<void()>& work) override;
    void ShowNotice(const std::string& text) override;
    void ShowErrorBox(const std::string& text) override;

    // What was reported since the last call, oldest first; clears it.
    std::vector<std::string> TakeReports();

private:
    void Report(const std::string& kind, const std::string& text);

    std::mutex m_lock;
    std::vector<std::string> m_reports;
};
