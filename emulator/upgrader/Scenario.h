#pragma once

#include <string>
#include <utility>
#include <vector>

// What the stand-in upgrade program does, step by step, parsed from a scenario
// text (see README.md): blank-separated steps, run one after another.
//   <code>          send the status code (decimal text); 3 and 4 then wait for the
//                   tool's reply
//   hex:<bytes>     send these bytes as they are (hex digits; "hex:" sends nothing
//                   counted), no reply awaited
//   a+b+...         send several of the two above back to back, in one write,
//                   then wait for the replies owed
//   pause:<ms>      wait
//   freeze:<ms>     wait without taking any message from the tool (a hung
//                   program: the tool's replies meanwhile are not received)
//   await:<file>    wait until the file exists (up to 60 s), then go on
//   hang            stay connected and silent until the tool goes away
//   exit            end at once, without another word
//   crash           end at once, killed, without another word
//   flash           make the emulated RT48PX report the version this copy
//                   brings (through the emulator's control channel)
//   child           hand the remaining steps to a copy of this program that it
//                   starts (in its session, or on Windows its job) and end at once
// or one of the preset names (presets()). Plain C++: the Windows stand-in runs
// from the application-data folder with no Qt beside it.
class Scenario
{
public:
    struct Step
    {
        enum Kind { Send, Pause, Freeze, Await, Hang, Exit, Crash, Child, Flash };
        Kind kind = Send;
        std::vector<std::string> messages;   // Send: the texts sent back to back (bytes)
        std::vector<bool> replyOwed;         // Send: per text, whether the tool owes a reply (codes 3, 4)
        int milliseconds = 0;                // Pause, Freeze
        std::string rest;                    // Child: the scenario text after it; Await: the file
    };

    // The presets and the scenario text each stands for.
    static std::vector<std::pair<std::string, std::string>> presets();

    // Parses a preset name or a scenario text. Returns false with `error` set (the
    // offending step) when a step is not understood; `steps` is then incomplete.
    static bool parse(const std::string &text, std::vector<Step> *steps, std::string *error);

    // Whether `reply` is what the tool must answer to `message`: for 3, a device
    // path followed by "|"; for 4, exactly "0|".
    static bool replyFits(const std::string &message, const std::string &reply);
};
