// Runs a program with arguments and extra environment, no shell involved,
// and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

struct ProgramResult
{
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnvironment = {},
                         const std::string& workingDir = {});
