#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

class QProcess;

// A private world for a test, in a temporary folder: home, data, config and a
// private runtime folder in this process's environment (so the application-data
// folder, the log and the sockets are the test's own, and so are those of every
// program it starts), the product's identity, and a program folder of its own
// (where config.ini, data.ini, Report/ and upgradefile/ are looked for). The
// stand-in upgrade programs keep their record in recordPath(). Make it before
// the application object where the test has one; a world made inside another
// gives the outer one back when it goes.
class TestWorld
{
public:
    TestWorld();
    ~TestWorld();
    TestWorld(const TestWorld &) = delete;
    TestWorld &operator=(const TestWorld &) = delete;

    bool isValid() const;
    QString path(const QString &sub) const;
    QString programDir() const;
    QString program() const;   // the program copied in by installProgram()
    QString runtimeDir() const;
    QString serverSocket() const;   // the single-instance hand-over's socket
    QString appDataDir() const;

    // The stand-in upgrade program as built, and the record of every one started in this world.
    static QString standIn();
    QString recordPath() const;
    // The record's values for `key` in order; with no key, every line.
    QStringList recorded(const QString &key = QString()) const;
    QString recordEnd() const;

    // Copies the stand-in upgrade programs into the program folder's upgradefile/.
    bool addUpgradePrograms() const;
    // Copies the built program (and its upgrade programs) into the program folder.
    bool installProgram() const;

    // The environment, and a process set up, for the program copy in this world.
    QProcessEnvironment environment(bool offscreen = true) const;
    void prepare(QProcess &process, const QStringList &arguments = {}, bool offscreen = true) const;

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_outer;   // the environment this world replaced
    QString m_outerProgramDir;
};
