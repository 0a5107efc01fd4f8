#include "StandIn.h"

#include "Record.h"
#include "Scenario.h"
#include "SelfProcess.h"
#include "ToolLink.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <chrono>
#include <thread>

namespace {

constexpr int ReplyTimeoutMs = 60000;
constexpr int HangLimitMs = 10 * 60 * 1000;

// UPVANE_UPGRADER_HANDLE as a 32-bit number, when it is one.
std::optional<std::int32_t> announcedHandle(const StandIn::Launch &launch)
{
    const std::string text = launch.environment("UPVANE_UPGRADER_HANDLE").value_or(std::string());
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != '\0' || value != static_cast<std::int32_t>(value))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void recordStart(const Record &record, const StandIn::Launch &launch, std::int32_t handle, const std::string &scenario)
{
    record.line("started", launch.variant);
    record.line("pid", std::to_string(launch.processId));
    for (const std::string &argument : launch.arguments)
        record.line("argument", argument);
    record.line("folder", launch.folder);
    if (!launch.output.empty()) {
        record.line("stdout", launch.output);
        record.line("stderr", launch.errors);
    }
    record.line("handle", std::to_string(handle));
    record.line("scenario", scenario);
}

// What a step leaves the play with: nothing when the next step follows, else the
// exit code the program ends with.
using Outcome = std::optional<int>;

// Finds the tool; false, recorded as "no channel", when it is not there.
bool reach(ToolLink &link, const Record &record)
{
    if (link.open())
        return true;
    record.line("no channel");
    return false;
}

// Makes the emulated RT48PX report the version this copy brings (the micro-code
// program its micro-code, the firmware program its firmware: the versions of the
// sample config.ini): a line "set KEYS" to the emulator's control channel, the
// harness's FIFO or the stand-in hidapi library's file, whichever the environment names.
void flash(const StandIn::Launch &launch, const Record &record)
{
    const std::string keys = launch.variant == "RT48PX_4K" ? "microcode=V1R1104" : "firmware=V1R1107";
    for (const char *name : {"RT48PX_HIDRAW_CONTROL", "RT48PX_FAKEHID_CONTROL"}) {
        const std::optional<std::string> path = launch.environment(name);
        if (!path || path->empty())
            continue;
        std::FILE *control = std::fopen(path->c_str(), "ab");
        // A Linux path seen from a Windows program under Wine: the Linux root is drive Z:.
        if (!control && path->front() == '/')
            control = std::fopen(("Z:" + *path).c_str(), "ab");
        if (!control)
            continue;
        const std::string line = "set " + keys + "\n";
        const bool written = std::fwrite(line.data(), 1, line.size(), control) == line.size();
        if (std::fclose(control) == 0 && written) {
            record.line("flash", keys);
            return;
        }
    }
    record.line("flash", "no control channel");
}

// Stays connected and silent until the tool goes away.
int hang(ToolLink &link, const Record &record)
{
    if (!reach(link, record))
        return 1;
    record.line("hanging");
    link.awaitClose(HangLimitMs);
    record.line("tool gone");
    return 0;
}

// Sends the messages of `step` back to back, then takes the replies owed, in
// their order.
Outcome sendMessages(const Scenario::Step &step, ToolLink &link, const Record &record)
{
    if (!reach(link, record))
        return 1;
    if (!link.send(step.messages)) {
        record.line("tool gone");
        return 1;
    }
    for (const std::string &message : step.messages)
        record.line("sent", message);
    for (size_t i = 0; i < step.messages.size(); ++i) {
        std::string reply;
        if (!step.replyOwed[i])
            continue;
        if (!link.awaitReply(&reply, ReplyTimeoutMs)) {
            record.line("no reply");
            return 1;
        }
        record.line("reply", reply);
        if (!Scenario::replyFits(step.messages[i], reply)) {
            // What the maker's program would do: give up and say so.
            if (link.send({"2"}))
                record.line("sent", "2");
            record.line("bad reply");
            return 1;
        }
    }
    return std::nullopt;
}

// Plays one step.
Outcome playStep(const Scenario::Step &step, const StandIn::Launch &launch, ToolLink &link, const Record &record)
{
    switch (step.kind) {
    case Scenario::Step::Exit:
        record.line("exit");
        return 0;
    case Scenario::Step::Crash:
        record.line("crash");
        SelfProcess::crash();
    case Scenario::Step::Child:   // hands the steps after it to a copy of this program
        record.line("child", std::to_string(SelfProcess::startCopy(
                                 launch.arguments, "UPVANE_UPGRADER_SCENARIO_" + launch.variant, step.rest)));
        return 0;
    case Scenario::Step::Flash:
        flash(launch, record);
        return std::nullopt;
    case Scenario::Step::Pause:
        link.idle(step.milliseconds);
        return std::nullopt;
    case Scenario::Step::Freeze:   // no message loop, no read: the tool's answers wait
        record.line("freezing");
        std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
        return std::nullopt;
    case Scenario::Step::Await:   // reachable for the tool meanwhile
        for (int waited = 0; !std::ifstream(step.rest) && waited < ReplyTimeoutMs; waited += 20)
            link.idle(20);
        return std::nullopt;
    case Scenario::Step::Hang:
        return hang(link, record);
    case Scenario::Step::Send:
        return sendMessages(step, link, record);
    }
    return std::nullopt;
}

// Plays the steps; returns the exit code.
int play(const std::vector<Scenario::Step> &steps, const StandIn::Launch &launch, ToolLink &link,
         const Record &record)
{
    for (const Scenario::Step &step : steps) {
        if (const Outcome end = playStep(step, launch, link, record))
            return *end;
    }
    record.line("finished");
    return 0;
}

}

std::string StandIn::scenarioText(const Launch &launch)
{
    if (const auto own = launch.environment("UPVANE_UPGRADER_SCENARIO_" + launch.variant))
        return *own;
    if (const auto all = launch.environment("UPVANE_UPGRADER_SCENARIO"))
        return *all;
    return "normal";
}

int StandIn::run(const Launch &launch)
{
    const Record record(launch.environment("UPVANE_UPGRADER_RECORD").value_or(std::string()));
    ToolLink link(announcedHandle(launch));
    const std::string scenario = scenarioText(launch);
    recordStart(record, launch, link.handle(), scenario);

    std::vector<Scenario::Step> steps;
    std::string error;
    if (!Scenario::parse(scenario, &steps, &error)) {
        record.line("bad scenario", error);
        return 2;
    }
    return play(steps, launch, link, record);
}
