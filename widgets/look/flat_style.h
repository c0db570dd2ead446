// The program's flat look: buttons, edits, frames and tabs drawn as plain
// rectangles in the desktop's palette, over the Fusion style for the rest.
#pragma once

#include <QProxyStyle>

class QApplication;

class CFlatStyle : public QProxyStyle
{
    Q_OBJECT

public:
    CFlatStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

// Gives the application the flat style; the palette stays the desktop's.
void InstallFlatLook(QApplication& app);
