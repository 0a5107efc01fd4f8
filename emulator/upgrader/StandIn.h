#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The stand-in upgrade program apart from its entry point: records how it was
// started, then plays its scenario against the tool (see README.md). The entry
// point of each system (main_unix.cpp, main_win.cpp) gathers the facts of the
// start; everything here is the same on every system.
class StandIn
{
public:
    // What the process was given, as the system reports it (texts in UTF-8).
    struct Launch
    {
        std::string variant;                  // "RT48PX_4K" or "RT48PX"
        std::vector<std::string> arguments;   // without the program itself
        long long processId = 0;
        std::string folder;                   // the working folder
        std::string output;                   // where standard output goes (empty: not recorded)
        std::string errors;                   // where standard error goes
        // The value of an environment variable; nullopt when it is not set.
        std::function<std::optional<std::string>(const std::string &)> environment;
    };

    // Runs the whole program; returns its exit code: 0 when the steps ran out,
    // 1 when the tool was not there or went away, 2 for a scenario it could not
    // parse.
    static int run(const Launch &launch);

    // The scenario text for `variant`: UPVANE_UPGRADER_SCENARIO_<variant>, else
    // UPVANE_UPGRADER_SCENARIO, else "normal".
    static std::string scenarioText(const Launch &launch);
};
