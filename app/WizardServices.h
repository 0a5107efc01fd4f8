#pragma once

#include "ProcessInfo.h"
#include "UpgradeEventFilter.h"
#include "fileIo.h"

#include <QObject>
#include <QString>

#include <functional>

class QQmlApplicationEngine;
class QQmlEngine;

// The native objects main.qml reaches by name, and how they are published to
// an engine. The program and its tests wire the wizard through here alone.
// Outlives nothing QML holds: destroy it before the engine that shows them.
class WizardServices : public QObject
{
    Q_OBJECT

public:
    // The objects; the status filter takes the reports of the launcher's program
    // alone. A later instance (`firstInstance` false) opens no status channel.
    explicit WizardServices(const QString &logFolder, bool firstInstance = true);

    // Publishes "io", "process", "event" and "logFolder" (this object), registers HidSocket 1.0
    // in "com.velm.HID", installs the status filter on the event dispatcher,
    // publishes "ap_ver" from the application version and "supportSite" from the
    // build setting UPVANE_SUPPORT_URL, then reads config.ini
    // (HostSystem::programFolder), publishes "FWVer" and "CodeVer" as they stood and repairs
    // the policy keys. Call once the application object exists. Never fails: a
    // missing or unreadable config.ini gives empty versions.
    void expose(QQmlEngine &engine);

    // Calls `work` once, right after the first frame of the engine's window has
    // been shown, for what the user cannot tell from start-up; at once when the
    // engine shows no window.
    static void afterFirstFrame(QQmlApplicationEngine &engine, std::function<void()> work);

    // logFolder.open() in QML, the failure page's link: shows the log's folder in
    // the file manager. Returns false when there is no folder or the system
    // could not open it.
    Q_INVOKABLE bool open() const;

    fileIo io;
    ProcessInfo process;
    UpgradeEventFilter event;

private:
    QString m_logFolder;
};
