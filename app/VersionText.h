#pragma once

#include <QString>

namespace VersionText {

// The short version shown on the start screen: the text left of the last "." of
// `applicationVersion`, shown as "<major>.<minor>.<build>" with the minor at least
// one digit and the build at least three (1.1.107.1 gives 1.1.107). Parts that are
// missing or not numbers count as 0 and an empty major reads "0"; never fails.
QString shortVersion(const QString &applicationVersion);

}
