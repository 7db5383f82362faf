#pragma once

#include "controls/win32/GdiObject.h"

#include <windows.h>

#include <string>

// A static text control in a colour, a font and over a background of its own.
// The window system's static control still draws the text; the label answers
// the colour request (WM_CTLCOLORSTATIC) that its parent hands it, and has a
// change of look painted once the message loop runs. The font is made
// from the default GUI font's description, edited in place, so a height set
// earlier survives SetBold and the other way round.
class CColorLabel {
public:
    CColorLabel();
    CColorLabel(const CColorLabel&) = delete;
    CColorLabel& operator=(const CColorLabel&) = delete;
    ~CColorLabel();

    // Binds the label to its static control; the setters need it.
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // SetBackColor, SetTextColor and SetFontHeight, in that order.
    void SetAppearance(int height, COLORREF backColor, COLORREF textColor);
    void SetBackColor(COLORREF color);
    void SetTextColor(COLORREF color);
    // The character cell height in logical units.
    void SetFontHeight(int height);
    // ORs the bold weight (700) into the weight: 400 becomes 956, 700 stays.
    void SetBold(bool bold);
    // UTF-8. Screen readers, which name the label by its text, are told of a
    // new text.
    void SetText(const std::string& text);

    // The answer to the colour request: for a static control, the font, the
    // text colour and a transparent text background go into the device
    // context; for any kind, the background brush comes back.
    HBRUSH CtlColor(HDC dc, UINT ctlColor);

private:
    void ReplaceFont();
    void Redraw();

    LOGFONTW m_logFont{};
    COLORREF m_textColor;
    GdiObject<HBRUSH> m_backBrush;
    GdiObject<HFONT> m_font;
    HWND m_hWnd = nullptr;
};
