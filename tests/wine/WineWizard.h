#pragma once

#include "../common/TextFiles.h"
#include "WinePrefix.h"
#include "WizardWalker.h"

#include <QProcess>
#include <QStringList>

// The wizard's program folder (the shipped layout and a config.ini) in a Wine
// prefix of its own, started there with the devices of the test: emulated ones
// through Wine's HID stack, or the stand-in hidapi library's. The stand-in
// upgrade programs record what they get in C:/records; the log and that record
// are kept beside the test program (wine-logs/) for whoever reads a failure.
class WineWizard
{
public:
    // config.ini names `firmware` and the micro-code V1.1.104.
    explicit WineWizard(const QString &programFolder = QStringLiteral("C:/Upvane"),
                        const QString &firmware = QStringLiteral("V1.1.107"));
    ~WineWizard();

    // False when the prefix or the folder could not be made (see wine.error()).
    bool isReady() const { return m_ready; }
    QString programDir() const { return wine.unixPath(m_folder); }
    QString program() const { return m_folder + QStringLiteral("/upvane.exe"); }

    // Emulated devices (the device harness's KEYS, in the order hidapi lists
    // them: Wine's by vendor and product id) as hidraw nodes that Wine's HID
    // stack brings to the shipped libhidapi.dll, with the test's cfgmgr32.dll
    // beside it for the calls Wine 8.0 lacks and winebus's hidraw bus switched
    // on (it tries SDL first and, without it, never starts that bus).
    void useDevices(const QStringList &devices);
    // The stand-in hidapi library in place of the shipped one, with `devices`
    // (its RT48PX_FAKEHID_DEVICES).
    void useStandinHid(const QString &devices);
    // Starts the wizard with the environment of the devices, plus `extra`.
    void start(const QProcessEnvironment &extra = {});
    // start() once the set-up succeeded, then waits a minute for the start page
    // on `walker`'s screen: false, with why in failure(), when either failed.
    bool startAtStartPage(const WizardWalker &walker, const QProcessEnvironment &extra = {});
    QString failure() const { return m_failure; }
    QString output() { return QString::fromLocal8Bit(process.readAll()); }

    // A record in C:/records: the upgrade programs' (upgrader.txt), the device
    // transcript (hid.txt), or one a test names.
    QStringList record(const QString &name = QStringLiteral("upgrader.txt")) const;
    QString recordPath(const QString &name) const;
    // The value of the record's first line "<key> <value>" after line `from`.
    QString recorded(const QString &key, int from = 0, const QString &name = QStringLiteral("upgrader.txt")) const;
    QString logPath() const { return wine.appDataDir() + QStringLiteral("/logs/upvane.log"); }
    QByteArray logBytes() const { return TextFiles::contents(logPath()); }
    QString log() const { return QString::fromUtf8(logBytes()); }

    WinePrefix wine;
    QProcess process;

private:
    QString m_folder;
    bool m_ready = false;
    QStringList m_devices;   // for the device harness
    QProcessEnvironment m_env;
    QString m_failure;
};
