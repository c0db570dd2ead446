#include "widgets/tree/tree_image_list.h"

void CTreeImageList::SetImages(const QList<QPixmap>& images)
{
    m_images = images;
    m_icons.clear();
}

QIcon CTreeImageList::Icon(int image, int selectedImage) const
{
    const QPair<int, int> key(image, selectedImage);
    const auto cached = m_icons.constFind(key);
    if (cached != m_icons.constEnd())
        return *cached;

    QIcon icon;
    if (image >= 0 && image < m_images.size())
        icon.addPixmap(m_images[image], QIcon::Normal);
    if (selectedImage >= 0 && selectedImage < m_images.size())
        icon.addPixmap(m_images[selectedImage], QIcon::Selected);
    m_icons.insert(key, icon);
    return icon;
}
