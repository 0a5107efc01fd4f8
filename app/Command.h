#pragma once

#include "CommandLine.h"

// The program's commands that run without a window and never hand over to a
// running wizard: --probe, --help, --version and a bad command line.
class Command
{
public:
    // Creates its own QCoreApplication from argc/argv, prints to standard output
    // (errors to standard error) and returns the exit code: --help and --version
    // 0; --probe 0 found, 1 not found, 2 error; a bad command line 2.
    static int run(const CommandLine::Options &options, int &argc, char **argv);
};
