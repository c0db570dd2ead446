#include "app/window/dialog_units.h"

#include <QFontMetrics>

QSize DialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits)
{
    const QFontMetrics metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int charWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int charHeight = metrics.height();
    return QSize(widthUnits * charWidth / 4, heightUnits * charHeight / 8);
}
