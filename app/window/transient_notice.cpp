#include "app/window/transient_notice.h"

#include "app/dialogs/dialog_units.h"

#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

QString ShownMessageText(const QString& text)
{
    if (text.size() <= kShownTextLength)
        return text;
    qsizetype length = kShownTextLength;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length) + QChar(0x2026);
}

CTransientNotice::CTransientNotice(const QString& text, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("142"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QPlainTextEdit(ShownMessageText(text), this);
    edit->setObjectName(QStringLiteral("1017"));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(edit);
    resize(DialogUnitsToPixels(font(), 200, 40));
}

CTransientNotice* CTransientNotice::Show(const QString& text, QWidget* owner)
{
    auto* notice = new CTransientNotice(text, owner);
    QRect over = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (over.isEmpty())
        if (QScreen* screen = notice->screen())
            over = screen->availableGeometry();
    QRect frame = notice->frameGeometry();
    frame.moveCenter(over.center());
    notice->move(frame.topLeft());
    notice->show();
    notice->repaint();
    QTimer::singleShot(kShowMilliseconds, notice, &QWidget::close);
    return notice;
}
