// Dialog sizes are given in dialog units: a quarter of the font's average
// character width across, an eighth of its height down.
#pragma once

#include <QSize>

class QFont;
class QWidget;

QSize DialogUnitsToPixels(const QFont& font, int cx, int cy);
// In the units of the widget's own font.
QSize DialogUnitsToPixels(const QWidget& dialog, int cx, int cy);

// Gives `dialog` its size in dialog units, grown where its layout needs more.
void ResizeInDialogUnits(QWidget& dialog, int cx, int cy);
