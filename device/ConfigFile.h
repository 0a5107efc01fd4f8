#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// config.ini opened the one way every reader shares. ASCII and UTF-8 (with or
// without a byte-order mark) are read, and repaired in place, through
// VersionPolicy::useUtf8. UTF-16 with a byte-order mark (what Windows editors
// save as "Unicode") is read from a UTF-8 copy: its values count, but the file
// itself is never written. Any other encoding (NUL bytes without a UTF-16 mark,
// UTF-32) reads as empty and is never written either.
class ConfigFile
{
public:
    enum class Encoding { Utf8, Utf16, Foreign };

    explicit ConfigFile(const QString &path);
    ~ConfigFile();
    ConfigFile(const ConfigFile &) = delete;
    ConfigFile &operator=(const ConfigFile &) = delete;

    // An IniFormat QSettings with no group; writes reach config.ini only for Utf8.
    QSettings &settings() { return *m_settings; }
    Encoding encoding() const { return m_encoding; }

    // The encoding of a file with these bytes. Never fails.
    static Encoding encodingOf(const QByteArray &bytes);
    // UTF-16 bytes with their byte-order mark (either order) as UTF-8 text.
    static QByteArray utf8FromUtf16(const QByteArray &bytes);

private:
    Encoding m_encoding = Encoding::Utf8;
    std::unique_ptr<QTemporaryDir> m_copy;   // where a file that is not UTF-8 is read from
    std::unique_ptr<QSettings> m_settings;
};
