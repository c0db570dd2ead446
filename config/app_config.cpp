#include "config/app_config.h"

#include "base/xml_helpers.h"
#include "platform/text.h"

CAppConfig::CAppConfig() : CConfigStore(u"LQConfigure") {}

CAppConfig::CAppConfig(std::u16string rootName) : CConfigStore(std::move(rootName)) {}

std::string CAppConfig::GetText(std::u16string_view key) const
{
    std::u16string value;
    return GetValue(key, value) ? Utf8FromUtf16(value) : std::string();
}

void CAppConfig::SetText(std::u16string_view key, std::string_view value)
{
    SetValue(key, Utf16FromUtf8(value));
}

int CAppConfig::GetInt(std::u16string_view key) const
{
    std::u16string value;
    return GetValue(key, value) ? AtoiWide(value) : 0;
}

void CAppConfig::SetInt(std::u16string_view key, int value)
{
    SetValue(key, _variant_t(static_cast<std::int32_t>(value)));
}

#define MYZELK_TEXT_KEY(Key)                                                                       \
    std::string CAppConfig::Get##Key() const                                                       \
    {                                                                                              \
        return GetText(u## #Key);                                                                  \
    }                                                                                              \
    void CAppConfig::Set##Key(std::string_view value)                                              \
    {                                                                                              \
        SetText(u## #Key, value);                                                                  \
    }

#define MYZELK_INT_KEY(Key)                                                                        \
    int CAppConfig::Get##Key() const                                                               \
    {                                                                                              \
        return GetInt(u## #Key);                                                                   \
    }                                                                                              \
    void CAppConfig::Set##Key(int value)                                                           \
    {                                                                                              \
        SetInt(u## #Key, value);                                                                   \
    }

MYZELK_TEXT_KEY(HostForCommunity)
MYZELK_TEXT_KEY(HostForDevelop)
MYZELK_TEXT_KEY(HostForFullSearchCommunity)
MYZELK_TEXT_KEY(LastUpdateTime)
MYZELK_TEXT_KEY(LinkOpenCustomPath)
MYZELK_TEXT_KEY(UserSign)
MYZELK_INT_KEY(LinkOpenMode)
MYZELK_INT_KEY(IsShowToolBar)
MYZELK_INT_KEY(ToolBarIsBigIcon)
MYZELK_INT_KEY(IsShowStatusBar)
