#include "app/dialogs/sign_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"
#include "app/dialogs/edit_text.h"
#include "config/app_config.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

CSignDlg::CSignDlg(CAppConfig& config, QWidget* parent) : QDialog(parent), m_config(config)
{
    setObjectName(QString::number(IDD_SIGN));
    setWindowTitle(QStringLiteral("签名设置对话框"));
    setModal(true);

    // Return starts a new line here; the edit keeps it from the OK button.
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QString::number(IDC_SIGN_TEXT));
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setTabChangesFocus(true);
    m_edit->setPlainText(CrLfToEditText(QString::fromStdString(m_config.GetUserSign())));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit, 1);
    layout->addLayout(MakeOkCancelRow(*this));

    ResizeInDialogUnits(*this, 240, 120);
}

void CSignDlg::accept()
{
    m_config.SetUserSign(EditTextToCrLf(TypedText(*m_edit->document())).toStdString());
    QDialog::accept();
}
