#pragma once

// Makes the product version known to QCoreApplication::applicationVersion().
class AppVersion
{
public:
    // Windows: nothing to do, Qt reads the executable's version record. Elsewhere:
    // sets the version the build handed in. Call after the application object
    // exists. Never fails.
    static void apply();
};
