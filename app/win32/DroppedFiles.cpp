#include "app/win32/DroppedFiles.h"

#include "controls/win32/WideText.h"

#include <string_view>

namespace {

HMODULE Shell() {
    static const HMODULE shell =
        LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return shell;
}

template <typename Function> Function ShellFunction(const char* name) {
    return Shell() ? reinterpret_cast<Function>(
                         reinterpret_cast<void (*)()>(GetProcAddress(Shell(), name)))
                   : nullptr;
}

// The form the wide calls take past MAX_PATH; the shell hands out absolute paths.
std::wstring Unlimited(const std::wstring& path) {
    if (path.starts_with(LR"(\\?\)")) {
        return path;
    }
    if (path.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + path.substr(2);
    }
    return LR"(\\?\)" + path;
}

} // namespace

std::string DroppedFiles::TakeFirst(HDROP drop) {
    using QueryFile = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
    using Finish = void(WINAPI*)(HDROP);
    static const auto query = ShellFunction<QueryFile>("DragQueryFileW");
    static const auto finish = ShellFunction<Finish>("DragFinish");
    std::wstring path;
    if (query && query(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        // The length without the terminator, which the copy adds.
        path.resize(query(drop, 0, nullptr, 0) + 1);
        path.resize(query(drop, 0, path.data(), static_cast<UINT>(path.size())));
    }
    if (finish) {
        finish(drop);
    }
    if (path.empty()) {
        return std::string();
    }
    const DWORD attributes = GetFileAttributesW(Unlimited(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::string();
    }
    return WideText::ToUtf8(path);
}
