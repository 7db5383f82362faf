#include "utility/win32/Wine.h"

#include <windows.h>

bool Wine::IsHost() {
    // Wine's ntdll alone exports this; asked once, it cannot change.
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}
