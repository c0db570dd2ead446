// Signature dialog: edits UserSign, the text appended to forum replies.
// The stored value separates its lines with CR LF.
#pragma once

#include <QDialog>

class CAppConfig;
class QPlainTextEdit;

class CSignDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSignDlg(CAppConfig& config, QWidget* parent = nullptr);

    void accept() override;

private:
    CAppConfig& m_config;
    QPlainTextEdit* m_edit = nullptr;
};
