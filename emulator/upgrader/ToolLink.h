#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The stand-in's side of its conversation with the tool. Every call blocks until
// done or failed.
//   Windows (ToolLink_win.cpp): real window messages, as the maker's program
//     talks. The stand-in owns a hidden top-level window, finds the tool's window
//     by its title "VELM Upvane" (FindWindowW) and sends WM_COPYDATA to it with
//     SendMessageW, wParam its own window handle; the tool's WM_COPYDATA replies
//     to that window are queued for awaitReply.
//   Elsewhere (ToolLink_unix.cpp): the tool's status channel, a local socket
//     (upgrade/StatusChannel.h names the place, StatusFrame.h the frames).
class ToolLink
{
public:
    // `announced`: the handle to put into every message instead of the own one
    // (Windows: the window handle; elsewhere: the process id).
    explicit ToolLink(std::optional<std::int32_t> announced);
    ~ToolLink();
    ToolLink(const ToolLink &) = delete;
    ToolLink &operator=(const ToolLink &) = delete;

    // The handle every message carries.
    std::int32_t handle() const;
    // Finds the tool (waiting up to 5 s for it); true when found (also when it was
    // already).
    bool open();
    // Sends `messages` back to back, each with our handle. false when the tool is
    // gone.
    bool send(const std::vector<std::string> &messages);
    // The bytes of the tool's next reply. false when the tool went away, sent
    // something unreadable, or `timeoutMs` passed first.
    bool awaitReply(std::string *reply, int timeoutMs);
    // Returns when the tool has gone or `timeoutMs` passed; replies that come
    // meanwhile are dropped.
    void awaitClose(int timeoutMs);
    // Waits `milliseconds` while staying reachable for the tool. Never fails.
    void idle(int milliseconds);

private:
    struct Channel;
    std::unique_ptr<Channel> m_channel;
};
