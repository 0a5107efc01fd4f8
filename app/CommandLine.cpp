#include "CommandLine.h"

namespace CommandLine {

namespace {

bool isHelp(const QString &a)
{
    return a == QLatin1String("--help") || a == QLatin1String("-h") || a == QLatin1String("-?");
}

bool isVersion(const QString &a)
{
    return a == QLatin1String("--version") || a == QLatin1String("-v");
}

Options invalid(const QString &error)
{
    Options options;
    options.mode = Mode::Invalid;
    options.error = error;
    return options;
}

}

Options parse(const QStringList &arguments)
{
    bool probe = false, help = false, version = false, json = false;
    for (const QString &a : arguments) {
        probe = probe || a == QLatin1String("--probe");
        help = help || isHelp(a);
        version = version || isVersion(a);
        json = json || a == QLatin1String("--json");
    }
    Options options;
    if (!probe && !help && !version && !json)
        return options;   // the wizard's, whatever they are
    json = false;
    for (const QString &a : arguments) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a != QLatin1String("--probe") && !isHelp(a) && !isVersion(a))
            return invalid(QStringLiteral("unknown option: %1").arg(a));
    }
    if (help) {
        options.mode = Mode::Help;   // --help wins over everything else
        return options;
    }
    if (probe && version)
        return invalid(QStringLiteral("--probe and --version do not go together"));
    if (json && !probe)
        return invalid(QStringLiteral("--json goes with --probe"));
    options.mode = probe ? Mode::Probe : Mode::Version;
    options.json = json;
    return options;
}

QString usage()
{
    return QStringLiteral(
        "Usage: upvane [--probe [--json] | --help | --version]\n"
        "\n"
        "Without options: the wizard that upgrades the firmware of the RT48PX.\n"
        "\n"
        "  --probe     search for the RT48PX once, as the wizard does, without a window,\n"
        "              and print every HID device seen, the RT48PX's versions, what\n"
        "              config.ini asks for and whether the micro-code stage would run\n"
        "  --json      with --probe: print one JSON object instead (see docs/probe.schema.json)\n"
        "  --help      print this text\n"
        "  --version   print the program's version\n"
        "\n"
        "Exit status of --probe: 0 the RT48PX was found, 1 it was not found,\n"
        "2 an error (config.ini unreadable, no access to the HID devices, the wizard\n"
        "is running).\n");
}

}
