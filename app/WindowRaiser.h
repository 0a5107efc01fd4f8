#pragma once

class QQmlApplicationEngine;
class QWindow;

// Brings the wizard's window back to the front when a later start hands over.
class WindowRaiser
{
public:
    explicit WindowRaiser(QQmlApplicationEngine &engine);

    // Restores the engine's first root window to its normal state, shows it and
    // puts it in front once. Does nothing without a root object or when the first
    // root object is not a Qt Quick window.
    void operator()() const;

    // The platform part: in front of all other windows once, not kept on top,
    // position and size unchanged. The result of the platform call is ignored.
    static void bringToFront(QWindow *window);

private:
    QQmlApplicationEngine &m_engine;
};
