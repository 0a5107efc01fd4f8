#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The version record of a Windows executable (its VS_VERSIONINFO resource, as
// `wrestool --raw -x --type=16` gives it), read back for the tests.
struct VersionRecord
{
    QString fileVersion;      // from the fixed part, "a.b.c.d"; empty when missing
    QString productVersion;   // likewise
    QMap<QString, QString> strings;   // the texts of every string table, by key

    // Parses `data`; a record without the fixed part's signature, or a block
    // that runs past its parent, gives an empty record.
    static VersionRecord parse(const QByteArray &data);
};
