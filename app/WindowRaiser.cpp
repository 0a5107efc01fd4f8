#include "WindowRaiser.h"

#include <QQmlApplicationEngine>
#include <QQuickWindow>

WindowRaiser::WindowRaiser(QQmlApplicationEngine &engine)
    : m_engine(engine)
{
}

void WindowRaiser::operator()() const
{
    const QList<QObject *> roots = m_engine.rootObjects();
    if (roots.isEmpty())
        return;
    auto *window = qobject_cast<QQuickWindow *>(roots.first());
    if (!window)
        return;
    window->winId();   // makes sure the native window exists before it is raised
    window->showNormal();
    bringToFront(window);
}
