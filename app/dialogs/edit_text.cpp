#include "app/dialogs/edit_text.h"

#include <QTextDocument>

QString CrLfToEditText(const QString& stored)
{
    QString text;
    text.reserve(stored.size());
    for (const QChar ch : stored)
    {
        if (ch != u'\r')
            text.append(ch);
    }
    return text;
}

QString EditTextToCrLf(const QString& edited)
{
    QString stored;
    stored.reserve(edited.size() + edited.count(u'\n'));
    for (const QChar ch : edited)
    {
        // A Qt edit reports every line break as LF: each one the user typed
        // or pasted is a line of the text, kept as CR LF. A CR outside a
        // CR LF pair is no line break and is dropped.
        if (ch == u'\n')
            stored.append(QStringLiteral("\r\n"));
        else if (ch != u'\r')
            stored.append(ch);
    }
    return stored;
}

QString TypedText(const QTextDocument& document)
{
    QString text = document.toRawText();
    for (QChar& ch : text)
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
            ch = u'\n';
    return text;
}
