#include "ToolLink.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <deque>

namespace {

// The tool's window: Qt names a window without a title of its own after the
// application, and the tool's application name is this.
constexpr wchar_t ToolWindowTitle[] = L"VELM Upvane";
constexpr wchar_t OwnWindowClass[] = L"Rt48pxStandInUpgrader";
constexpr int FindTimeoutMs = 5000;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}

struct ToolLink::Channel
{
    HWND own = nullptr;
    HWND tool = nullptr;
    std::int32_t handle = 0;
    std::deque<std::string> replies;   // WM_COPYDATA that reached our window, in order

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COPYDATA && lParam) {
            auto *channel = reinterpret_cast<Channel *>(GetWindowLongPtrW(window, GWLP_USERDATA));
            const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
            if (channel) {
                channel->replies.emplace_back(data->lpData ? static_cast<const char *>(data->lpData) : "",
                                              data->lpData ? data->cbData : 0);
            }
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // Handles what is waiting for us (sent messages are handled inside
    // PeekMessageW) and then waits up to `milliseconds` for more.
    void pump(int milliseconds)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (milliseconds > 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(milliseconds), QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    bool toolThere() const { return tool && IsWindow(tool); }
};

ToolLink::ToolLink(std::optional<std::int32_t> announced)
    : m_channel(std::make_unique<Channel>())
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &Channel::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = OwnWindowClass;
    RegisterClassW(&windowClass);
    // A top-level window that is never shown: its handle is what the tool answers.
    m_channel->own = CreateWindowExW(0, OwnWindowClass, L"RT48PX upgrade", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                     nullptr, instance, nullptr);
    if (m_channel->own)
        SetWindowLongPtrW(m_channel->own, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_channel.get()));
    // A window handle has 32 significant bits; the tool takes wParam as an int.
    m_channel->handle = announced.value_or(
        static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(m_channel->own)));
}

ToolLink::~ToolLink()
{
    if (m_channel->own)
        DestroyWindow(m_channel->own);
}

std::int32_t ToolLink::handle() const
{
    return m_channel->handle;
}

bool ToolLink::open()
{
    if (m_channel->toolThere())
        return true;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(FindTimeoutMs);
    for (;;) {
        m_channel->tool = FindWindowW(nullptr, ToolWindowTitle);
        if (m_channel->tool)
            return true;
        if (remainingMs(deadline) == 0)
            return false;
        m_channel->pump(100);
    }
}

bool ToolLink::send(const std::vector<std::string> &messages)
{
    const auto wParam = static_cast<WPARAM>(static_cast<std::intptr_t>(m_channel->handle));
    for (const std::string &message : messages) {
        if (!m_channel->toolThere())
            return false;
        COPYDATASTRUCT data;
        data.dwData = 0;
        data.cbData = static_cast<DWORD>(message.size());
        data.lpData = const_cast<char *>(message.data());
        // Synchronous, as the maker's program sends: returns when the tool has
        // handled the message (the tool's replies that come meanwhile are queued).
        SendMessageW(m_channel->tool, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&data));
    }
    return true;
}

bool ToolLink::awaitReply(std::string *reply, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!m_channel->replies.empty()) {
            *reply = m_channel->replies.front();
            m_channel->replies.pop_front();
            return true;
        }
        if (!m_channel->toolThere() || remainingMs(deadline) == 0)
            return false;
        m_channel->pump(std::min(remainingMs(deadline), 200));
    }
}

void ToolLink::awaitClose(int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_channel->toolThere() && remainingMs(deadline) > 0) {
        m_channel->pump(std::min(remainingMs(deadline), 200));
        m_channel->replies.clear();
    }
}

void ToolLink::idle(int milliseconds)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    do
        m_channel->pump(remainingMs(deadline));
    while (remainingMs(deadline) > 0);
}
