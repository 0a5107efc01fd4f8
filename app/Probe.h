#pragma once

#include <QString>

class ProbeReport;
class QByteArray;
class QFile;

// `upvane --probe`: one search for the RT48PX exactly as the wizard makes it,
// without a window. Needs a QCoreApplication with the program's identity.
class Probe
{
public:
    // Fills `report`: refuses (wizardRunning, no search) when a wizard instance
    // listens at `instanceAddress`; else reads config.ini at `configPath` and
    // searches once with hidEnumerate, exactly as the wizard does. config.ini is
    // left as it was found (the search writes the policy defaults into it when it
    // accepts a device; they are taken out again). Never fails: what goes wrong
    // is in the report.
    static void run(const QString &instanceAddress, const QString &configPath, ProbeReport &report);

    // config.ini as the probe reports it. Never fails.
    static void readConfig(const QString &path, ProbeReport &report);

private:
    // Writes `before` back into `config` where reading or searching changed a
    // file in an encoding that is written at all. No result.
    static void restore(QFile &config, const QByteArray &before, const ProbeReport &report);
};
