// Dialog sizes are given in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down.
#pragma once

#include <QSize>

class QFont;

QSize DialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits);
