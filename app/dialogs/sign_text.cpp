#include "app/dialogs/sign_text.h"

QString SignToEditText(const QString& stored)
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

QString SignFromEditText(const QString& edited)
{
    QString stored;
    stored.reserve(edited.size() + edited.count(u'\n'));
    for (const QChar ch : edited)
    {
        // A Qt edit reports every line break as LF: each one the user typed
        // or pasted is a line of the signature, kept as CR LF. A CR outside a
        // CR LF pair is no line break and is dropped.
        if (ch == u'\n')
            stored.append(QStringLiteral("\r\n"));
        else if (ch != u'\r')
            stored.append(ch);
    }
    return stored;
}
