// MyZELKCmd: the offline core without a window, for scripts (a nightly save
// of a room's topics, a backup) and for tests. It uses the same application
// folder, configuration and database as the program.
#pragma once

#include <iosfwd>

class CMyZELKCore;

// Exit codes scripts can rely on.
enum CompanionExit : int
{
    kExitOk = 0,
    kExitItemFailed = 1, // some item failed, or nothing matched
    kExitUsage = 2,
    kExitStartup = 3, // paths, database or room tree unavailable
};

int RunCompanion(int argc, char** argv);

// Commands, given a started core. Output goes to `out`, one line per item.
int CommandSave(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandList(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandSearch(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandExtract(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandTree(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandClassify(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
int CommandReply(CMyZELKCore& core, int argc, char** argv, std::ostream& out);
