#include "Scenario.h"

#include <algorithm>
#include <sstream>

namespace {

// Whether `text` has digits from `from` on, and nothing else.
bool digitsFrom(const std::string &text, size_t from)
{
    return text.size() > from && text.find_first_not_of("0123456789", from) == std::string::npos;
}

bool isCode(const std::string &part)
{
    return digitsFrom(part, !part.empty() && part[0] == '-' ? 1 : 0);
}

// "hex:3100" -> the bytes 0x31 0x00; false for anything else.
bool parseHex(const std::string &part, std::string *bytes)
{
    if (part.compare(0, 4, "hex:") != 0 || part.size() % 2 != 0
        || part.find_first_not_of("0123456789abcdefABCDEF", 4) != std::string::npos)
        return false;
    bytes->clear();
    for (size_t i = 4; i < part.size(); i += 2)
        bytes->push_back(static_cast<char>(std::stoi(part.substr(i, 2), nullptr, 16)));
    return true;
}

bool parseMilliseconds(const std::string &text, int *milliseconds)
{
    if (!digitsFrom(text, 0) || text.size() > 9)
        return false;
    *milliseconds = std::stoi(text);
    return true;
}

// One part of a send: a decimal code, or "hex:" and its bytes (no reply awaited).
// false for anything else.
bool parseMessage(const std::string &part, Scenario::Step *step)
{
    std::string bytes;
    if (isCode(part)) {
        step->messages.push_back(part);
        step->raw.push_back(false);
    } else if (parseHex(part, &bytes)) {
        step->messages.push_back(bytes);
        step->raw.push_back(true);
    } else {
        return false;
    }
    return true;
}

// "a+b+...": the parts of one send, back to back; false when one is not understood.
bool parseSend(const std::string &word, Scenario::Step *step)
{
    for (size_t start = 0;;) {
        const size_t plus = word.find('+', start);
        const std::string part = word.substr(start, plus == std::string::npos ? plus : plus - start);
        if (!parseMessage(part, step))
            return false;
        if (plus == std::string::npos)
            return true;
        start = plus + 1;
    }
}

// One word of a scenario other than "child" as its step; false when it is not
// understood.
bool parseStep(const std::string &word, Scenario::Step *step)
{
    using Step = Scenario::Step;
    if (word == "crash" || word == "hang" || word == "exit" || word == "flash") {
        step->kind = word == "crash" ? Step::Crash : word == "hang" ? Step::Hang : word == "exit" ? Step::Exit : Step::Flash;
        return true;
    }
    if (word.compare(0, 6, "await:") == 0) {
        step->kind = Step::Await;
        step->rest = word.substr(6);
        return !step->rest.empty();
    }
    if (word.compare(0, 6, "pause:") == 0) {
        step->kind = Step::Pause;
        return parseMilliseconds(word.substr(6), &step->milliseconds);
    }
    if (word.compare(0, 7, "freeze:") == 0) {
        step->kind = Step::Freeze;
        return parseMilliseconds(word.substr(7), &step->milliseconds);
    }
    return parseSend(word, step);
}

// The scenario text a preset name stands for (the name alone, blanks around it
// allowed), else `text` as it is.
std::string expandPreset(const std::string &text)
{
    std::istringstream trimmed(text);
    std::string only, extra;
    if (trimmed >> only && !(trimmed >> extra)) {
        for (const auto &preset : Scenario::presets()) {
            if (only == preset.first)
                return preset.second;
        }
    }
    return text;
}

// What is left of the line in `words`, without the blanks it starts with.
std::string restOfLine(std::istringstream &words)
{
    std::string rest;
    std::getline(words, rest);
    return rest.substr(std::min(rest.find_first_not_of(" \t\r\n"), rest.size()));
}

}

std::vector<std::pair<std::string, std::string>> Scenario::presets()
{
    return {
        {"normal", "pause:300 3 flash pause:300 1"},
        {"hollow", "pause:300 3 pause:300 1"},
        {"fail2", "pause:300 3 pause:300 2"},
        {"quiet", "exit"},
        {"crash", "pause:300 3 crash"},
    };
}

bool Scenario::parse(const std::string &text, std::vector<Step> *steps, std::string *error)
{
    std::istringstream words(expandPreset(text));
    std::string word;
    while (words >> word) {
        Step step;
        if (word == "child") {
            step.kind = Step::Child;
            step.rest = restOfLine(words);
            steps->push_back(step);
            return true;
        }
        if (!parseStep(word, &step)) {
            *error = word;
            return false;
        }
        steps->push_back(step);
    }
    return true;
}

int Scenario::repliesOwed(const std::string &message)
{
    return message == "3" || message == "4" ? 1 : 0;
}

bool Scenario::replyFits(const std::string &message, const std::string &reply)
{
    if (message == "4")
        return reply == "0|";
    return reply.size() > 1 && reply.back() == '|';
}
