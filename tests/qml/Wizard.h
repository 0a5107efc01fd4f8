#pragma once

#include "ProcessInfo.h"
#include "UpgradeEventFilter.h"
#include "fileIo.h"
#include "hidEnumerate.h"

#include <QPoint>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The real main.qml with the real native objects, wired as the program's start-up
// wires them, plus what the tests need to drive it: the root's state, its
// functions, named items and clicks at the places the layout fixes.
class Wizard
{
public:
    // Places inside the visible 1000 x 720 rectangle.
    static constexpr QPoint StartButton{60 + 62, 572 + 19};
    static constexpr QPoint CheckBox{550 + 12, 620 + 50};
    static constexpr QPoint ConfirmButton{812 + 70, 620 + 30 + 20};
    static constexpr QPoint CloseButton{1000 - 7 - 16, 16};

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
        QQmlContext *context = engine.rootContext();
        context->setContextProperty(QStringLiteral("event"), &event);
        context->setContextProperty(QStringLiteral("io"), &io);
        context->setContextProperty(QStringLiteral("process"), &process);
        context->setContextProperty(QStringLiteral("ap_ver"), QStringLiteral("1.1.107"));
        context->setContextProperty(QStringLiteral("FWVer"), QStringLiteral("1.1.107"));
        context->setContextProperty(QStringLiteral("CodeVer"), QStringLiteral("1.1.104"));
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        if (!engine.rootObjects().isEmpty())
            window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
        quitSpy = std::make_unique<QSignalSpy>(&engine, &QQmlEngine::quit);
    }

    static void registerTypes() { qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket"); }

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

    // An item of main.qml by its id, or of the page shown now.
    QObject *item(const char *id) const
    {
        return qvariant_cast<QObject *>(qmlContext(window)->contextProperty(QLatin1String(id)));
    }
    QQuickItem *pageItem() const
    {
        auto *loader = item("main_load");
        return loader ? qvariant_cast<QQuickItem *>(loader->property("item")) : nullptr;
    }
    QObject *pageObject(const char *id) const
    {
        QQuickItem *page = pageItem();
        if (!page)
            return nullptr;
        return qvariant_cast<QObject *>(qmlContext(page)->contextProperty(QLatin1String(id)));
    }
    QObject *footerObject(const char *id) const
    {
        auto *loader = item("foot_load");
        auto *footer = loader ? qvariant_cast<QQuickItem *>(loader->property("item")) : nullptr;
        return footer ? qvariant_cast<QObject *>(qmlContext(footer)->contextProperty(QLatin1String(id))) : nullptr;
    }
    QObject *headerObject(const char *id) const
    {
        auto *header = qvariant_cast<QQuickItem *>(item("head_load")->property("item"));
        return header ? qvariant_cast<QObject *>(qmlContext(header)->contextProperty(QLatin1String(id))) : nullptr;
    }
    // The progress bar's value on the progress page, -1 without one.
    int progress() const
    {
        QObject *bar = pageObject("progressBar");
        return bar ? qRound(bar->property("value").toDouble()) : -1;
    }

    // The visible rectangle's top left corner in window coordinates.
    QPoint origin() const
    {
        auto *windows = qobject_cast<QQuickItem *>(item("windows"));
        return windows->mapToScene(QPointF(0, 0)).toPoint();
    }
    void click(QPoint inApplication) { QTest::mouseClick(window, Qt::LeftButton, {}, origin() + inApplication); }
    void clickItem(QObject *object)
    {
        auto *target = qobject_cast<QQuickItem *>(object);
        QTest::mouseClick(window, Qt::LeftButton, {},
                          target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    }

    QImage grab() const { return window->screen()->grabWindow(window->winId()).toImage(); }

    QQmlApplicationEngine engine;
    fileIo io;
    ProcessInfo process;
    UpgradeEventFilter event;
    QQuickWindow *window = nullptr;
    QStringList warnings;
    std::unique_ptr<QSignalSpy> quitSpy;
};

// Every page the wizard has shown, in order (empty sources left out).
class PageLog : public QObject
{
    Q_OBJECT

public:
    explicit PageLog(QQuickWindow *window) : m_window(window)
    {
        QQmlProperty(window, QStringLiteral("mainload")).connectNotifySignal(this, SLOT(changed()));
    }

    QStringList pages;

private slots:
    void changed()
    {
        const QString page = m_window->property("mainload").toString();
        if (!page.isEmpty())
            pages << page;
    }

private:
    QQuickWindow *m_window;
};
