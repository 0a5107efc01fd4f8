// swap-copy SHIPPED [change]: copies SHIPPED as the wizard does (fileIo::copyFile),
// then tries what someone else could do to the copy before its start: write it,
// give its name to another file, delete it; with "change", SHIPPED itself is then
// changed. Last, starts the copy (ProcessInfo::openProcess) and prints why it
// refused, if it did.
// Exit code: 0 started, 1 start refused, 2 the copy could be touched, 3 the copy
// failed, 4 a wrong command line.
#include "ProcessInfo.h"
#include "UpgradeProgram.h"
#include "fileIo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <windows.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
    QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3)
        return 4;
    const QString shipped = arguments.at(1);
    ProcessInfo process;
    fileIo io;
    io.setUpgradeProgram(process.upgradeProgram());
    if (!io.copyFile(shipped))
        return 3;
    const std::wstring copy = QDir::toNativeSeparators(io.get_userappdata_path() + QStringLiteral("/upgrade.exe")).toStdWString();
    const std::wstring other = copy + L".other";
    QFile::copy(shipped, QString::fromStdWString(other));
    const HANDLE writer = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool written = writer != INVALID_HANDLE_VALUE;
    if (written)
        CloseHandle(writer);
    const bool replaced = MoveFileExW(other.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING);
    const bool deleted = DeleteFileW(copy.c_str());
    QTextStream out(stdout);
    out << "write " << written << " replace " << replaced << " delete " << deleted << '\n';
    if (written || replaced || deleted)
        return 2;
    if (arguments.size() == 3) {
        QFile file(shipped);
        if (!file.open(QIODevice::Append) || file.write("x") != 1)
            return 4;
    }
    const bool started = process.openProcess(QStringLiteral("upgrade.exe"), 3);
    out << "error " << process.upgradeProgram()->error() << '\n';
    return started ? 0 : 1;
}
