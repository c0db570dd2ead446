#include "app/dialogs/input_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"

#include <QLineEdit>

CInputDlg::CInputDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(IDD_INPUT));
    setWindowTitle(QStringLiteral("输入对话框"));
    setModal(true);

    m_edit = MakeLabelledEditLayout(*this, QStringLiteral("输入网址："), IDC_INPUT_ADDRESS);

    ResizeInDialogUnits(*this, 280, 50);
}

void CInputDlg::accept()
{
    m_strInput = m_edit->text();
    QDialog::accept();
}
