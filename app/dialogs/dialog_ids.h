// Resource and control identifiers of the small dialogs. Each dialog carries
// its resource id as its objectName ("134"), each control its control id
// ("1006"); OK and Cancel are "1" and "2", as the classic IDOK and IDCANCEL.
#pragma once

constexpr int IDD_SETTINGS = 134;
constexpr int IDD_COMMUNITY_SEARCH = 135;
constexpr int IDD_INPUT = 136;
constexpr int IDD_SIGN = 139;
constexpr int IDD_REPLY = 140;
constexpr int IDD_DEVELOP_SEARCH = 141;

constexpr int IDC_OK = 1;
constexpr int IDC_CANCEL = 2;

constexpr int IDC_LINK_DEFAULT = 1003;
constexpr int IDC_LINK_INSIDE = 1004;
constexpr int IDC_LINK_CUSTOM = 1005;
constexpr int IDC_LINK_CUSTOM_PATH = 1006;
constexpr int IDC_LINK_BROWSE = 1007;
constexpr int IDC_SEARCH_TITLE = 1009;
constexpr int IDC_SIGN_TEXT = 1014;
constexpr int IDC_REPLY_TEXT = 1015;
constexpr int IDC_INPUT_ADDRESS = 23002;
