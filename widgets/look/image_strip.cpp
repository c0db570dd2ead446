#include "widgets/look/image_strip.h"

#include <QImage>

QList<QPixmap> LoadImageStrip(const QString& resource, int size, QColor mask)
{
    QList<QPixmap> images;
    QImage strip(resource);
    if (strip.isNull() || size <= 0 || strip.height() < size)
        return images;

    strip = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask.rgb() & RGB_MASK;
    for (int y = 0; y < strip.height(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x)
        {
            if ((line[x] & RGB_MASK) == key)
                line[x] = 0;
        }
    }

    const int count = strip.width() / size;
    images.reserve(count);
    for (int i = 0; i < count; ++i)
        images.append(QPixmap::fromImage(strip.copy(i * size, 0, size, size)));
    return images;
}

QList<QIcon> LoadIconStrip(const QString& resource, int size, QColor mask)
{
    QList<QIcon> icons;
    for (const QPixmap& image : LoadImageStrip(resource, size, mask))
        icons.append(QIcon(image));
    return icons;
}
