#include "controls/win32/WideText.h"

#include "utility/win32/Utf16.h"

std::wstring WideText::FromUtf8(std::string_view utf8) {
    return Utf16::FromUtf8Replacing(utf8);
}

std::string WideText::ToUtf8(std::wstring_view wide) {
    return Utf16::ToUtf8(wide);
}
