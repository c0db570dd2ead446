// Typed accessors for every key the program reads or writes. Narrow text is
// UTF-8; absent text keys read as empty text, absent integer keys as 0.
#pragma once

#include "config/config_store.h"

#include <string>
#include <string_view>

class CAppConfig : public CConfigStore
{
public:
    CAppConfig(); // root name "LQConfigure"
    explicit CAppConfig(std::u16string rootName);

    std::string GetHostForCommunity() const;
    void SetHostForCommunity(std::string_view value);
    std::string GetHostForDevelop() const;
    void SetHostForDevelop(std::string_view value);
    std::string GetHostForFullSearchCommunity() const;
    void SetHostForFullSearchCommunity(std::string_view value);
    // Local time as "%Y-%m-%d %H:%M:%S".
    std::string GetLastUpdateTime() const;
    void SetLastUpdateTime(std::string_view value);
    std::string GetLinkOpenCustomPath() const;
    void SetLinkOpenCustomPath(std::string_view value);
    // May hold several lines (CR LF).
    std::string GetUserSign() const;
    void SetUserSign(std::string_view value);

    // 0 default browser, 1 inside the program, 2 custom program.
    int GetLinkOpenMode() const;
    void SetLinkOpenMode(int value);
    int GetIsShowToolBar() const;
    void SetIsShowToolBar(int value);
    int GetToolBarIsBigIcon() const;
    void SetToolBarIsBigIcon(int value);
    int GetIsShowStatusBar() const;
    void SetIsShowStatusBar(int value);

private:
    std::string GetText(std::u16string_view key) const;
    void SetText(std::u16string_view key, std::string_view value);
    int GetInt(std::u16string_view key) const;
    void SetInt(std::u16string_view key, int value);
};
