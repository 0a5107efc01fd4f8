#include "SearchLog.h"

namespace SearchLog {

QString ids(const QVariantMap &record)
{
    return record.value(QStringLiteral("vid")).toString() + QLatin1Char(':') + record.value(QStringLiteral("pid")).toString();
}

QString outcomeName(SeenDevice::Outcome outcome)
{
    switch (outcome) {
    case SeenDevice::Outcome::NotOpened:
        return QStringLiteral("not opened");
    case SeenDevice::Outcome::Refused:
        return QStringLiteral("refused");
    case SeenDevice::Outcome::Accepted:
        return QStringLiteral("accepted");
    case SeenDevice::Outcome::NotAsked:
        break;
    }
    return QStringLiteral("not asked");
}

QStringList lines(const SeenDevices &devices, const QString &firmware, const QString &microcode,
                  const QString &policy)
{
    QStringList seen;
    const SeenDevice *accepted = nullptr;
    for (const SeenDevice &device : devices) {
        seen << ids(device.record) + QLatin1Char(' ') + outcomeName(device.outcome);
        if (device.outcome == SeenDevice::Outcome::Accepted && !accepted)
            accepted = &device;
    }
    QString summary = QStringLiteral("search: %1 HID device%2").arg(devices.size()).arg(devices.size() == 1 ? "" : "s");
    if (!seen.isEmpty())
        summary += QStringLiteral(": ") + seen.join(QStringLiteral(", "));
    QStringList result{summary};
    if (!accepted)
        return result;

    const QVariantMap &r = accepted->record;
    result << QStringLiteral("RT48PX: %1 \"%2\" by \"%3\", serial \"%4\", release %5, interface %6, path %7")
                  .arg(ids(r), r.value(QStringLiteral("modelname")).toString(),
                       r.value(QStringLiteral("manufacturer")).toString(),
                       r.value(QStringLiteral("serial_number")).toString())
                  .arg(r.value(QStringLiteral("release_number")).toInt(), 4, 16, QLatin1Char('0'))
                  .arg(r.value(QStringLiteral("interface_number")).toInt())
                  .arg(r.value(QStringLiteral("path")).toString());
    const bool stage = r.value(QStringLiteral("ucode")).toInt() == 1;
    result << QStringLiteral("RT48PX versions: firmware %1, micro-code %2; %3 -> micro-code stage %4")
                  .arg(firmware, microcode, policy, stage ? QStringLiteral("needed") : QStringLiteral("skipped"));
    return result;
}

}
