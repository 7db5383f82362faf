#include "tests/windows/SaveLoop.h"

#include "tests/TestSupport.h"
#include "tests/support/KillLoop.h"
#include "tests/windows/ChildTask.h"

#include <atomic>
#include <shellapi.h>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

constexpr std::wstring_view kArgument = L"--save-loop";

} // namespace

SaveLoop::SaveLoop(const std::wstring& path) {
    static std::atomic<int> started{0};
    const std::wstring event = L"Local\\kirabel-save-loop-" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(started++);
    m_ready = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    std::wstring command = L"\"" + ChildTask::ProgramPath() + L"\" " + std::wstring(kArgument) +
                           L" \"" + path + L"\" " + event;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (m_ready == nullptr || !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &startup, &m_process)) {
        throw std::runtime_error("cannot start the saving child");
    }
    const HANDLE either[] = {m_ready, m_process.hProcess};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
}

SaveLoop::~SaveLoop() {
    if (m_process.hProcess != nullptr) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, INFINITE);
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
    if (m_ready != nullptr) {
        CloseHandle(m_ready);
    }
}

DWORD SaveLoop::Kill(UINT code) {
    TerminateProcess(m_process.hProcess, code);
    WaitForSingleObject(m_process.hProcess, INFINITE);
    DWORD exit = 0;
    GetExitCodeProcess(m_process.hProcess, &exit);
    return exit;
}

int SaveLoop::RunIfAsked() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const bool asked = arguments != nullptr && count == 4 && arguments[1] == kArgument;
    const std::wstring path = asked ? arguments[2] : L"", event = asked ? arguments[3] : L"";
    LocalFree(arguments);
    if (!asked) {
        return -1;
    }
    bool told = true;
    try {
        testsupport::SaveForEver(path, [&] {
            const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, event.c_str());
            told = ready != nullptr && SetEvent(ready);
            if (!told) {
                throw std::runtime_error("cannot tell the parent");
            }
        });
    } catch (...) {
    }
    return told ? 1 : 2; // only the kill may end it
}
