#include "UpgradeEventFilter.h"

#include "UpgradeProgram.h"

#include <QDebug>

#include <qt_windows.h>

#include <limits>

void UpgradeEventFilter::openChannel()
{
    // Window messages need no set-up: the status messages reach the tool's
    // windows and come through nativeEventFilter.
}

void UpgradeEventFilter::setProgram(UpgradeProgram *program)
{
    m_program = program;   // window messages always reach the tool: reports are possible
}

bool UpgradeEventFilter::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (!msg || msg->message != WM_COPYDATA)
        return false;
    const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(msg->lParam);
    if (!data || data->cbData > DWORD(std::numeric_limits<int>::max()))
        return false;
    // The sender's window handle, as the 32 significant bits of an HWND.
    const int handle = static_cast<int>(static_cast<qint64>(msg->wParam));
    QByteArray text;
    if (data->lpData && data->cbData > 0)
        text = QByteArray(static_cast<const char *>(data->lpData), static_cast<int>(data->cbData));
    // The sender is the process that owns the window it names. One that names
    // none cannot be told from any other: it is heard while the program runs
    // (and cannot be answered).
    DWORD pid = 0;
    if (msg->wParam)
        GetWindowThreadProcessId(reinterpret_cast<HWND>(msg->wParam), &pid);
    const bool taken = msg->wParam ? takesFrom(qint64(pid)) : (m_program && m_program->isAwaited());
    statusArrived(text, handle, qint64(pid), taken);
    return false;
}

void UpgradeEventFilter::deliver(int handle, const QByteArray &bytes)
{
    COPYDATASTRUCT data;
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(bytes.size());
    data.lpData = const_cast<char *>(bytes.constData());   // NUL-terminated beyond cbData
    // A sign-extended handle addresses the same window as the one that sent it.
    const HWND window = reinterpret_cast<HWND>(static_cast<qintptr>(handle));
    // Bounded: a hung upgrade program must not freeze the tool. Messages sent to
    // the tool meanwhile are still handled (no SMTO_BLOCK), as with SendMessageW:
    // the program may report while it handles the answer.
    constexpr UINT TimeoutMs = 5000;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             TimeoutMs, &answer)) {
        const DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT || error == 0)
            qWarning().noquote() << QStringLiteral("Upgrade program did not take the answer within %1 ms (window %2)")
                                        .arg(TimeoutMs)
                                        .arg(handle);
    }
}
