// The stand-in hidapi library as the Windows DLL is driven: devices, transcript
// and control file named by the environment (read at the first call), and
// configure()'s handling of bad texts and control lines.
#include "../common/TextFiles.h"
#include "FakeHid.h"
#include "FakeHidTranscript.h"
#include "hidEnumerate.h"

#include <QTemporaryDir>
#include <QtTest>

#include <hidapi.h>

namespace {

// Set in main() before the library's first call.
QTemporaryDir *g_folder = nullptr;

QString folderFile(const QString &name)
{
    return g_folder->filePath(name);
}

void append(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(file.write(text), qint64(text.size()));
}

QString path(const QVariantList &devlist)
{
    return devlist.value(0).toMap().value(QStringLiteral("path")).toString();
}

}

class TestFakeHidConfig : public QObject
{
    Q_OBJECT

private slots:
    // Runs first: the state the environment made, before any reset().
    void environmentConfiguresTheLibrary()
    {
        const QString transcript = folderFile(QStringLiteral("transcript.txt"));
        const QString control = folderFile(QStringLiteral("control.txt"));
        hidEnumerate hid;
        hid.enumerate();
        QCOMPARE(FakeHid::deviceCount(), 2);
        QCOMPARE(path(hid.property("devlist").toList()), QStringLiteral("/fake/hidraw1"));

        // The file holds every call, in the transcript's form.
        QStringList expected;
        for (const FakeHid::Call &c : FakeHid::transcript())
            expected << QString::fromStdString(FakeHid::transcriptLine(c));
        QCOMPARE(TextFiles::lines(transcript), expected);
        QVERIFY(expected.contains(QStringLiteral("hid_enumerate 0000 0000 listed 2")));
        QVERIFY(expected.contains(QStringLiteral("hid_open_path device 0 /fake/hidraw0 result 1")));
        QVERIFY(expected.contains(QStringLiteral("device 1 /fake/hidraw1 send length 8 result 8: 92 46 55 90 00 44 49 b8")));

        // Lines appended to the control file act at the next enumeration; a
        // line without its line break waits for it.
        append(control, "unplug 1\n");
        hid.enumerate();
        QVERIFY(hid.property("devlist").toList().isEmpty());
        QCOMPARE(TextFiles::lines(transcript).filter(QStringLiteral("hid_enumerate")).last(),
                 QStringLiteral("hid_enumerate 0000 0000 listed 1"));
        append(control, "plug 1");
        hid.enumerate();
        QVERIFY(hid.property("devlist").toList().isEmpty());
        append(control, "\n");
        hid.enumerate();
        QCOMPARE(path(hid.property("devlist").toList()), QStringLiteral("/fake/hidraw1"));
    }

    void configure_data()
    {
        QTest::addColumn<QString>("devices");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("paths");

        QTest::newRow("empty pieces skipped") << " ; ;\t;" << true << "" << QStringList();
        QTest::newRow("blanks and commas inside a device")
            << "kind=mute product=Mouse,serial=-;path=\\\\?\\hid#a#b#{c}" << true << ""
            << QStringList{"/fake/hidraw0", "\\\\?\\hid#a#b#{c}"};
        QTest::newRow("bad key stops, devices before stay")
            << "microcode=V1R1103;colour=red;kind=mute" << false << "unknown key: colour"
            << QStringList{"/fake/hidraw0"};
        QTest::newRow("bad value") << "vid=xyz" << false << "bad value: vid=xyz" << QStringList();
    }

    void configure()
    {
        QFETCH(QString, devices);
        QFETCH(bool, ok);
        QFETCH(QString, error);
        QFETCH(QStringList, paths);
        FakeHid::reset();
        std::string message;
        QCOMPARE(FakeHid::configure(devices.toStdString(), {}, {}, &message), ok);
        QCOMPARE(QString::fromStdString(message), error);
        QStringList found;
        for (int i = 0; i < FakeHid::deviceCount(); ++i)
            found << QString::fromStdString(FakeHid::device(i).config().path);
        QCOMPARE(found, paths);
    }

    void control_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("listed");
        QTest::addColumn<bool>("replyComes");   // device 0 is there and still knows it was probed

        QTest::newRow("unplug one") << QByteArray("unplug 1\n") << 2 << true;
        QTest::newRow("unplug all") << QByteArray("unplug\n") << 0 << false;
        QTest::newRow("unplug and plug: a fresh exchange") << QByteArray("unplug 0\nplug 0\n") << 3 << false;
        QTest::newRow("plug a present device: nothing") << QByteArray("plug 0\n") << 3 << true;
        QTest::newRow("replug: present, a fresh exchange") << QByteArray("replug 0\n") << 3 << false;
        QTest::newRow("unknown lines ignored") << QByteArray("\nbogus 1\n  \n") << 3 << true;
        QTest::newRow("no line break yet") << QByteArray("unplug") << 3 << true;
    }

    void control()
    {
        QFETCH(QByteArray, lines);
        QFETCH(int, listed);
        QFETCH(bool, replyComes);
        const QString control = folderFile(QStringLiteral("control-%1.txt").arg(QTest::currentDataTag()));
        append(control, "unplug 2\nplug 2\n");   // applied at the first enumeration below
        FakeHid::reset();
        std::string error;
        QVERIFY(FakeHid::configure("kind=rt48px;kind=mute;kind=foreign", {}, control.toStdString(), &error));

        hid_free_enumeration(hid_enumerate(0, 0));
        hid_device *dev = hid_open_path("/fake/hidraw0");
        QVERIFY(dev);
        unsigned char probe[7] = {0x01, 0x46, 0x55, 0xff, 0x45, 0x4e, 0x2d};
        QCOMPARE(hid_send_feature_report(dev, probe, sizeof probe), int(sizeof probe));

        append(control, lines);
        hid_free_enumeration(hid_enumerate(0, 0));
        QCOMPARE(FakeHid::calls("hid_enumerate").back().result, listed);
        // The probe reply comes only from a device that is there and still knows
        // the probe.
        unsigned char reply[33] = {0x81};
        QCOMPARE(hid_get_feature_report(dev, reply, sizeof reply) == int(sizeof reply), replyComes);
        hid_close(dev);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    g_folder = &folder;
    // What the library reads at its first call, as the DLL does under Wine.
    qputenv("RT48PX_FAKEHID_DEVICES", "kind=mute,product=Receiver,serial=-; microcode=V1R1103");
    qputenv("RT48PX_FAKEHID_TRANSCRIPT", QFile::encodeName(folder.filePath(QStringLiteral("transcript.txt"))));
    qputenv("RT48PX_FAKEHID_CONTROL", QFile::encodeName(folder.filePath(QStringLiteral("control.txt"))));
    TestFakeHidConfig test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fakehidconfig.moc"
