#include "Probe.h"

#include "ConfigFile.h"

#include "PlatformQuirks.h"
#include "ProbeReport.h"
#include "VersionPolicy.h"
#include "hidEnumerate.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

void Probe::run(const QString &instanceAddress, const QString &configPath, ProbeReport &report)
{
    // Reading config.ini repairs a key behind a byte-order mark, and the search
    // repairs its policy keys when it accepts a device, as the wizard's do; the
    // probe leaves the file as it found it.
    QFile config(configPath);
    const bool existed = config.exists();
    const QByteArray before = existed && config.open(QIODevice::ReadOnly) ? config.readAll() : QByteArray();
    config.close();

    readConfig(configPath, report);
    if (PlatformQuirks::isListening(instanceAddress)) {
        report.wizardRunning = true;
        restore(config, before, report);
        return;
    }

    hidEnumerate hid;
    hid.enumerate();
    report.devices = hid.lastSearch();
    if (report.rt48px()) {
        report.firmware = hid.getFWver();
        report.microcode = hid.getUPver();
    }
    // The accepted device is closed when `hid` goes: no command is ever sent.

    if (!existed)
        QFile::remove(configPath);
    else
        restore(config, before, report);
}

void Probe::restore(QFile &config, const QByteArray &before, const ProbeReport &report)
{
    if (report.config.state != ProbeReport::ConfigState::Ok && report.config.state != ProbeReport::ConfigState::Malformed)
        return;   // the others are never written
    if (config.open(QIODevice::ReadOnly) && config.readAll() != before) {
        config.close();
        if (config.open(QIODevice::WriteOnly | QIODevice::Truncate))
            config.write(before);
    }
    config.close();
}

void Probe::readConfig(const QString &path, ProbeReport &report)
{
    ProbeReport::Config &config = report.config;
    config = ProbeReport::Config();
    config.path = path;
    config.needUp4k = VersionPolicy::NeedUp4kDefault;
    const QFileInfo info(path);
    if (!info.exists())
        return;   // the wizard writes the defaults
    if (!info.isFile() || !info.isReadable()) {
        config.state = ProbeReport::ConfigState::Unreadable;
        return;
    }
    ConfigFile file(path);
    const QSettings &settings = file.settings();
    if (file.encoding() == ConfigFile::Encoding::Foreign) {
        config.state = ProbeReport::ConfigState::ForeignEncoding;
        return;
    }
    if (settings.status() == QSettings::AccessError) {
        config.state = ProbeReport::ConfigState::Unreadable;
        return;
    }
    if (settings.status() == QSettings::FormatError) {
        config.state = ProbeReport::ConfigState::Malformed;
        return;
    }
    config.state = file.encoding() == ConfigFile::Encoding::Utf16 ? ProbeReport::ConfigState::Utf16
                                                                   : ProbeReport::ConfigState::Ok;
    config.firmware = settings.value(VersionPolicy::FirmwareKey).toString();
    config.microcode = settings.value(VersionPolicy::MicrocodeKey).toString();
    if (settings.contains(VersionPolicy::NeedUp4kKey))
        config.needUp4k = settings.value(VersionPolicy::NeedUp4kKey).toString();
    // Anything but exactly "false" counts as "true", as the wizard repairs it.
    config.checkOn = settings.value(VersionPolicy::CompareStatusKey).toString() != QLatin1String("false");
}
