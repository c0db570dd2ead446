#include "app/dialogs/search_dlg.h"

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/dialog_ids.h"
#include "app/dialogs/dialog_units.h"

#include <QLineEdit>

CSearchDlg::CSearchDlg(int resourceId, const QString& title, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(resourceId));
    setWindowTitle(title);
    setModal(true);

    m_edit = MakeLabelledEditLayout(*this, QStringLiteral("标题中含有："), IDC_SEARCH_TITLE);

    ResizeInDialogUnits(*this, 220, 50);
}

void CSearchDlg::accept()
{
    // No QDialog::accept(): the dialog stays open for the next fragment.
    emit searchRequested(m_edit->text());
}

CCommunitySearchDlg::CCommunitySearchDlg(QWidget* parent)
    : CSearchDlg(IDD_COMMUNITY_SEARCH, QStringLiteral("离线社区数据搜索对话框"), parent)
{
}

CDevelopSearchDlg::CDevelopSearchDlg(QWidget* parent)
    : CSearchDlg(IDD_DEVELOP_SEARCH, QStringLiteral("离线文档数据搜索对话框"), parent)
{
}
