#pragma once

#include <QString>

// Every message of the process (Qt's message handler) also goes to the log file,
// and on to the handler that was there before (stderr, the debugger channel).
// Thread-safe: messages may come from any thread.
class MessageLog
{
public:
    // Installs the handler. Lines that come before open() are kept (the first
    // few hundred) and written when it is called. Call once, first thing in main.
    static void install();

    // From now on lines go to the log file in `folder` (created when missing).
    // Never fails: a log that cannot be written only drops its lines.
    static void open(const QString &folder);

    // From now on only warnings and worse go on to the previous handler; every
    // line still goes to the file. For commands whose output is read by people.
    static void setQuiet(bool quiet);

    // The folder given to open(), or empty.
    static QString folder();

    // The folder of the log: "logs" in the user's application-data folder.
    // Needs the organisation and application names set. Never fails.
    static QString defaultFolder();
};
