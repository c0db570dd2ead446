// Line breaks of stored texts (CR LF: the signature, a reply) against those
// of a Qt text edit (LF for every break).
#pragma once

#include <QString>

class QTextDocument;

// Stored text -> edit text: each CR LF (or lone LF) becomes LF; lone CRs go.
QString CrLfToEditText(const QString& stored);
// Edit text -> stored text: each line break (LF or CR LF) becomes CR LF;
// stray lone CRs are dropped.
QString EditTextToCrLf(const QString& edited);
// What the user typed, as raw text: toPlainText() would turn no-break
// spaces into spaces. Every line break (Return, Shift+Return) is an LF.
QString TypedText(const QTextDocument& document);
