// Stand-ins for handing work to the desktop: documents and addresses go to
// xdg-open, programs are started directly. Both use posix_spawn with an
// argument vector, never a shell command line, and neither waits: a thread
// of its own reaps the child when it ends.
#pragma once

#include <string>
#include <vector>

// Opens a file or an address with the desktop's default handler. False when
// xdg-open cannot be started (its own outcome is not reported).
bool ShellOpen(const std::string& target);

// Starts `program` (a path) with `arguments`; false when it cannot be started.
bool StartProgram(const std::string& program, const std::vector<std::string>& arguments);
