// Dialog sizes are given in dialog units: a quarter of the font's average
// character width across, an eighth of its height down.
#pragma once

#include <QSize>

class QWidget;

QSize DialogUnitsToPixels(const QWidget& dialog, int cx, int cy);

// Gives `dialog` its size in dialog units, grown where its layout needs more.
void ResizeInDialogUnits(QWidget& dialog, int cx, int cy);
