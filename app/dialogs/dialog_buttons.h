// The OK and Cancel buttons of the small dialogs, right-aligned in one row.
#pragma once

class QDialog;
class QHBoxLayout;
class QLineEdit;
class QString;

// Makes the two buttons (OK the default), wires them to accept() and
// reject() and returns their row for the caller's layout.
QHBoxLayout* MakeOkCancelRow(QDialog& dialog);

// Lays out the one-line dialogs: a label and its edit (named by its control
// id) in a row, the OK and Cancel row below. Returns the edit.
QLineEdit* MakeLabelledEditLayout(QDialog& dialog, const QString& label, int editId);
