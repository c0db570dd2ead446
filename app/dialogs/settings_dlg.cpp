#include "app/dialogs/settings_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"
#include "app/dialogs/program_file_dialog.h"
#include "config/app_config.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace
{
constexpr int kModeDefault = 0;
constexpr int kModeInside = 1;
constexpr int kModeCustom = 2;

QString IdName(int id)
{
    return QString::number(id);
}
} // namespace

CSettingsDlg::CSettingsDlg(CAppConfig& config, QWidget* parent) : QDialog(parent), m_config(config)
{
    setObjectName(IdName(IDD_SETTINGS));
    setWindowTitle(QStringLiteral("系统设置对话框"));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("新页面链接打开方式"), this);
    // Radio buttons sharing a parent exclude each other, as auto radio buttons do.
    m_radioDefault = new QRadioButton(QStringLiteral("默认"), group);
    m_radioDefault->setObjectName(IdName(IDC_LINK_DEFAULT));
    m_radioInside = new QRadioButton(QStringLiteral("MyZELK"), group);
    m_radioInside->setObjectName(IdName(IDC_LINK_INSIDE));
    m_radioCustom = new QRadioButton(QStringLiteral("自定义"), group);
    m_radioCustom->setObjectName(IdName(IDC_LINK_CUSTOM));
    m_editPath = new QLineEdit(group);
    m_editPath->setObjectName(IdName(IDC_LINK_CUSTOM_PATH));
    auto* browse = new QPushButton(QStringLiteral("..."), group);
    browse->setObjectName(IdName(IDC_LINK_BROWSE));
    browse->setAutoDefault(false);
    browse->setFixedWidth(DialogUnitsToPixels(*this, 18, 0).width());

    auto* radios = new QHBoxLayout;
    radios->addWidget(m_radioDefault);
    radios->addWidget(m_radioInside);
    radios->addWidget(m_radioCustom);
    radios->addStretch();
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_editPath, 1);
    pathRow->addWidget(browse);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(radios);
    groupLayout->addLayout(pathRow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    layout->addLayout(MakeOkCancelRow(*this));

    connect(browse, &QPushButton::clicked, this, &CSettingsDlg::OnBrowse);

    m_editPath->setText(QString::fromStdString(m_config.GetLinkOpenCustomPath()));
    switch (m_config.GetLinkOpenMode())
    {
    case kModeInside:
        m_radioInside->setChecked(true);
        break;
    case kModeCustom:
        m_radioCustom->setChecked(true);
        break;
    default:
        m_radioDefault->setChecked(true);
        break;
    }

    ResizeInDialogUnits(*this, 240, 90);
}

void CSettingsDlg::OnBrowse()
{
    const QString fileName = CProgramFileDialog::GetProgramFile(this, m_editPath->text());
    if (!fileName.isEmpty())
        m_editPath->setText(fileName);
}

void CSettingsDlg::accept()
{
    int mode = kModeDefault;
    if (m_radioInside->isChecked())
    {
        mode = kModeInside;
    }
    else if (m_radioCustom->isChecked())
    {
        // The path is kept only with the custom mode.
        m_config.SetLinkOpenCustomPath(m_editPath->text().toStdString());
        mode = kModeCustom;
    }
    m_config.SetLinkOpenMode(mode);
    QDialog::accept();
}
