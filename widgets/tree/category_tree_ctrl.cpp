#include "widgets/tree/category_tree_ctrl.h"

#include <cstdint>

namespace
{

constexpr int kEntryRole = Qt::UserRole;

// The selected image is the one after the entry's own; an index at the top
// of the range (a damaged file) has none after it.
QIcon EntryIcon(const CTreeImageList& images, const CategoryItem& entry)
{
    const int selected = entry.ImageIndex < INT32_MAX ? entry.ImageIndex + 1 : -1;
    return images.Icon(entry.ImageIndex, selected);
}

} // namespace

CCategoryTreeCtrl::CCategoryTreeCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
}

CCategoryTreeCtrl::~CCategoryTreeCtrl()
{
    // The items point at the entries: they go first.
    blockSignals(true);
    clear();
}

bool CCategoryTreeCtrl::CreateImageList(const QList<QPixmap>& images)
{
    m_images.SetImages(images);
    for (int i = 0; i < topLevelItemCount(); ++i)
        UpdateIcons(topLevelItem(i));
    return true;
}

bool CCategoryTreeCtrl::LoadCategories(const std::string& path)
{
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    m_categories = LoadCategoryList(path);
    AddItems(nullptr, m_categories);
    return true;
}

void CCategoryTreeCtrl::AddItems(QTreeWidgetItem* parent, const CategoryList& entries)
{
    for (const auto& entry : entries)
    {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(entry->Name));
        item->setData(0, kEntryRole, QVariant::fromValue(static_cast<void*>(entry.get())));
        if (!m_images.IsEmpty())
            item->setIcon(0, EntryIcon(m_images, *entry));
        AddItems(item, entry->Children);
    }
}

void CCategoryTreeCtrl::UpdateIcons(QTreeWidgetItem* item)
{
    if (const CategoryItem* entry = GetItemEntry(item))
        item->setIcon(0, EntryIcon(m_images, *entry));
    for (int i = 0; i < item->childCount(); ++i)
        UpdateIcons(item->child(i));
}

const CategoryItem* CCategoryTreeCtrl::GetItemEntry(const QTreeWidgetItem* item) const
{
    if (!item)
        return nullptr;
    return static_cast<const CategoryItem*>(item->data(0, kEntryRole).value<void*>());
}

QString CCategoryTreeCtrl::GetItemAddress(const QTreeWidgetItem* item) const
{
    const CategoryItem* entry = GetItemEntry(item);
    return entry ? QString::fromStdString(entry->Url) : QString();
}

void CCategoryTreeCtrl::ShowFirstEntry()
{
    QTreeWidgetItem* first = topLevelItem(0);
    if (!first)
        return;
    first->setExpanded(true);
    setCurrentItem(first);
}

void CCategoryTreeCtrl::OnCurrentItemChanged(QTreeWidgetItem* current)
{
    const CategoryItem* entry = GetItemEntry(current);
    if (!entry)
        return;
    emit SelChanged(entry);
    emit AddressChosen(QString::fromStdString(entry->Url));
}
