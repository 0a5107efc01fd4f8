#include "WizardServices.h"

#include "ConfigFile.h"
#include "VersionPolicy.h"
#include "VersionText.h"
#include "hidEnumerate.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QQmlEngine>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include <memory>

WizardServices::WizardServices(const QString &logFolder, bool firstInstance)
    : event(nullptr, firstInstance ? UpgradeEventFilter::Channel::Open : UpgradeEventFilter::Channel::None)
    , m_logFolder(logFolder)
{
    event.setProgram(process.upgradeProgram());
    io.setUpgradeProgram(process.upgradeProgram());
}

void WizardServices::expose(QQmlEngine &engine)
{
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("event"), &event);
    context->setContextProperty(QStringLiteral("io"), &io);
    context->setContextProperty(QStringLiteral("process"), &process);
    context->setContextProperty(QStringLiteral("logFolder"), this);

    qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");
    QCoreApplication::eventDispatcher()->installNativeEventFilter(&event);

    context->setContextProperty(QStringLiteral("ap_ver"),
                                VersionText::shortVersion(QCoreApplication::applicationVersion()));
    context->setContextProperty(QStringLiteral("supportSite"), QStringLiteral(UPVANE_SUPPORT_URL));

    // The versions this upgrade brings are read before the policy keys are repaired.
    ConfigFile file(VersionPolicy::settingsPath());   // writes the defaults when it goes
    QSettings &config = file.settings();
    if (file.encoding() == ConfigFile::Encoding::Utf16)
        qInfo("config.ini is UTF-16: read, and left as it is");
    else if (file.encoding() == ConfigFile::Encoding::Foreign)
        qWarning("config.ini is in an encoding this program cannot read: left as it is, its values unused");
    context->setContextProperty(QStringLiteral("FWVer"), config.value(VersionPolicy::FirmwareKey).toString());
    context->setContextProperty(QStringLiteral("CodeVer"), config.value(VersionPolicy::MicrocodeKey).toString());
    VersionPolicy::repairSettings(config);
}

void WizardServices::afterFirstFrame(QQmlApplicationEngine &engine, std::function<void()> work)
{
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window) {
        work();
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(window, &QQuickWindow::frameSwapped, window, [connection, window, work] {
        QObject::disconnect(*connection);
        QTimer::singleShot(0, window, work);   // once the frame's rendering has returned
    });
}

bool WizardServices::open() const
{
    // From C++: Qt.openUrlExternally would resolve the URL against the page's
    // qrc: address and lose the file URL's empty host.
    return !m_logFolder.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(m_logFolder));
}

// Here rather than with the library's other meta-objects: only programs that use
// the services link their dependencies (the HID search among them).
#include "moc_WizardServices.cpp"
