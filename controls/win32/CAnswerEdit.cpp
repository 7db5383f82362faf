#include "controls/win32/CAnswerEdit.h"

#include "controls/win32/WideText.h"

void CAnswerEdit::SetText(const std::string& text) {
    SetWindowTextW(m_hWnd, WideText::FromUtf8(text).c_str());
}

std::string CAnswerEdit::GetText() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return WideText::ToUtf8(text);
}
