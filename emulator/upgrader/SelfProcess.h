#pragma once

#include <string>
#include <vector>

// What the stand-in upgrade program does to its own process, per system
// (SelfProcess_unix.cpp, SelfProcess_win.cpp).
class SelfProcess
{
public:
    // Ends this process at once, as a crash would: killed by the system, with no
    // exit code of its own and no clean-up.
    [[noreturn]] static void crash();

    // Starts a copy of this program with `arguments` (without the program itself)
    // in the same working folder, with `variable` set to `value` in its
    // environment. The copy stays where the system puts a program's children: in
    // this session (Linux) or in this job (Windows). Returns its process id, or -1
    // when it could not be started.
    static long long startCopy(const std::vector<std::string> &arguments, const std::string &variable,
                               const std::string &value);
};
