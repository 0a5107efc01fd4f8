#include "Scenario.h"

#include <algorithm>
#include <sstream>

namespace {

using Step = Scenario::Step;

// One part of a send: a status code (decimal text), or "hex:" and its bytes (sent
// as they are, no reply awaited); false for anything else.
bool parseMessage(const std::string &part, Step *step)
{
    const size_t sign = part.compare(0, 1, "-") == 0 ? 1 : 0;
    if (part.size() > sign && part.find_first_not_of("0123456789", sign) == std::string::npos) {
        step->messages.push_back(part);
        step->replyOwed.push_back(part == "3" || part == "4");
        return true;
    }
    if (part.compare(0, 4, "hex:") != 0 || part.size() % 2 != 0
        || part.find_first_not_of("0123456789abcdefABCDEF", 4) != std::string::npos)
        return false;
    std::string bytes;
    for (size_t i = 4; i < part.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(part.substr(i, 2), nullptr, 16)));
    step->messages.push_back(bytes);
    step->replyOwed.push_back(false);
    return true;
}

// One word of a scenario other than "child" as its step; false when it is not
// understood.
bool parseStep(const std::string &word, Step *step)
{
    static const std::pair<std::string, Step::Kind> kWords[] = {
        {"crash", Step::Crash}, {"hang", Step::Hang}, {"exit", Step::Exit}, {"flash", Step::Flash},
        {"await:", Step::Await}, {"pause:", Step::Pause}, {"freeze:", Step::Freeze}};
    for (const auto &[name, kind] : kWords) {
        if (name.back() == ':' ? word.compare(0, name.size(), name) != 0 : word != name)
            continue;
        step->kind = kind;
        step->rest = word.substr(name.size());
        if (kind == Step::Pause || kind == Step::Freeze) {
            if (step->rest.empty() || step->rest.size() > 9
                || step->rest.find_first_not_of("0123456789") != std::string::npos)
                return false;
            step->milliseconds = std::stoi(step->rest);
        }
        return kind != Step::Await || !step->rest.empty();
    }
    for (size_t start = 0;;) {   // "a+b+...": the parts of one send, back to back
        const size_t plus = word.find('+', start);
        if (!parseMessage(word.substr(start, plus == std::string::npos ? plus : plus - start), step))
            return false;
        if (plus == std::string::npos)
            return true;
        start = plus + 1;
    }
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

bool Scenario::replyFits(const std::string &message, const std::string &reply)
{
    if (message == "4")
        return reply == "0|";
    return reply.size() > 1 && reply.back() == '|';
}
