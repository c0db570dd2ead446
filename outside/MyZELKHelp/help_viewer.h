// The help viewer window: the table of contents of a compiled help file on
// the left, the topic on the right. Pages are served straight from the file
// through the "mzhelp:" scheme of a browser profile of the window's own.
#pragma once

#include "outside/MyZELKHelp/chm_archive.h"

#include <QString>
#include <QWidget>

#include <memory>

class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineProfile;
class QWebEngineView;
class CChmSchemeHandler;

class CHelpViewer : public QWidget
{
    Q_OBJECT
public:
    // Opens `chmPath`; Archive().IsOpen() says whether it could be read.
    CHelpViewer(const QString& chmPath, QWidget* parent);
    ~CHelpViewer() override;

    const QString& ChmPath() const { return m_chmPath; }
    bool IsOpen() const { return m_archive->IsOpen(); }

    // Shows `topic` ("/html_files/..."; empty: the default topic) and selects
    // its entry in the table of contents.
    void ShowTopic(const QString& topic);

private:
    void LoadContents();
    void SelectEntryFor(const QString& topic);

    QString m_chmPath;
    std::shared_ptr<CChmArchive> m_archive;
    QTreeWidget* m_contents = nullptr;
    QWebEngineView* m_topic = nullptr;
    QWebEngineProfile* m_profile = nullptr;
    CChmSchemeHandler* m_handler = nullptr;
};
