#pragma once

#include "res/Layout.h"

#include <windows.h>

#include <string>
#include <vector>

// A dialog template (DLGTEMPLATEEX) built in memory, so that the windows are
// laid out from res/Layout.h alone, in the dialog font it names.
class DialogTemplate {
public:
    // The window system's predefined control classes.
    enum class Kind : WORD { Button = 0x0080, Edit = 0x0081, Static = 0x0082 };

    // `style` gets DS_SETFONT added; the size is in dialog units.
    DialogTemplate(DWORD style, DWORD exStyle, int width, int height, const std::wstring& caption);

    // A control with a text; WS_CHILD, and WS_VISIBLE unless it starts hidden,
    // are added to `style`.
    void AddControl(Kind kind, int id, DWORD style, const DialogRect& rect,
                    const std::wstring& text, bool visible = true);
    // A static picture control showing the bitmap or icon resource `image`.
    void AddPicture(int id, DWORD style, const DialogRect& rect, WORD image, bool visible = true);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    // WS_CHILD is added to `style`.
    void BeginControl(Kind kind, int id, DWORD style, const DialogRect& rect);
    void AddDword(DWORD value);
    void AddText(const std::wstring& text);

    std::vector<WORD> m_words; // starts DWORD-aligned, as the window system needs
};
