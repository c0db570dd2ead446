#include "app/dialogs/program_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace
{
std::optional<QString>& NextFileName()
{
    static std::optional<QString> next;
    return next;
}

constexpr const char* kProgramsFilter = "Execute Files (*)";
constexpr const char* kAllFilesFilter = "All Files (*)";

// Programs here carry no extension, so "Execute Files" lists what may be run
// (the executable bit) instead of a name pattern; folders stay to browse.
// QDir::Executable cannot do this: the dialog's model reads permission
// filters as "hide what has the others".
class CProgramsOnlyProxy : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void SetProgramsOnly(bool programsOnly)
    {
        m_programsOnly = programsOnly;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!m_programsOnly || !files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || files->fileInfo(index).isExecutable();
    }

private:
    bool m_programsOnly = true;
};
} // namespace

void CProgramFileDialog::SetNextFileName(std::optional<QString> fileName)
{
    NextFileName() = std::move(fileName);
}

QString CProgramFileDialog::GetProgramFile(QWidget* parent, const QString& currentPath)
{
    if (NextFileName())
    {
        QString fileName = *NextFileName();
        NextFileName().reset();
        return fileName;
    }

    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog: the platform's would not take the program filter.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* proxy = new CProgramsOnlyProxy(&dialog);
    dialog.setProxyModel(proxy);
    dialog.setNameFilters(
        {QString::fromLatin1(kProgramsFilter), QString::fromLatin1(kAllFilesFilter)});
    QObject::connect(&dialog, &QFileDialog::filterSelected, proxy,
                     [proxy](const QString& filter)
                     { proxy->SetProgramsOnly(filter == QLatin1String(kProgramsFilter)); });
    const QFileInfo current(currentPath);
    if (current.isAbsolute() && current.absoluteDir().exists())
    {
        dialog.setDirectory(current.absolutePath());
        if (current.isFile())
            dialog.selectFile(current.fileName());
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
