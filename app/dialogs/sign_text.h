// Line breaks of the stored signature (CR LF) against those of a Qt text
// edit (LF for every break).
#pragma once

#include <QString>

// Stored text -> edit text: each CR LF (or lone LF) becomes LF; lone CRs go.
QString SignToEditText(const QString& stored);
// Edit text -> stored text: each line break (LF or CR LF) becomes CR LF;
// stray lone CRs are dropped.
QString SignFromEditText(const QString& edited);
