#include "app/win32/DialogTemplate.h"

namespace {
// Where DLGTEMPLATEEX keeps its count of controls, in WORDs from the start.
constexpr std::size_t kCountIndex = 8;
constexpr WORD kOrdinal = 0xFFFF;
} // namespace

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle, int width, int height,
                               const std::wstring& caption) {
    m_words = {1, 0xFFFF}; // DLGTEMPLATEEX, version 1
    AddDword(0);           // help id
    AddDword(exStyle);
    AddDword(style | DS_SETFONT);
    m_words.push_back(0); // count of controls
    m_words.insert(m_words.end(), {0, 0, static_cast<WORD>(width), static_cast<WORD>(height)});
    m_words.push_back(0); // no menu
    m_words.push_back(0); // the predefined dialog class
    AddText(caption);
    m_words.push_back(static_cast<WORD>(layout::kDialogFontPoints));
    m_words.push_back(FW_NORMAL);
    m_words.push_back(static_cast<WORD>(DEFAULT_CHARSET << 8)); // not italic, default character set
    AddText(
        std::wstring(std::begin(layout::kDialogFontFace), std::end(layout::kDialogFontFace) - 1));
}

void DialogTemplate::AddControl(Kind kind, int id, DWORD style, const DialogRect& rect,
                                const std::wstring& text, bool visible) {
    BeginControl(kind, id, style | (visible ? WS_VISIBLE : 0), rect);
    AddText(text);
    m_words.push_back(0); // no creation data
}

void DialogTemplate::AddPicture(int id, DWORD style, const DialogRect& rect, WORD image,
                                bool visible) {
    BeginControl(Kind::Static, id, style | (visible ? WS_VISIBLE : 0), rect);
    m_words.insert(m_words.end(), {kOrdinal, image});
    m_words.push_back(0);
}

void DialogTemplate::BeginControl(Kind kind, int id, DWORD style, const DialogRect& rect) {
    if (m_words.size() % 2 != 0) {
        m_words.push_back(0); // each control starts on a DWORD boundary
    }
    ++m_words[kCountIndex];
    AddDword(0); // help id
    AddDword(0); // extended style
    AddDword(style | WS_CHILD);
    for (const int value : {rect.x, rect.y, rect.width, rect.height}) {
        m_words.push_back(static_cast<WORD>(value));
    }
    AddDword(static_cast<DWORD>(id));
    m_words.insert(m_words.end(), {kOrdinal, static_cast<WORD>(kind)});
}

void DialogTemplate::AddDword(DWORD value) {
    m_words.push_back(LOWORD(value));
    m_words.push_back(HIWORD(value));
}

void DialogTemplate::AddText(const std::wstring& text) {
    m_words.insert(m_words.end(), text.begin(), text.end());
    m_words.push_back(0);
}
