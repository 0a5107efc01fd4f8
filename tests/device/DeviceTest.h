#pragma once

#include "TestWorld.h"
#include "VersionPolicy.h"

#include <QCoreApplication>
#include <QVariantMap>

// What the device tests share: a world of their own (config.ini lands in its
// program folder) and the debug lines captured for exact comparison.
namespace DeviceTest {

inline QStringList messages;      // every plain message since init()
inline QStringList searchLines;   // the log's account of the searches (category "upvane.search")

// The record of the emulated RT48PX as it comes by default.
inline QVariantMap record(const QString &path, int ucode)
{
    return {{"interface_number", 0}, {"manufacturer", "VELM"}, {"modelname", "RT48PX KVM"}, {"path", path}, {"pid", "0048"},
            {"release_number", 0x0104}, {"serial_number", "RT48PX-0001"}, {"ucode", ucode}, {"vid", "f0e1"}};
}

// Before each test function: no config.ini, the messages captured afresh.
inline void init()
{
    QFile::remove(VersionPolicy::settingsPath());
    messages.clear();
    searchLines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
        (qstrcmp(context.category, "upvane.search") == 0 ? searchLines : messages) << text;
    });
}

}

#define DEVICE_TEST_MAIN(TestClass)             \
    int main(int argc, char **argv)             \
    {                                           \
        TestWorld world;                        \
        QCoreApplication app(argc, argv);       \
        TestClass test;                         \
        return QTest::qExec(&test, argc, argv); \
    }
