#include "AppVersion.h"
#include "QSingleApplication.h"
#include "VersionText.h"
#include "WindowRaiser.h"
#include "hidEnumerate.h"

#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QUrl>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    QSingleApplication app(argc, argv);   // hands over and marks itself running when another instance runs

    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);

    QQmlApplicationEngine engine;
    // [service objects and their context properties]

    // [QML type registration] [native event filter]
    qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");

    AppVersion::apply();
    engine.rootContext()->setContextProperty(QStringLiteral("ap_ver"),
                                             VersionText::shortVersion(QCoreApplication::applicationVersion()));

    QApplication::setWindowIcon(QIcon(QStringLiteral(":Images/app.ico")));
    // [config.ini defaults, "FWVer" and "CodeVer"]

    if (app.isRunning())
        return 0;

    engine.load(QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));
    QObject::connect(&app, &QSingleApplication::activeAP, &app, WindowRaiser(engine));
    return QApplication::exec();
}
