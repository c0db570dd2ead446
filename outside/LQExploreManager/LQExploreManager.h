// The browser panel: a window of tabs, one web page each, over Qt WebEngine
// with a persistent profile, so sign-ins and the cache survive a restart.
// The program links the module at load time and uses the panel only through
// its virtual operations, whose order is fixed (a caller relies on it);
// window handles are QWidget pointers.
//
// Every cookie the panel holds is mirrored into the Qt-free cookie store of
// platform/net/cookie_store.h and saved to cookies.txt in the profile
// folder, where the downloads, the reply poster and the companion read it.
//
// When MYZELK_HOSTS overrides the built-in host names (base/builtin_hosts.h),
// every http request for a built-in name on the default port is redirected
// to the overriding host and port (base/host_mapping.h), so the pages and
// links of the real service's names reach the other service.
#pragma once

#define LQEXPLOREMANAGER_API __attribute__((visibility("default")))

class QWidget;

// Notifications to the owner: called with the owner window and a code.
using LQExploreCallback = int (*)(QWidget* owner, int code);

// A right click in a page (the panel shows no menu of its own).
constexpr int kExploreRightClick = -5;
// A page of the panel finished loading, whether it loaded or failed.
constexpr int kExploreLoadFinished = -6;

class LQEXPLOREMANAGER_API CLQExploreManager
{
public:
    // Creates the panel as a child of `parent`, with one empty tab. The
    // module file name is that of the module as the caller knows it; the
    // panel finds its own file by itself. Never null.
    static CLQExploreManager* CreateInstance(const char* moduleFile, QWidget* parent);

    // The folder of the persistent profile for panels created afterwards;
    // null or empty restores the default, BrowserProfile in the module's own
    // folder (the application folder). The profile is shared by the panels
    // that exist at the same time.
    static void SetProfileFolder(const char* folder);

    // 0: ends and frees the panel (its window too, unless it is already gone
    // with its parent).
    virtual void Release() = 0;
    // 1: opens the address (a web address, a file: address or an absolute
    // path) in the tab number `tab`, -1 for the current tab, or in a new tab
    // when `newTab` is non-zero. The view passes (address, 0, -1).
    virtual void Navigate(const char* address, int newTab = 0, int tab = -1) = 0;
    // 2: the current tab, null when there is none. With a buffer of 1024
    // bytes, fills it with the tab's address (URL-encoded, so never cut
    // inside a character; empty when there is no tab). The tab stays open
    // until the query ends with operation 3 or 5, even when its page asks
    // to close it meanwhile.
    virtual QWidget* GetCurrentPage(char* buffer = nullptr) = 0;
    // 3: closes that tab (the view's close command); a handle that is not a
    // tab of this panel is ignored.
    virtual void ClosePage(QWidget* page) = 0;
    // 4: not used.
    virtual void Unused4() = 0;
    // 5: ends the query of operation 2 without closing the tab.
    virtual void EndQuery(QWidget* page) = 0;
    // 6: registers the owner and its callback; a right click in a page
    // calls callback(owner, kExploreRightClick).
    virtual void SetOwner(QWidget* owner, LQExploreCallback callback) = 0;
    // 7: places the panel in its parent.
    virtual void Move(int x, int y, int width, int height) = 0;
    // 8: hides (0) or shows (non-zero) the panel.
    virtual void Show(int show) = 0;
    // 9 to 12, on the current tab.
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;

protected:
    CLQExploreManager() = default;
    // Not virtual: a virtual destructor would take table entries. Release()
    // is the way to end a panel.
    ~CLQExploreManager() = default;
};
