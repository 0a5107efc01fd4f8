#include "ProbeReport.h"

#include "SearchLog.h"

#include <QJsonArray>
#include <algorithm>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString configStateName(ProbeReport::ConfigState state)
{
    switch (state) {
    case ProbeReport::ConfigState::Ok:
        return QStringLiteral("ok");
    case ProbeReport::ConfigState::Missing:
        return QStringLiteral("missing");
    case ProbeReport::ConfigState::Unreadable:
        return QStringLiteral("unreadable");
    case ProbeReport::ConfigState::Utf16:
        return QStringLiteral("utf-16");
    case ProbeReport::ConfigState::ForeignEncoding:
        return QStringLiteral("foreign-encoding");
    case ProbeReport::ConfigState::Malformed:
        break;
    }
    return QStringLiteral("malformed");
}

QString field(const QVariantMap &record, const char *key)
{
    return record.value(QLatin1String(key)).toString();
}

QString describe(SeenDevice::Outcome outcome)
{
    switch (outcome) {
    case SeenDevice::Outcome::NotOpened:
        return QStringLiteral("could not be opened");
    case SeenDevice::Outcome::Refused:
        return QStringLiteral("did not take the identification exchange");
    case SeenDevice::Outcome::Accepted:
        return QStringLiteral("took the identification exchange: the RT48PX");
    case SeenDevice::Outcome::NotAsked:
        break;
    }
    return QStringLiteral("not asked (the search stops at the RT48PX)");
}

QJsonValue orNull(const QString &value, bool present)
{
    return present ? QJsonValue(value) : QJsonValue();
}

}

const SeenDevice *ProbeReport::rt48px() const
{
    for (const SeenDevice &device : devices) {
        if (device.outcome == SeenDevice::Outcome::Accepted)
            return &device;
    }
    return nullptr;
}

bool ProbeReport::accessMayHideIt() const
{
    if (rt48px())
        return false;
    return std::any_of(devices.begin(), devices.end(),
                       [](const SeenDevice &d) { return d.outcome == SeenDevice::Outcome::NotOpened; });
}

QStringList ProbeReport::errors() const
{
    QStringList list;
    if (wizardRunning)
        list << QStringLiteral("the wizard is running: the probe does not search while it may be upgrading the "
                               "switch; close the wizard and probe again");
    if (config.state == ConfigState::Unreadable)
        list << QStringLiteral("config.ini cannot be read: %1").arg(config.path);
    else if (config.state == ConfigState::Malformed)
        list << QStringLiteral("config.ini is not a valid settings file: %1").arg(config.path);
    else if (config.state == ConfigState::ForeignEncoding)
        list << QStringLiteral("config.ini is in an encoding this program cannot read (left as it is): %1").arg(config.path);
    const bool noneOpened = !devices.isEmpty() && std::all_of(devices.begin(), devices.end(), [](const SeenDevice &d) {
        return d.outcome == SeenDevice::Outcome::NotOpened;
    });
    if (noneOpened) {
        QStringList ids;
        for (const SeenDevice &device : devices)
            ids << SearchLog::ids(device.record);
        list << QStringLiteral("no access to the HID devices: none of the %1 could be opened (%2)")
                    .arg(devices.size())
                    .arg(ids.join(QStringLiteral(", ")));
    }
    return list;
}

int ProbeReport::exitCode() const
{
    if (!errors().isEmpty())
        return 2;
    return rt48px() ? 0 : 1;
}

QString ProbeReport::text() const
{
    QString out = QStringLiteral("%1 %2, probe\n").arg(program, version);
    out += QStringLiteral("config.ini: %1 (%2)\n").arg(config.path, configStateName(config.state));
    out += QStringLiteral("  the upgrade brings firmware \"%1\", micro-code \"%2\"\n").arg(config.firmware, config.microcode);
    if (config.checkOn)
        out += QStringLiteral("  micro-code stage unless the micro-code is %1 (needUp4k; compareStatus true)\n")
                   .arg(config.needUp4k);
    else
        out += QStringLiteral("  micro-code check off (compareStatus false): no micro-code stage\n");
    if (wizardRunning)
        return out + QStringLiteral("no search: the wizard is running\n");

    out += QStringLiteral("HID devices seen: %1\n").arg(devices.size());
    for (const SeenDevice &device : devices) {
        out += QStringLiteral("  %1  \"%2\"  %3\n")
                   .arg(SearchLog::ids(device.record), field(device.record, "modelname"), describe(device.outcome));
    }
    const SeenDevice *found = rt48px();
    if (!found)
        return out + QStringLiteral("RT48PX: not found\n");
    out += QStringLiteral("RT48PX: firmware %1, micro-code %2 (path %3, serial \"%4\")\n")
               .arg(firmware, microcode, field(found->record, "path"), field(found->record, "serial_number"));
    const bool stage = found->record.value(QStringLiteral("ucode")).toInt() == 1;
    out += QStringLiteral("micro-code stage: %1\n").arg(stage ? QStringLiteral("would run") : QStringLiteral("would be skipped"));
    return out;
}

QByteArray ProbeReport::json() const
{
    QJsonArray errorList;
    for (const QString &error : errors())
        errorList.append(error);

    const bool present = config.state == ConfigState::Ok;
    const QJsonObject configObject{
        {"path", config.path},
        {"state", configStateName(config.state)},
        {"deviceFW_Ver", orNull(config.firmware, present)},
        {"u_Code_Ver", orNull(config.microcode, present)},
        {"needUp4k", config.needUp4k},
        {"compareStatus", config.checkOn},
    };

    QJsonArray deviceList;
    for (const SeenDevice &device : devices) {
        deviceList.append(QJsonObject{
            {"vendorId", field(device.record, "vid")},
            {"productId", field(device.record, "pid")},
            {"product", field(device.record, "modelname")},
            {"outcome", SearchLog::outcomeName(device.outcome)},
            {"identified", device.outcome == SeenDevice::Outcome::Accepted},
        });
    }

    QJsonValue found;
    if (const SeenDevice *device = rt48px()) {
        const QVariantMap &r = device->record;
        found = QJsonObject{
            {"vendorId", field(r, "vid")},
            {"productId", field(r, "pid")},
            {"product", field(r, "modelname")},
            {"manufacturer", field(r, "manufacturer")},
            {"serialNumber", field(r, "serial_number")},
            {"release", QStringLiteral("%1").arg(r.value(QStringLiteral("release_number")).toInt(), 4, 16, QLatin1Char('0'))},
            {"interface", r.value(QStringLiteral("interface_number")).toInt()},
            {"path", field(r, "path")},
            {"firmware", firmware},
            {"microcode", microcode},
            {"microcodeStage", r.value(QStringLiteral("ucode")).toInt() == 1},
        };
    }

    const int code = exitCode();
    const QJsonObject root{
        {"program", program},
        {"version", version},
        {"result", code == 2 ? QStringLiteral("error") : code == 0 ? QStringLiteral("found") : QStringLiteral("not found")},
        {"exitCode", code},
        {"errors", errorList},
        {"searched", !wizardRunning},
        {"config", configObject},
        {"devices", deviceList},
        {"rt48px", found},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
