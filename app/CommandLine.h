#pragma once

#include <QString>
#include <QStringList>

// The program's own options. Without any of them the program is the wizard and
// its arguments are left to the application object (a later start hands its last
// argument to the running instance). Pure functions, no I/O.
namespace CommandLine {

enum class Mode {
    Wizard,    // no option of ours: the wizard, as always
    Probe,     // --probe [--json]
    Help,      // --help, -h, -?
    Version,   // --version, -v
    Invalid,   // an option of ours with something it does not take
};

struct Options
{
    Mode mode = Mode::Wizard;
    bool json = false;
    QString error;   // for Invalid: what was wrong, one line
};

// `arguments` without the program itself. One of --probe, --json, --help,
// --version anywhere makes it a command; then every argument must be one of ours, and
// --json goes with --probe only. Never fails: a bad line gives Mode::Invalid.
Options parse(const QStringList &arguments);

// The --help text, ending in a line break.
QString usage();

}
