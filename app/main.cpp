#include "AppVersion.h"
#include "Command.h"
#include "CommandLine.h"
#include "LogFolder.h"
#include "MessageLog.h"
#include "ProcessInfo.h"
#include "QSingleApplication.h"
#include "UpgradeEventFilter.h"
#include "VersionPolicy.h"
#include "VersionText.h"
#include "WindowRaiser.h"
#include "fileIo.h"
#include "hidEnumerate.h"

#include <QAbstractEventDispatcher>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSettings>
#include <QUrl>

int main(int argc, char *argv[])
{
    MessageLog::install();   // every line also goes to the log file

    // --probe, --help, --version: no window, and no hand-over to a running wizard.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Options options = CommandLine::parse(arguments);
    if (options.mode != CommandLine::Mode::Wizard)
        return Command::run(options, argc, argv);

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    QSingleApplication app(argc, argv);   // hands over and marks itself running when another instance runs
    MessageLog::open(MessageLog::defaultFolder());
    if (!app.canRun())
        return 1;   // it said why

    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);

    QQmlApplicationEngine engine;

    // The services QML reaches by name; destroyed before the engine.
    fileIo io;
    ProcessInfo process;
    UpgradeEventFilter event;
    event.setProgram(process.upgradeProgram());   // its reports alone are taken
    engine.rootContext()->setContextProperty(QStringLiteral("event"), &event);
    engine.rootContext()->setContextProperty(QStringLiteral("io"), &io);
    engine.rootContext()->setContextProperty(QStringLiteral("process"), &process);
    LogFolder logFolder(MessageLog::folder());
    engine.rootContext()->setContextProperty(QStringLiteral("logFolder"), &logFolder);

    qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");
    QCoreApplication::eventDispatcher()->installNativeEventFilter(&event);

    AppVersion::apply();
    engine.rootContext()->setContextProperty(QStringLiteral("ap_ver"),
                                             VersionText::shortVersion(QCoreApplication::applicationVersion()));

    QApplication::setWindowIcon(QIcon(QStringLiteral(":Images/app.ico")));

    // The versions this upgrade brings are read before the policy keys are repaired.
    QSettings config(VersionPolicy::settingsPath(), QSettings::IniFormat);   // destroyed first: writes the defaults
    VersionPolicy::useUtf8(config);
    const QString firmwareVersion = config.value(QStringLiteral("deviceFW_Ver")).toString();
    const QString microcodeVersion = config.value(QStringLiteral("u_Code_Ver")).toString();
    VersionPolicy::repairSettings(config);
    engine.rootContext()->setContextProperty(QStringLiteral("FWVer"), firmwareVersion);
    engine.rootContext()->setContextProperty(QStringLiteral("CodeVer"), microcodeVersion);

    if (app.isRunning())
        return 0;   // the running instance has been told and raises its window

    engine.load(QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));
    QObject::connect(&app, &QSingleApplication::activeAP, &app, WindowRaiser(engine));
    return QApplication::exec();
}
