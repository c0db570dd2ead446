// Address input dialog: the caller reads m_strInput after exec() returns
// QDialog::Accepted. The text is kept as typed (no trimming, no checks).
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

class CInputDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CInputDlg(QWidget* parent = nullptr);

    void accept() override;

    QString m_strInput;

private:
    QLineEdit* m_edit = nullptr;
};
