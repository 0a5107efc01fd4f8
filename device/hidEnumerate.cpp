#include "hidEnumerate.h"

#include "ConfigFile.h"
#include "HidPackets.h"
#include "HostSystem.h"
#include "SearchLog.h"
#include "VersionPolicy.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QSettings>
#include <QVariantMap>

#include <hidapi.h>

namespace {

Q_LOGGING_CATEGORY(lcSearch, "upvane.search", QtInfoMsg)

QString wide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text, -1) : QString();
}

QVariantMap deviceRecord(const hid_device_info &info)
{
    QVariantMap record;
    record.insert(QStringLiteral("manufacturer"), wide(info.manufacturer_string));
    record.insert(QStringLiteral("vid"), HidPackets::hexId(info.vendor_id));
    record.insert(QStringLiteral("pid"), HidPackets::hexId(info.product_id));
    record.insert(QStringLiteral("modelname"), wide(info.product_string));
    record.insert(QStringLiteral("interface_number"), info.interface_number);
    record.insert(QStringLiteral("release_number"), static_cast<int>(info.release_number));
    record.insert(QStringLiteral("serial_number"), wide(info.serial_number));
    record.insert(QStringLiteral("path"), HidPackets::cutPath(QString::fromUtf8(info.path ? info.path : "")));
    record.insert(QStringLiteral("ucode"), 0);
    return record;
}

}

hidEnumerate::hidEnumerate()
    : QObject(nullptr)
{
}

hidEnumerate::~hidEnumerate()
{
    closeDevice();
}

QVariantList hidEnumerate::getDevlist() const
{
    return devlist;
}

SeenDevices hidEnumerate::lastSearch() const
{
    return m_lastSearch;
}

bool hidEnumerate::send0XA0()
{
    if (!device)
        return true;
    sendReport(HidPackets::commandA0());
    closeDevice();
    return true;
}

bool hidEnumerate::send0XFF()
{
    const QByteArray probe = HidPackets::probe(HidPackets::ProbeLength);
    int sent = device ? sendReport(probe) : -1;
    // The switch replugged since the search (as its page tells the user to do)
    // is the RT48PX behind a new handle, often a new path.
    if (sent < 0 && device) {
        closeDevice();
        search();
        sent = device ? sendReport(probe) : -1;
    }
    if (sent < 0) {
        qDebug() << "0xff send failed";
        return false;
    }
    QByteArray confirmation = HidPackets::readBuffer(HidPackets::ConfirmationId, HidPackets::ConfirmationLength);
    if (getReport(confirmation) > 0) {
        closeDevice();
        return true;
    }
    qDebug() << "0xff get fails";
    return false;
}

void hidEnumerate::enumerate()
{
    search();
    emit hidFinished();
}

void hidEnumerate::search()
{
    devlist.clear();
    m_lastSearch.clear();
    acceptedPath.clear();
    hid_device_info *devices = hid_enumerate(0, 0);
    hid_device_info *info = devices;
    for (; info; info = info->next) {
        QVariantMap record = deviceRecord(*info);
        closeDevice();
        ucodeFlag = false;
        if (!openPath(info->path)) {
            qDebug() << "open device faile" << record.value(QStringLiteral("path"));
            m_lastSearch.append({record, SeenDevice::Outcome::NotOpened});
            continue;
        }
        if (!identifyDevice()) {
            closeDevice();
            m_lastSearch.append({record, SeenDevice::Outcome::Refused});
            continue;
        }
        if (ucodeFlag)
            record.insert(QStringLiteral("ucode"), 1);
        devlist.append(record);
        m_lastSearch.append({record, SeenDevice::Outcome::Accepted});
        acceptedPath = info->path;
        info = info->next;
        break;
    }
    for (; info; info = info->next)
        m_lastSearch.append({deviceRecord(*info), SeenDevice::Outcome::NotAsked});
    hid_free_enumeration(devices);
    logSearch();
}

bool hidEnumerate::checkdev()
{
    // The device the search identified, and no other: the command that follows
    // must reach the RT48PX or nothing.
    if (acceptedPath.isEmpty())
        return false;
    if (device && identifiesNow())
        return true;
    closeDevice();
    if (openPath(acceptedPath.constData()) && identifiesNow())
        return true;
    closeDevice();
    search();
    return device != nullptr;
}

