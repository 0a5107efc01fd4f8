#pragma once

#include <QString>

// The folder for this user's local sockets (the status channel and the
// single-instance hand-over) where they are files: one that is the user's own
// and that no one else may enter. Unix only.
class SocketFolder
{
public:
    // $XDG_RUNTIME_DIR when it is such a folder; otherwise "upvane-<uid>" in the
    // temporary folder, made with mode 0700 when missing and held to the same
    // test. Returns an empty path, with `problem` set to a sentence saying why,
    // when neither is private.
    static QString path(QString *problem = nullptr);
};
