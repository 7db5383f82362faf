#pragma once

#include <windows.h>

#include <string>

// The single-line edit box the learner types replies into. It adds nothing to
// the window system's edit control but exchanging its text as UTF-8; Enter
// goes on to the dialog.
class CAnswerEdit {
public:
    // Binds the box to its edit control; the helpers need it.
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    void SetText(const std::string& text);
    // The whole text as typed, whatever its length.
    std::string GetText() const;

private:
    HWND m_hWnd = nullptr;
};
