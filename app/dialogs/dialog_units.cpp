#include "app/dialogs/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

QSize DialogUnitsToPixels(const QWidget& dialog, int cx, int cy)
{
    return DialogUnitsToPixels(dialog.font(), cx, cy);
}

QSize DialogUnitsToPixels(const QFont& font, int cx, int cy)
{
    const QFontMetrics metrics(font);
    // The average over the Latin letters, as dialog templates measure it.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return {(cx * baseX + 2) / 4, (cy * baseY + 4) / 8};
}

void ResizeInDialogUnits(QWidget& dialog, int cx, int cy)
{
    dialog.resize(DialogUnitsToPixels(dialog, cx, cy).expandedTo(dialog.sizeHint()));
}
