// Real input and page queries for the web tests under Xvfb: clicks are X
// events made by xdotool, so they take the way a user's click takes
// (through the X server, Qt and Chromium's render widget).
#pragma once

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPoint>
#include <QProcess>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWidget>

#include <memory>

// Moves the pointer to `local` in `widget` and clicks `button` (1 left,
// 3 right); true when xdotool did it.
inline bool XClick(QWidget* widget, QPoint local, int button)
{
    const QPoint global = widget->mapToGlobal(local);
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                              QString::number(global.x()), QString::number(global.y()),
                              QStringLiteral("click"), QString::number(button)}) == 0;
}

// The script's result; an invalid QVariant when none came within 10 s.
inline QVariant RunScript(QWebEnginePage* page, const QString& script)
{
    struct State
    {
        QVariant value;
        bool done = false;
        QEventLoop loop;
    };
    auto state = std::make_shared<State>();
    page->runJavaScript(script,
                        [state](const QVariant& v)
                        {
                            state->value = v;
                            state->done = true;
                            state->loop.quit();
                        });
    if (!state->done)
    {
        QTimer::singleShot(10000, &state->loop, &QEventLoop::quit);
        state->loop.exec();
    }
    return state->value;
}

// The middle of the element with that id, in the view's coordinates;
// (-1, -1) when there is no such element.
inline QPoint ElementCentre(QWebEnginePage* page, const QString& id)
{
    const QVariant json = RunScript(
        page, QStringLiteral("(function(){var e=document.getElementById('%1');if(!e)return '';"
                             "var r=e.getBoundingClientRect();"
                             "return JSON.stringify({x:r.left+r.width/2,y:r.top+r.height/2});})()")
                  .arg(id));
    const QJsonObject o = QJsonDocument::fromJson(json.toString().toUtf8()).object();
    if (o.isEmpty())
        return {-1, -1};
    return {qRound(o.value("x").toDouble()), qRound(o.value("y").toDouble())};
}

inline QString PageText(QWebEnginePage* page)
{
    return RunScript(page, QStringLiteral("document.body ? document.body.innerText : ''"))
        .toString();
}
