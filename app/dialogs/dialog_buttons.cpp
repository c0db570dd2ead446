#include "app/dialogs/dialog_buttons.h"

#include "app/dialogs/dialog_ids.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QHBoxLayout* MakeOkCancelRow(QDialog& dialog)
{
    auto* ok = new QPushButton(QStringLiteral("确定"), &dialog);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), &dialog);
    cancel->setObjectName(QString::number(IDC_CANCEL));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QLineEdit* MakeLabelledEditLayout(QDialog& dialog, const QString& label, int editId)
{
    auto* text = new QLabel(label, &dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QString::number(editId));
    text->setBuddy(edit);

    auto* row = new QHBoxLayout;
    row->addWidget(text);
    row->addWidget(edit, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addStretch();
    layout->addLayout(MakeOkCancelRow(dialog));
    return edit;
}
