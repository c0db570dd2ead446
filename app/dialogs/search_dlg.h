// Off-line search dialogs: OK emits searchRequested with the title fragment
// and the dialog stays open for another search; Cancel closes it.
#pragma once

#include <QDialog>

class QLineEdit;

class CSearchDlg : public QDialog
{
    Q_OBJECT

public:
    CSearchDlg(int resourceId, const QString& title, QWidget* parent);

    // Runs a search and stays open.
    void accept() override;

signals:
    void searchRequested(const QString& fragment);

private:
    QLineEdit* m_edit = nullptr;
};

// Dialog 135: searches the saved forum records.
class CCommunitySearchDlg : public CSearchDlg
{
    Q_OBJECT

public:
    explicit CCommunitySearchDlg(QWidget* parent = nullptr);
};

// Dialog 141: searches the saved articles.
class CDevelopSearchDlg : public CSearchDlg
{
    Q_OBJECT

public:
    explicit CDevelopSearchDlg(QWidget* parent = nullptr);
};
