// The one-second notice (dialog 142): a borderless window with a read-only
// text, centred over the main window, that closes by itself.
#pragma once

#include <QDialog>

// The text as a notice or message box shows it: cut after
// kShownTextLength characters with an ellipsis. Laying out a line of a
// megabyte (a dropped text taken for an address) blocks the window for
// minutes.
constexpr int kShownTextLength = 2048;
QString ShownMessageText(const QString& text);

class CTransientNotice : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kShowMilliseconds = 1000;

    // Shows the notice and returns at once; it closes and deletes itself
    // after kShowMilliseconds. `owner` may be null.
    static CTransientNotice* Show(const QString& text, QWidget* owner);

private:
    CTransientNotice(const QString& text, QWidget* owner);
};
