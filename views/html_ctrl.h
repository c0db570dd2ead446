// A small web control for dialogs and bars (the advertisement bar shows the
// maker's banner page in it), put in the place of a placeholder control.
//
// Links to "app:NAME" (the four letters in any case) are commands of the
// program, not addresses: the control cancels the navigation and posts a
// CHtmlCommandEvent with the command id that its command map gives NAME to
// its parent widget, which handles it like a menu command. Control
// identifiers are object names: the control with id 1022 is the child whose
// objectName() is "1022".
#pragma once

#include <QEvent>
#include <QString>
#include <QWebEngineView>

#include <string>

class QWebEngineLoadingInfo;

// One command reachable through "app:" links; a map ends with a null name.
struct HtmlCtrlCommand
{
    const char* name; // UTF-8, compared ignoring case
    unsigned int id;  // command id
};

// Posted to the control's parent for each command an "app:" link names.
class CHtmlCommandEvent : public QEvent
{
public:
    explicit CHtmlCommandEvent(unsigned int commandId);
    static QEvent::Type EventType();
    unsigned int CommandId() const { return m_commandId; }

private:
    unsigned int m_commandId;
};

class CHtmlCtrl : public QWebEngineView
{
    Q_OBJECT
public:
    explicit CHtmlCtrl(QWidget* parent = nullptr);

    // Takes the place of the direct child of `parent` whose id is `id`: the
    // same id, geometry (and place in a layout), shown. The placeholder is
    // deleted. False, and nothing done, when there is no such child.
    bool CreateFromStatic(int id, QWidget* parent);

    // Borrowed: the array must outlive the control.
    void SetCmdMap(const HtmlCtrlCommand* map) { m_pCmdMap = map; }
    // Right clicks in the page show no menu; the parent gets the context
    // request (a QContextMenuEvent in its own coordinates) instead.
    void SetHideContextMenu(bool hide) { m_bHideContextMenu = hide; }
    // Hide the control when a page cannot be reached, rather than show the
    // browser's error page.
    void SetHideWhenCancelled(bool hide) { m_bHideWhenCancelled = hide; }
    // Whether the last navigation ended because its page could not be
    // reached (no network, no server); cleared by each new navigation.
    bool IsNavigationCancelled() const { return m_bNavigationCancelled; }

    // The address of the document shown; empty when there is none.
    QString GetDocumentUrl() const;

    // `command` is what follows "app:" (percent-decoded). The default posts
    // the id of every entry of the command map whose name matches.
    virtual void OnAppCmd(const QString& command);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class CHtmlCtrlPage;
    bool BeforeNavigate(const QUrl& url);
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);

    const HtmlCtrlCommand* m_pCmdMap = nullptr;
    bool m_bHideContextMenu = false;
    bool m_bNavigationCancelled = false;
    bool m_bHideWhenCancelled = false;
};

// The maker's advertisement page, which the advertisement bar shows: a page
// of the community site ("host[:port]").
std::string AdvertisementPageAddress(const std::string& communityHost);
