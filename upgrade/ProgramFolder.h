#pragma once

#include <QString>

// The folder the program ships in, where config.ini, data.ini, Report/ and
// upgradefile/ are looked for: the executable's own folder unless a caller of
// the native side has named another (tests and tools; QML cannot reach this).
class ProgramFolder
{
public:
    // The folder (forward slashes, no trailing slash). Never fails.
    static QString path();
    // Makes `folder` the program folder from now on; an empty one restores the executable's.
    static void setPath(const QString &folder);
};
