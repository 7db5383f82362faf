#include "controls/win32/CColorLabel.h"

#include "controls/win32/CAccessibleName.h"
#include "controls/win32/WideText.h"

namespace {
constexpr LONG kBoldWeight = 700;
} // namespace

CColorLabel::CColorLabel() {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(m_logFont), &m_logFont);
    m_font.reset(CreateFontIndirectW(&m_logFont));
    m_textColor = GetSysColor(COLOR_WINDOWTEXT);
    m_backBrush.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
}

CColorLabel::~CColorLabel() = default;

void CColorLabel::SetAppearance(int height, COLORREF backColor, COLORREF textColor) {
    SetBackColor(backColor);
    SetTextColor(textColor);
    SetFontHeight(height);
}

void CColorLabel::SetBackColor(COLORREF color) {
    m_backBrush.reset(); // the old one goes before the new one is made
    m_backBrush.reset(CreateSolidBrush(color));
    Redraw();
}

void CColorLabel::SetTextColor(COLORREF color) {
    m_textColor = color;
    Redraw();
}

void CColorLabel::SetFontHeight(int height) {
    m_logFont.lfHeight = height;
    ReplaceFont();
    Redraw();
}

void CColorLabel::SetBold(bool bold) {
    if (bold) {
        m_logFont.lfWeight |= kBoldWeight;
        ReplaceFont();
        Redraw();
    }
}

void CColorLabel::SetText(const std::string& text) {
    const std::wstring wide = WideText::FromUtf8(text);
    std::wstring old(static_cast<std::size_t>(GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    old.resize(
        static_cast<std::size_t>(GetWindowTextW(m_hWnd, old.data(), static_cast<int>(old.size()))));
    if (wide == old) {
        return;
    }
    // The static control repaints itself when its text changes; screen
    // readers, which take the label's text as its name, are told here.
    SetWindowTextW(m_hWnd, wide.c_str());
    CAccessibleName::NotifyNameChange(m_hWnd);
}

HBRUSH CColorLabel::CtlColor(HDC dc, UINT ctlColor) {
    if (ctlColor == CTLCOLOR_STATIC) {
        SelectObject(dc, m_font.get());
        SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, m_textColor);
    }
    return m_backBrush.get();
}

void CColorLabel::ReplaceFont() {
    m_font.reset(); // the old one goes before the new one is made
    m_font.reset(CreateFontIndirectW(&m_logFont));
}

void CColorLabel::Redraw() {
    // Painted when the message loop next runs, once for every setter called
    // in between; the colour request is answered then.
    InvalidateRect(m_hWnd, nullptr, TRUE);
}
