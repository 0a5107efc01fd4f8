#include "WineWizard.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kRecords = QStringLiteral("C:/records");

// How Wine's HID device paths name the device of the harness's `keys`: "vid_f0e1&pid_0048".
QString pathName(const QString &keys)
{
    const auto id = [&keys](const char *key, const char *fallback) {
        const QString value = QRegularExpression(QStringLiteral("\\b%1=([0-9a-f]+)").arg(QLatin1String(key))).match(keys).captured(1);
        return value.isEmpty() ? QLatin1String(fallback) : value.rightJustified(4, QLatin1Char('0'));
    };
    return QStringLiteral("vid_%1&pid_%2").arg(id("vid", "f0e1"), id("pid", "0048"));
}

}

WineWizard::WineWizard(const QString &programFolder, const QString &firmware)
    : m_folder(programFolder)
{
    m_ready = wine.isValid() && wine.copyFolder(WinePrefix::installedLayout(), m_folder)
        && TextFiles::write(programDir() + QStringLiteral("/config.ini"),
                            QStringLiteral("deviceFW_Ver=%1\nu_Code_Ver=V1.1.104\n").arg(firmware)) && QDir().mkpath(wine.unixPath(kRecords));
    m_env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), kRecords + QStringLiteral("/upgrader.txt"));
}

WineWizard::~WineWizard()
{
    wine.stop();
    process.waitForFinished(10000);
    const QString kept = QCoreApplication::applicationDirPath() + QStringLiteral("/wine-logs/")
        + QStringLiteral("%1-%2").arg(QLatin1String(QTest::currentTestFunction()), QLatin1String(QTest::currentDataTag()))
              .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]+")), QStringLiteral("-"));
    QDir().mkpath(QFileInfo(kept).path());
    for (const auto &[from, suffix] : {std::pair{logPath(), ".log"}, std::pair{recordPath(QStringLiteral("upgrader.txt")), ".record"}}) {
        QFile::remove(kept + QLatin1String(suffix));
        QFile::copy(from, kept + QLatin1String(suffix));
    }
}

void WineWizard::useDevices(const QStringList &devices)
{
    m_devices = devices;
    m_ready = m_ready
        && QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/standins/cfgmgr32.dll"), programDir() + QStringLiteral("/cfgmgr32.dll"))
        && wine.addDword(QStringLiteral("HKLM\\System\\CurrentControlSet\\Services\\winebus"), QStringLiteral("Enable SDL"), 0) == 0;
    wine.stop();   // the setting is read when the session starts
    m_env.insert(QStringLiteral("WINEDLLOVERRIDES"), wine.environment().value(QStringLiteral("WINEDLLOVERRIDES"))
                     + QStringLiteral(";cfgmgr32=n;winedbg.exe=d"));
}

void WineWizard::useStandinHid(const QString &devices)
{
    const QString dll = programDir() + QStringLiteral("/libhidapi.dll");
    m_ready = m_ready && QFile::remove(dll) && QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/standins/libhidapi.dll"), dll);
    m_env.insert(QStringLiteral("RT48PX_FAKEHID_DEVICES"), devices);
    m_env.insert(QStringLiteral("RT48PX_FAKEHID_TRANSCRIPT"), kRecords + QStringLiteral("/hid.txt"));
}

void WineWizard::start(const QProcessEnvironment &extra)
{
    QProcessEnvironment env = m_env;
    env.insert(extra);
    wine.prepare(process, program(), {}, env);
    if (!m_devices.isEmpty()) {
        // The whole Wine session, wineserver included, under the device
        // harness (which lives as long as the wizard), the wizard only once
        // Wine's HID stack lists every device.
        QStringList harness{QStringLiteral(RT48PX_HIDRAW), QStringLiteral("--transcript"), recordPath(QStringLiteral("hid.txt"))};
        QStringList names;
        for (const QString &device : qAsConst(m_devices)) {
            harness << QStringLiteral("--device") << device;
            names << pathName(device);
        }
        harness << QStringLiteral("--") << QStringLiteral("sh") << QStringLiteral("-c")
                << QStringLiteral("\"$0\" \"$1\" $2 && shift 2 && exec \"$0\" \"$@\"") << process.program()
                << WinePrefix::windowsBuild() + QStringLiteral("/tests/wine/programs/hid-devices.exe")
                << names.join(QLatin1Char(' ')) << process.arguments();
        process.setProgram(QStringLiteral("umockdev-wrapper"));
        process.setArguments(harness);
    }
    process.start();
}

bool WineWizard::startAtStartPage(const WizardWalker &walker, const QProcessEnvironment &extra)
{
    if (!m_ready)
        m_failure = QStringLiteral("no program folder: ") + wine.error();
    else if (start(extra), !walker.waitForPage(WizardWalker::Page::Start, 60000))
        m_failure = QStringLiteral("no start page: ") + output();
    return m_failure.isEmpty();
}

QString WineWizard::recordPath(const QString &name) const
{
    return wine.unixPath(kRecords + QLatin1Char('/') + name);
}

QStringList WineWizard::record(const QString &name) const
{
    return TextFiles::lines(recordPath(name));
}

QString WineWizard::recorded(const QString &key, int from, const QString &name) const
{
    const QStringList lines = record(name);
    const int at = TextFiles::indexOfPrefix(lines, key + QLatin1Char(' '), from);
    return at < 0 ? QString() : lines[at].mid(key.size() + 1);
}

