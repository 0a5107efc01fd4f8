// The main QML document from the resources comes up as a window. The QML
// compiler only rejects syntax; unknown types and missing context properties
// show up here.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QtTest>

class tst_MainQml : public QObject
{
    Q_OBJECT

private slots:
    void loadsIntoAWindow()
    {
        QStringList warnings;
        QQmlApplicationEngine engine;
        connect(&engine, &QQmlApplicationEngine::warnings, this, [&](const QList<QQmlError> &list) {
            for (const QQmlError &error : list)
                warnings << error.toString();
        });
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        QVERIFY2(!engine.rootObjects().isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->flags() & Qt::FramelessWindowHint);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    }
};

int main(int argc, char *argv[])
{
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    tst_MainQml test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainqml.moc"
