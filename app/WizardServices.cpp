#include "WizardServices.h"

#include "VersionPolicy.h"
#include "VersionText.h"
#include "hidEnumerate.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>

WizardServices::WizardServices(const QString &logFolder)
    : logFolder(logFolder)
{
    event.setProgram(process.upgradeProgram());
}

void WizardServices::expose(QQmlEngine &engine)
{
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("event"), &event);
    context->setContextProperty(QStringLiteral("io"), &io);
    context->setContextProperty(QStringLiteral("process"), &process);
    context->setContextProperty(QStringLiteral("logFolder"), &logFolder);

    qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");
    QCoreApplication::eventDispatcher()->installNativeEventFilter(&event);

    context->setContextProperty(QStringLiteral("ap_ver"),
                                VersionText::shortVersion(QCoreApplication::applicationVersion()));
    context->setContextProperty(QStringLiteral("supportSite"), QStringLiteral(UPVANE_SUPPORT_URL));

    // The versions this upgrade brings are read before the policy keys are repaired.
    QSettings config(VersionPolicy::settingsPath(), QSettings::IniFormat);   // writes the defaults when it goes
    VersionPolicy::useUtf8(config);
    context->setContextProperty(QStringLiteral("FWVer"), config.value(QStringLiteral("deviceFW_Ver")).toString());
    context->setContextProperty(QStringLiteral("CodeVer"), config.value(QStringLiteral("u_Code_Ver")).toString());
    VersionPolicy::repairSettings(config);
}
