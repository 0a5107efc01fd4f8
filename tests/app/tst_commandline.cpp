// The program's own options, and the reading of the kernel's answer on which
// Unix sockets listen (how --probe tells a running wizard without connecting;
// the request itself meets the real kernel in tst_probe).
#include "CommandLine.h"
#include "SocketDiag.h"

#include <QtTest>

#include <sys/socket.h>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>

Q_DECLARE_METATYPE(CommandLine::Mode)
Q_DECLARE_METATYPE(SocketDiag::Scan)

namespace {

// One netlink message of the kind the kernel sends.
QByteArray message(quint16 type, const QByteArray &payload)
{
    nlmsghdr header {};
    header.nlmsg_len = NLMSG_LENGTH(payload.size());
    header.nlmsg_type = type;
    QByteArray bytes(reinterpret_cast<const char *>(&header), sizeof header);
    bytes += payload;
    bytes.append(QByteArray(NLMSG_ALIGN(header.nlmsg_len) - header.nlmsg_len, '\0'));
    return bytes;
}

// A Unix socket in `state` whose file has `inode` on `device`.
QByteArray socketEntry(quint8 state, quint32 inode, quint32 device)
{
    unix_diag_msg msg {};
    msg.udiag_family = AF_UNIX;
    msg.udiag_state = state;
    unix_diag_vfs vfs {inode, device};
    rtattr attribute {};
    attribute.rta_len = RTA_LENGTH(sizeof vfs);
    attribute.rta_type = UNIX_DIAG_VFS;
    QByteArray payload(reinterpret_cast<const char *>(&msg), sizeof msg);
    payload += QByteArray(reinterpret_cast<const char *>(&attribute), sizeof attribute);
    payload += QByteArray(reinterpret_cast<const char *>(&vfs), sizeof vfs);
    return message(SOCK_DIAG_BY_FAMILY, payload);
}

constexpr quint8 Listen = 10, Connected = 1;

}

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Mode>("mode");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("error");
        using M = CommandLine::Mode;
        QTest::newRow("none: the wizard") << QStringList() << M::Wizard << false << "";
        QTest::newRow("anything else: the wizard's hand-over") << QStringList{"-f", "x"} << M::Wizard << false << "";
        QTest::newRow("--probe") << QStringList{"--probe"} << M::Probe << false << "";
        QTest::newRow("--probe --json") << QStringList{"--probe", "--json"} << M::Probe << true << "";
        QTest::newRow("--json --probe") << QStringList{"--json", "--probe"} << M::Probe << true << "";
        QTest::newRow("--help") << QStringList{"--help"} << M::Help << false << "";
        QTest::newRow("-h with --probe") << QStringList{"--probe", "-h"} << M::Help << false << "";
        QTest::newRow("-?") << QStringList{"-?"} << M::Help << false << "";
        QTest::newRow("--version") << QStringList{"--version"} << M::Version << false << "";
        QTest::newRow("-v") << QStringList{"-v"} << M::Version << false << "";
        QTest::newRow("--json alone") << QStringList{"--json"} << M::Invalid << false << "--json goes with --probe";
        QTest::newRow("--version --json") << QStringList{"--version", "--json"} << M::Invalid << false << "--json goes with --probe";
        QTest::newRow("--probe --version") << QStringList{"--probe", "--version"} << M::Invalid << false
                                           << "--probe and --version do not go together";
        QTest::newRow("stray word") << QStringList{"--probe", "now"} << M::Invalid << false << "unknown option: now";
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Mode, mode);
        QFETCH(bool, json);
        QFETCH(QString, error);
        const CommandLine::Options options = CommandLine::parse(arguments);
        QCOMPARE(options.mode, mode);
        QCOMPARE(options.json, json);
        QCOMPARE(options.error, error);
    }

    void scan_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<SocketDiag::Scan>("scan");   // looking for inode 4711 on device 0x00fe00
        using S = SocketDiag::Scan;
        const QByteArray done = message(NLMSG_DONE, QByteArray(4, '\0'));
        QTest::newRow("the file, listening") << socketEntry(Listen, 4711, 0xfe00) << S::Found;
        QTest::newRow("behind others") << socketEntry(Listen, 1, 0xfe00) + socketEntry(Listen, 4711, 0xfe00) << S::Found;
        QTest::newRow("same inode, other device") << socketEntry(Listen, 4711, 0x800001) << S::More;
        QTest::newRow("the file, not listening") << socketEntry(Connected, 4711, 0xfe00) << S::More;
        QTest::newRow("others, then the end") << socketEntry(Listen, 1, 0xfe00) + done << S::End;
        QTest::newRow("the end alone") << done << S::End;
        QTest::newRow("an error") << message(NLMSG_ERROR, QByteArray(20, '\0')) << S::Failed;
        QTest::newRow("cut short") << socketEntry(Listen, 4711, 0xfe00).left(20) << S::Failed;
        QTest::newRow("nothing") << QByteArray() << S::More;
    }
    void scan()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(SocketDiag::Scan, scan);
        QCOMPARE(SocketDiag::scan(datagram, 4711, 0xfe00), scan);
    }
};

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
