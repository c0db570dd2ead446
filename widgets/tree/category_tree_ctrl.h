// The left bar's online category list: a read-only tree of links into the
// service, loaded from Online.xml. Selecting an entry reports its address;
// the owner opens it (in the browser panel or outside, by its link mode).
#pragma once

#include "widgets/tree/category_list.h"
#include "widgets/tree/tree_image_list.h"

#include <QTreeWidget>

#include <string>

class CCategoryTreeCtrl : public QTreeWidget
{
    Q_OBJECT

public:
    explicit CCategoryTreeCtrl(QWidget* parent = nullptr);
    ~CCategoryTreeCtrl() override;

    // The images entries name by index (selected: index + 1). True always.
    bool CreateImageList(const QList<QPixmap>& images);
    // Reads the file and fills the tree, replacing what was there. A missing
    // or malformed file leaves the list empty. True always.
    bool LoadCategories(const std::string& path);
    const CategoryList& GetCategories() const { return m_categories; }

    // The entry shown by an item, or null.
    const CategoryItem* GetItemEntry(const QTreeWidgetItem* item) const;
    // The entry's address, empty when the item has none.
    QString GetItemAddress(const QTreeWidgetItem* item) const;
    // Expands the first top-level entry and selects it (which reports it).
    void ShowFirstEntry();

signals:
    // ETN_SELCHANGED: the selection moved to an item with an entry.
    void SelChanged(const CategoryItem* entry);
    // The same moment, with the entry's address (possibly empty) to open.
    void AddressChosen(const QString& address);

private:
    void AddItems(QTreeWidgetItem* parent, const CategoryList& entries);
    void UpdateIcons(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);

    CategoryList m_categories;
    CTreeImageList m_images;
};
