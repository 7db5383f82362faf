#pragma once

#include <string>

// The form of a path that the wide Windows API takes at any length: absolute,
// with "\\?\" in front, so that no MAX_PATH limit applies. Windows only.
class LongPath {
public:
    // Empty when the path is not UTF-8 or cannot be made absolute.
    static std::wstring Of(const std::string& utf8);
    // The folder part and the name part of a path in that form.
    static std::wstring FolderOf(const std::wstring& path);
    static std::wstring NameOf(const std::wstring& path);
    // The path an open handle (a HANDLE) reached, links followed, in the
    // "\\?\" form; empty on failure.
    static std::wstring FinalOf(void* handle);
};
