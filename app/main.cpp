#include "Command.h"
#include "CommandLine.h"
#include "MessageLog.h"
#include "PlatformQuirks.h"
#include "QSingleApplication.h"
#include "WizardServices.h"

#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
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
    PlatformQuirks::chooseScaleRounding();

    QSingleApplication app(argc, argv);   // hands over and marks itself running when another instance runs
    MessageLog::open(MessageLog::defaultFolder());
    if (!app.canRun())
        return 1;   // it said why

    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);

    QQmlApplicationEngine engine;
    WizardServices services(MessageLog::folder(), !app.isRunning());   // destroyed before the engine
    PlatformQuirks::applyVersion();
    services.expose(engine);

    if (app.isRunning())
        return 0;   // the running instance has been told and raises its window

    engine.load(QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));
    // Decoding every size of the icon would hold up the first frame.
    WizardServices::afterFirstFrame(engine, [] { QApplication::setWindowIcon(QIcon(QStringLiteral(":Images/app.ico"))); });
    QObject::connect(&app, &QSingleApplication::activeAP, &app, [&engine] {
        PlatformQuirks::bringToFront(qobject_cast<QWindow *>(engine.rootObjects().value(0)));
    });
    return QApplication::exec();
}
