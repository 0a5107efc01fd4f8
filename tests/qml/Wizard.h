#pragma once

#include "PlatformQuirks.h"
#include "TestWorld.h"
#include "TextFiles.h"
#include "WizardServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Makes `world` a wizard's: the stand-in upgrade programs, and a config.ini whose
// micro-code policy asks for the micro-code stage below 1.1.104.
inline bool furnishForWizard(const TestWorld &world)
{
    return world.addUpgradePrograms()
           && TextFiles::write(world.programDir() + QStringLiteral("/config.ini"),
                               QByteArray("[General]\ndeviceFW_Ver=1.1.107\nu_Code_Ver=1.1.104\nneedUp4k=1.1.104\n"
                                          "compareStatus=true\n"));
}

// Stands in for the desktop's browser ("https") and file manager ("file") while
// it lives, keeping the addresses it is handed.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
    {
        for (const char *scheme : {"https", "file"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char *scheme : {"https", "file"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QStringList schemes() const
    {
        QStringList found;
        for (const QUrl &url : opened)
            found << url.scheme();
        return found;
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

// A wizard test program runs in a world of its own, made before the application
// object; each test may make another inside it.
#define WIZARD_TEST_MAIN(TestClass) \
    int main(int argc, char *argv[]) \
    { \
        TestWorld world; \
        if (!furnishForWizard(world)) \
            return 1; \
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software); \
        QApplication app(argc, argv); \
        PlatformQuirks::applyVersion(); \
        TestClass test; \
        return world.isValid() ? QTest::qExec(&test, argc, argv) : 1; \
    }

// The real main.qml with the program's own wiring of the native objects, shown
// and exposed; plus access to the root's state, functions and items.
class Wizard
{
public:
    static constexpr const char *InformationPage = "../Qml/Information_upgrade.qml";
    static constexpr const char *DevicePage = "../Qml/Operate_device.qml";
    static constexpr const char *ProgressPage = "../Qml/Process_interface.qml";
    static constexpr const char *ResultPage = "../Qml/Upgrade_status.qml";

    Wizard()
    {
        QObject::connect(&engine, &QQmlApplicationEngine::warnings, [this](const QList<QQmlError> &list) {
            for (const QQmlError &error : list)
                warnings << error.toString();
        });
        services.expose(engine);
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        if (!engine.rootObjects().isEmpty())
            window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
        if (window && !QTest::qWaitForWindowExposed(window))
            window = nullptr;
    }

    QVariant get(const char *name) const { return window->property(name); }
    void set(const char *name, const QVariant &value) { window->setProperty(name, value); }
    int integer(const char *name) const { return get(name).toInt(); }
    QString page() const { return get("mainload").toString(); }
    // A member of one of the three settings objects, e.g. ("foot_control_info", "btn").
    QVariant setting(const char *object, const char *member) const
    {
        return get(object).value<QJSValue>().property(QLatin1String(member)).toVariant();
    }
    void call(const char *function) { QMetaObject::invokeMethod(window, function); }

    // An object by its id in main.qml, or in what one of its loaders shows
    // ("main_load": the page, "foot_load", "head_load").
    QObject *item(const char *id, const char *loader = nullptr) const
    {
        QObject *scope = loader ? item(loader) : window;
        if (scope && loader)
            scope = qvariant_cast<QObject *>(scope->property("item"));
        QQmlContext *context = scope ? qmlContext(scope) : nullptr;
        return context ? qvariant_cast<QObject *>(context->contextProperty(QLatin1String(id))) : nullptr;
    }
    QObject *pageObject(const char *id) const { return item(id, "main_load"); }
    // The progress bar's value on the progress page, -1 without one.
    int progress() const
    {
        QObject *bar = pageObject("progressBar");
        return bar ? qRound(bar->property("value").toDouble()) : -1;
    }

    // A click at `at` in the coordinates of `target`, by default the visible
    // rectangle (where WizardWalker's points are).
    void click(QPointF at, QObject *target = nullptr) const
    {
        auto *inside = qobject_cast<QQuickItem *>(target ? target : item("windows"));
        QTest::mouseClick(window, Qt::LeftButton, {}, inside->mapToScene(at).toPoint());
    }

    QQmlApplicationEngine engine;
    WizardServices services{QDir::tempPath()};
    QQuickWindow *window = nullptr;
    QStringList warnings;
    QSignalSpy quitSpy{&engine, &QQmlEngine::quit};
};
