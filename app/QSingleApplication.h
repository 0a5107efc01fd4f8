#pragma once

#include <QApplication>

class QLocalServer;

// The application object of the wizard. Its constructor decides whether another
// instance is already running: a later start hands its last argument over to the
// running instance and reports isRunning(); the first instance listens for later
// starts and emits activeAP() for each one it has served.
class QSingleApplication : public QApplication
{
    Q_OBJECT

public:
    // Never fails: when no running instance answers within 500 ms this becomes the
    // first instance; a server that cannot listen leaves it running without one.
    QSingleApplication(int &argc, char **argv);

    // true in a later instance once the hand-over has been attempted.
    bool isRunning() const;
    // false when the instance has no private address to meet others at (it was
    // logged as a critical message): the program must not run.
    bool canRun() const;

    // Sets the organisation and application names (the constructor does it too);
    // for programs that run without the wizard's application object.
    static void setIdentity();
    // The single-instance server name: organisation name, then application name.
    static QString serverName();

signals:
    void activeAP();

private slots:
    void newLocalConnection();

private:
    QLocalServer *m_localServer = nullptr;
    bool m_isRunning = false;
    bool m_canRun = true;
};
