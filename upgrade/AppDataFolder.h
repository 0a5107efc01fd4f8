#pragma once

#include <QString>

// The user's application-data folder, shared by fileIo and ProcessInfo: Qt's
// writable AppDataLocation, formed from the organisation and application names.
class AppDataFolder
{
public:
    // The folder's path (forward slashes, no trailing slash), created with its
    // parents when missing. Never fails: a folder that cannot be created is not
    // detected, the path is returned all the same and later file operations fail.
    static QString path();
};
