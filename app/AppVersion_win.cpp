#include "AppVersion.h"

void AppVersion::apply()
{
    // QCoreApplication::applicationVersion() comes from the VERSIONINFO record.
}
