// A reference program for the start-up benchmark: the same application set-up
// as the wizard (widgets application, software scene graph, QML engine) showing
// a bare window ("bare"), a window with the wizard's QML imports ("imports"), or
// that window with the start screen's picture and texts ("content").
#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QUrl>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    QQmlApplicationEngine engine;
    const QString which = app.arguments().value(1, QStringLiteral("bare"));
    engine.load(QUrl(QStringLiteral("qrc:/%1.qml").arg(which)));
    return engine.rootObjects().isEmpty() ? 1 : QApplication::exec();
}
