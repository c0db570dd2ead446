// Diagnostic log and error boxes for failures the program survives.
// WriteDebugLog appends "message\n(YYYY-MM-DD hh:mm:ss)\n" to debug.txt in
// the current folder, with CR LF line ends as the log has always had.
#pragma once

#include "platform/com_types.h"

// 0 after the entry is written and flushed; -1 when the log cannot be opened
// (the next call tries again). Safe to call from several threads.
int WriteDebugLog(const char* message);

// "error code : 0x%8.8x\nerror description : %s", "(null)" without a
// description. The buffer belongs to the calling thread and is overwritten
// by its next call.
const char* DescribeComError(const _com_error& error);

// Formats into 2048 bytes and shows an OK box with caption "error".
int ShowErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The log file's name (default "debug.txt", in the current folder); an
// installed copy logs into the user's data folder. Closes an open log.
void SetDebugLogPath(const char* path);
// Test hook: the same.
void SetDebugLogPathForTesting(const char* path);
