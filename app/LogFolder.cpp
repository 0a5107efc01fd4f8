#include "LogFolder.h"

#include <QDesktopServices>
#include <QUrl>

LogFolder::LogFolder(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
{
}

bool LogFolder::open() const
{
    // From C++: Qt.openUrlExternally would resolve the URL against the page's
    // qrc: address and lose the file URL's empty host.
    return !m_path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(m_path));
}
