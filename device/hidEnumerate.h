#pragma once

#include "SeenDevice.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantList>

struct hid_device_;
typedef struct hid_device_ hid_device;

// The one way from the wizard to the RT48PX, registered for QML as HidSocket 1.0
// in "com.velm.HID". enumerate() walks every HID device, identifies the RT48PX
// by its feature reports and publishes at most one device record in devlist;
// the accepted device stays open for send0XA0/send0XFF until one of them closes
// it or the next enumerate()/checkdev() replaces it. A device that opened but was
// not accepted is closed again before the next one is tried. Every call blocks
// the calling (GUI) thread until hidapi returns.
//
// A device record is a QVariantMap with "interface_number" (int), "manufacturer",
// "modelname", "path" (hidapi's path cut before its last "#"), "pid" and "vid"
// (four lower-case hex digits), "release_number" (int), "serial_number" and
// "ucode" (int, 1 when the micro-code stage is needed).
class hidEnumerate : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList devlist READ getDevlist NOTIFY hidFinished)

public:
    hidEnumerate();
    ~hidEnumerate() override;   // closes a device that is still open

    QVariantList getDevlist() const;

    // Every device the last enumerate() saw, in hidapi's order, and what became
    // of it; empty before the first. A search that differs from the one before
    // is written to the log (category "upvane.search", see SearchLog.h).
    SeenDevices lastSearch() const;

signals:
    // Once at the end of every enumerate(), on the calling thread.
    void hidFinished();

public:
    // Sends the 0xA0 command to the open device and closes it. Always returns true
    // (with no open device it sends nothing).
    Q_INVOKABLE bool send0XA0();
    // Sends the probe and reads the 0xFF confirmation; closes the device on
    // success. A send that fails on the accepted device searches once more and
    // sends to the RT48PX found then. Returns false ("0xff send failed" / "0xff
    // get fails"; the device stays open) when the send fails, no device is open,
    // or no byte came back.
    Q_INVOKABLE bool send0XFF();
    // Replaces devlist with the record of the first device that passes the
    // identification, or with an empty list; emits hidFinished. No result.
    Q_INVOKABLE void enumerate();
    // checkdev() under the name the wake-up step calls it by.
    Q_INVOKABLE bool opendev() { return checkdev(); }
    // Firmware / micro-code version of the last accepted device; empty before any.
    Q_INVOKABLE QString getFWver();
    Q_INVOKABLE QString getUPver();

    // Later additions follow, so that the invokables above keep their meta-object order.
    // The identification exchange on the accepted device: on the handle kept
    // open, else on its path opened anew, else on what one more search finds;
    // devlist then holds the record of the RT48PX open now. Returns false (no
    // device left open) when no search has accepted a device or none answers.
    Q_INVOKABLE bool checkdev();
    // Whether the version `reported` (as the device gives it) is lower than
    // `wanted` (as config.ini names it): every "V" removed from both, then
    // compared as VersionPolicy::compareVersion does. An empty `wanted` never
    // is. Never fails.
    Q_INVOKABLE bool isOlder(QString reported, QString wanted);

private:
    // hid_init + hid_open_path. Returns false with device null (and hidapi exited
    // when the open itself failed, "unable to open device"). A node that opens but
    // no longer answers (its device is gone) is never handed to hid_open_path.
    bool openPath(const char *path);
    // The three-step exchange on device. Returns false on the first failed step;
    // true with fwVer, upVer and ucodeFlag set when the device is accepted.
    bool identifyDevice();
    // Sets fwVer and upVer from the 80-byte information report.
    void parseVersions(const QByteArray &information);
    // Applies the config.ini policy to upVer; may set ucodeFlag.
    void checkVersions();
    // The walk of enumerate(): devlist, lastSearch and acceptedPath anew; the
    // accepted device stays open. Logs the search, emits nothing.
    void search();
    // The identification exchange on the open device, with ucodeFlag cleared first.
    bool identifiesNow();
    // Writes the last search to the log when it differs from the one before.
    void logSearch();
    // hid_close + hid_exit when a device is open; device becomes null.
    void closeDevice();
    // hid_send_feature_report / hid_get_feature_report with a QByteArray buffer.
    int sendReport(const QByteArray &packet);
    int getReport(QByteArray &buffer);

    QString fwVer;
    QString upVer;
    hid_device *device = nullptr;
    QVariantList devlist;
    QByteArray acceptedPath;   // hidapi's path of the device the last enumerate() accepted
    bool ucodeFlag = false;

    SeenDevices m_lastSearch;
    QString m_policy;          // the config.ini keys the last checkVersions() used
    QStringList m_lastLogged;  // the log lines of the last search written
};
