#include "app/dialogs/input_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CInputDlg::CInputDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(IDD_INPUT));
    setWindowTitle(QStringLiteral("输入对话框"));
    setModal(true);

    auto* label = new QLabel(QStringLiteral("输入网址："), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QString::number(IDC_INPUT_ADDRESS));
    label->setBuddy(m_edit);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch();
    layout->addLayout(MakeOkCancelRow(*this));

    ResizeInDialogUnits(*this, 280, 50);
}

void CInputDlg::accept()
{
    m_strInput = m_edit->text();
    QDialog::accept();
}
