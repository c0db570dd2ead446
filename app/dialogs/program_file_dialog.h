// The file-open dialog that picks the custom program for opening links.
#pragma once

#include <QString>

#include <optional>

class QWidget;

class CProgramFileDialog
{
public:
    // Full path of the chosen file, or empty text when the user cancels.
    // Starts in the folder of `currentPath` when that names one.
    static QString GetProgramFile(QWidget* parent, const QString& currentPath);

    // Test hook: the next GetProgramFile returns `fileName` (empty text
    // stands for a cancel) without showing a dialog. One-shot.
    static void SetNextFileName(std::optional<QString> fileName);
};
