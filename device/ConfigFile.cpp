#include "ConfigFile.h"

#include "VersionPolicy.h"

#include <QFile>

ConfigFile::ConfigFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        m_encoding = encodingOf(file.read(64 * 1024));
    if (m_encoding == Encoding::Utf8) {
        m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    } else {
        m_copy = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/upvane-config-XXXXXX"));
        const QString copy = m_copy->filePath(QStringLiteral("config.ini"));
        QFile out(copy);
        if (m_encoding == Encoding::Utf16 && file.seek(0) && out.open(QIODevice::WriteOnly))
            out.write(utf8FromUtf16(file.readAll()));
        out.close();
        m_settings = std::make_unique<QSettings>(copy, QSettings::IniFormat);
    }
    VersionPolicy::useUtf8(*m_settings);
}

ConfigFile::~ConfigFile() = default;

ConfigFile::Encoding ConfigFile::encodingOf(const QByteArray &bytes)
{
    const bool utf32 = bytes.startsWith(QByteArray("\xff\xfe\x00\x00", 4)) || bytes.startsWith(QByteArray("\x00\x00\xfe\xff", 4));
    if (utf32)
        return Encoding::Foreign;
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff"))
        return Encoding::Utf16;
    return bytes.contains('\0') ? Encoding::Foreign : Encoding::Utf8;
}

QByteArray ConfigFile::utf8FromUtf16(const QByteArray &bytes)
{
    const bool little = bytes.startsWith("\xff\xfe");
    QString text;
    text.reserve(bytes.size() / 2);
    for (int i = 2; i + 1 < bytes.size(); i += 2) {
        const auto low = static_cast<uchar>(bytes[little ? i : i + 1]);
        const auto high = static_cast<uchar>(bytes[little ? i + 1 : i]);
        text.append(QChar(static_cast<char16_t>(high << 8 | low)));
    }
    return text.toUtf8();
}
