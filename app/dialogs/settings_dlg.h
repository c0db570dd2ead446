// Settings dialog: how links that open a new page are opened (LinkOpenMode
// 0 default handler, 1 inside the program, 2 custom program) and the custom
// program's path. Reads the configuration when made; OK stores, Cancel not.
#pragma once

#include <QDialog>

class CAppConfig;
class QLineEdit;
class QRadioButton;

class CSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSettingsDlg(CAppConfig& config, QWidget* parent = nullptr);

    void accept() override;

private:
    void OnBrowse();

    CAppConfig& m_config;
    QRadioButton* m_radioDefault = nullptr;
    QRadioButton* m_radioInside = nullptr;
    QRadioButton* m_radioCustom = nullptr;
    QLineEdit* m_editPath = nullptr;
};
