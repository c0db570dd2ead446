// The OK and Cancel buttons of the small dialogs, right-aligned in one row.
#pragma once

class QDialog;
class QHBoxLayout;

// Makes the two buttons (OK the default), wires them to accept() and
// reject() and returns their row for the caller's layout.
QHBoxLayout* MakeOkCancelRow(QDialog& dialog);
