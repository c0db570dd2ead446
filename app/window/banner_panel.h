// The banner panel of the rebar (dialog 133): the maker's banner page in an
// HTML control, and the drop target that takes links dragged onto it.
#pragma once

#include <QObject>
#include <QWidget>

#include <functional>
#include <string>

class CHtmlCtrl;
class QMimeData;

// The address a drop carries: the first address of a text/uri-list, else
// the plain text, trimmed; empty when there is neither.
std::string DroppedAddress(const QMimeData& data);

// Takes links dropped anywhere on a widget, its children included (the web
// control's own widgets would otherwise navigate to the link).
class CLinkDropTarget : public QObject
{
    Q_OBJECT
public:
    explicit CLinkDropTarget(QObject* parent = nullptr);

    // False when there is no widget to register on.
    bool Register(QWidget* widget);
    void Revoke();
    void SetCallback(std::function<void(const std::string&)> callback)
    {
        m_callback = std::move(callback);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QObject* object);

    QWidget* m_widget = nullptr;
    std::function<void(const std::string&)> m_callback;
};

class CBannerPanel : public QWidget
{
    Q_OBJECT
public:
    explicit CBannerPanel(QWidget* parent = nullptr);

    // Puts the HTML control in the place of static 1022; the page comes with
    // LoadPage, so it does not compete with the first page of the panel.
    void OnInitDialog(const std::string& pageAddress);
    // Loads the banner page, once.
    void LoadPage();
    CHtmlCtrl* HtmlCtrl() const { return m_html; }

signals:
    // An "app:" link of the banner page asked for a command.
    void commandRequested(unsigned command);

protected:
    bool event(QEvent* event) override;

private:
    CHtmlCtrl* m_html = nullptr;
    QString m_pageAddress;
};
