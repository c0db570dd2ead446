#include "app/dialogs/sign_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"
#include "app/dialogs/sign_text.h"
#include "config/app_config.h"

#include <QPlainTextEdit>
#include <QTextDocument>
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
    m_edit->setPlainText(SignToEditText(QString::fromStdString(m_config.GetUserSign())));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit, 1);
    layout->addLayout(MakeOkCancelRow(*this));

    ResizeInDialogUnits(*this, 240, 120);
}

void CSignDlg::accept()
{
    // The raw text, as toPlainText() would turn no-break spaces into spaces;
    // its line breaks (Return, Shift+Return) become LF as there.
    QString text = m_edit->document()->toRawText();
    for (QChar& ch : text)
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
            ch = u'\n';
    m_config.SetUserSign(SignFromEditText(text).toStdString());
    QDialog::accept();
}