bool hidEnumerate::identifiesNow()
{
    ucodeFlag = false;
    return identifyDevice();
}

QString hidEnumerate::getFWver()
{
    return fwVer;
}

QString hidEnumerate::getUPver()
{
    return upVer;
}

bool hidEnumerate::isOlder(QString reported, QString wanted)
{
    if (wanted.isEmpty())
        return false;
    reported.remove(QLatin1Char('V'), Qt::CaseSensitive);
    wanted.remove(QLatin1Char('V'), Qt::CaseSensitive);
    return VersionPolicy::compareVersion(reported, wanted) < 0;
}

bool hidEnumerate::openPath(const char *path)
{
    if (hid_init() != 0) {
        device = nullptr;
        return false;
    }
    // hidapi 0.13.1 frees its handle and then writes to it when a node opens but
    // does not answer HIDIOCGRDESCSIZE: such a node is not handed to it.
    device = path && !HostSystem::deviceNodeLingers(path) ? hid_open_path(path) : nullptr;
    if (!device) {
        qDebug() << "unable to open device";
        hid_exit();
        return false;
    }
    return true;
}

bool hidEnumerate::identifyDevice()
{
    if (sendReport(HidPackets::probe(HidPackets::ProbeBufferLength)) < 0)
        return false;
    QByteArray probeReply = HidPackets::readBuffer(HidPackets::ProbeReplyId, HidPackets::ProbeReplyLength);
    if (getReport(probeReply) < 0)
        return false;
    if (!HidPackets::hasSignature(probeReply))
        return false;

    if (sendReport(HidPackets::select(probeReply)) < 0) {
        qDebug() << "chooseMasterModule Unable to send a feature report.";
        return false;
    }
    QByteArray status = HidPackets::readBuffer(HidPackets::StatusId, HidPackets::StatusLength);
    if (getReport(status) < 0) {
        qDebug() << "chooseMasterModule Unable to get a feature report.";
        return false;
    }
    if (!HidPackets::statusAccepted(status))
        return false;

    if (sendReport(HidPackets::informationRequest()) < 0) {
        qDebug() << "getDeviceInformation Unable to send a feature report.";
        return false;
    }
    QByteArray information = HidPackets::readBuffer(HidPackets::InformationId, HidPackets::InformationLength);
    if (getReport(information) < 0) {
        qDebug() << "getDeviceInformation Unable to get a feature report.";
        return false;
    }
    if (!HidPackets::informationAccepted(information))
        return false;

    parseVersions(information);
    checkVersions();
    return true;
}

void hidEnumerate::parseVersions(const QByteArray &information)
{
    const HidPackets::Versions versions = HidPackets::parseVersions(information);
    fwVer = versions.firmware;
    upVer = versions.microcode;
}

void hidEnumerate::checkVersions()
{
    ConfigFile config(VersionPolicy::settingsPath());
    QSettings &settings = config.settings();
    if (VersionPolicy::needsMicrocodeUpgrade(settings, upVer))
        ucodeFlag = true;
    m_policy = QStringLiteral("config.ini needUp4k \"%1\", compareStatus \"%2\"")
                   .arg(settings.value(VersionPolicy::NeedUp4kKey).toString(),
                        settings.value(VersionPolicy::CompareStatusKey).toString());
}

void hidEnumerate::logSearch()
{
    // The wizard searches every two seconds: only a search that differs from
    // the one before is written, so a long wait does not push the rest out.
    const QStringList lines = SearchLog::lines(m_lastSearch, fwVer, upVer, m_policy);
    if (lines == m_lastLogged)
        return;
    m_lastLogged = lines;
    for (const QString &line : lines)
        qCInfo(lcSearch, "%s", qUtf8Printable(line));
}

void hidEnumerate::closeDevice()
{
    if (!device)
        return;
    hid_close(device);
    device = nullptr;
    hid_exit();
}

int hidEnumerate::sendReport(const QByteArray &packet)
{
    return hid_send_feature_report(device, reinterpret_cast<const unsigned char *>(packet.constData()),
                                   static_cast<size_t>(packet.size()));
}

int hidEnumerate::getReport(QByteArray &buffer)
{
    return hid_get_feature_report(device, reinterpret_cast<unsigned char *>(buffer.data()),
                                  static_cast<size_t>(buffer.size()));
}
