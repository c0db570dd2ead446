// The images of a tree control: a list of equally sized pixmaps addressed by
// index, as the owner cut them from its bitmap strip. An item shows one image
// normally and another while it is selected.
#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPixmap>

class CTreeImageList
{
public:
    void SetImages(const QList<QPixmap>& images);
    bool IsEmpty() const { return m_images.isEmpty(); }
    qsizetype Count() const { return m_images.size(); }
    // The icon of an item; an index outside the list draws nothing.
    QIcon Icon(int image, int selectedImage) const;

private:
    QList<QPixmap> m_images;
    mutable QHash<QPair<int, int>, QIcon> m_icons;
};
