#include "app/win32/SessionEndBlock.h"

#include "controls/win32/WideText.h"

void SessionEndBlock::Create(HWND window, const std::string& reason) {
    Destroy();
    // Wine 8 has this only as a stub that fails; the window refuses all the same.
    ShutdownBlockReasonCreate(window, WideText::FromUtf8(reason).c_str());
    m_window = window;
}

void SessionEndBlock::Destroy() {
    if (m_window) {
        ShutdownBlockReasonDestroy(m_window);
        m_window = nullptr;
    }
}
