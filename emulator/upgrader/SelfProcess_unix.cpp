#include "SelfProcess.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <unistd.h>

extern char **environ;

void SelfProcess::crash()
{
    std::raise(SIGKILL);
    _exit(128 + SIGKILL);   // not reached
}

long long SelfProcess::startCopy(const std::vector<std::string> &arguments, const std::string &variable,
                                 const std::string &value)
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return -1;
    self[length] = '\0';
    if (setenv(variable.c_str(), value.c_str(), 1) != 0)
        return -1;

    std::vector<std::string> words{self};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}
