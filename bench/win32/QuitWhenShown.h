#pragma once

#include <windows.h>

namespace bench {

// Closes the thread's dialog (WM_CLOSE, its own way out) as soon as it is on
// the screen: when its first WM_PAINT is fetched, the dialog and every child
// still to be painted are painted at once, then the close is posted.
class QuitWhenShown {
public:
    QuitWhenShown() {
        s_hook = SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());
    }
    QuitWhenShown(const QuitWhenShown&) = delete;
    QuitWhenShown& operator=(const QuitWhenShown&) = delete;
    ~QuitWhenShown() { Unhook(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        const LRESULT next = CallNextHookEx(s_hook, code, wParam, lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT &&
            message->hwnd) {
            HWND dialog = GetAncestor(message->hwnd, GA_ROOT);
            RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            GdiFlush();
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            Unhook();
        }
        return next;
    }
    static void Unhook() {
        if (s_hook) {
            UnhookWindowsHookEx(s_hook);
            s_hook = nullptr;
        }
    }

    static inline HHOOK s_hook = nullptr;
};

} // namespace bench
