#include "tests/windows/ChildTask.h"

#include "questions/AtomicFile.h"
#include "questions/CpException.h"
#include "questions/FileLock.h"
#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"

#include <atomic>
#include <shellapi.h>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::wstring_view kArgument = L"--child-task";

bool Set(const std::wstring& event) {
    const HANDLE handle = OpenEventW(EVENT_MODIFY_STATE, FALSE, event.c_str());
    const bool set = handle != nullptr && SetEvent(handle);
    if (handle != nullptr) {
        CloseHandle(handle);
    }
    return set;
}

void WaitFor(const std::wstring& event) {
    const HANDLE handle = OpenEventW(SYNCHRONIZE, FALSE, event.c_str());
    if (handle != nullptr) {
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
    }
}

int Answer(const std::wstring& path, int answers, const std::wstring& gate) {
    const auto set = QuestionSetFile::Load(testsupport::Utf8Of(path));
    WaitFor(gate);
    int failed = 0;
    for (int i = 0; i < answers; ++i) {
        set->Records().At(static_cast<std::size_t>(i) % set->Records().Size())->AddCorrect();
        try {
            set->Save();
        } catch (const CpException&) {
            ++failed;
        }
    }
    return failed;
}

int Hold(const std::wstring& path, const std::wstring& ready, const std::wstring& release) {
    const FileLock lock(testsupport::Utf8Of(path));
    if (!Set(ready)) {
        return 2;
    }
    WaitFor(release);
    return 0;
}

AtomicFile::Moment s_killAt;

int KillAt(int moment, const std::wstring& path) {
    s_killAt = static_cast<AtomicFile::Moment>(moment);
    AtomicFile::SetFaultHook([](AtomicFile::Moment reached) {
        if (reached == s_killAt) {
            TerminateProcess(GetCurrentProcess(), ChildTask::kKilled);
        }
    });
    const auto set = QuestionSetFile::Load(testsupport::Utf8Of(path));
    for (std::size_t i = 0; i < set->Records().Size(); ++i) {
        set->Records().At(i)->AddCorrect();
    }
    set->Save();
    return 1; // only the moment may end it
}

} // namespace

std::wstring ChildTask::ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

ChildTask::ChildTask(const std::vector<std::wstring>& arguments) {
    std::wstring command = L"\"" + ProgramPath() + L"\" " + std::wstring(kArgument);
    for (const std::wstring& argument : arguments) {
        command += L" \"" + argument + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_process)) {
        throw std::runtime_error("cannot start the child");
    }
}

ChildTask::~ChildTask() {
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 1);
    }
    WaitForSingleObject(m_process.hProcess, INFINITE);
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
}

DWORD ChildTask::Wait() {
    WaitForSingleObject(m_process.hProcess, INFINITE);
    DWORD exit = 0;
    GetExitCodeProcess(m_process.hProcess, &exit);
    return exit;
}

ChildTask::Event ChildTask::NewEvent() {
    static std::atomic<int> made{0};
    Event event;
    event.name = L"Local\\kirabel-child-task-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(made++);
    event.handle = CreateEventW(nullptr, TRUE, FALSE, event.name.c_str());
    return event;
}

int ChildTask::RunIfAsked() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> asked;
    if (arguments != nullptr && count >= 3 && arguments[1] == kArgument) {
        asked.assign(arguments + 2, arguments + count);
    }
    LocalFree(arguments);
    if (asked.empty()) {
        return -1;
    }
    try {
        if (asked[0] == L"answer" && asked.size() == 4) {
            return Answer(asked[1], std::stoi(asked[2]), asked[3]);
        }
        if (asked[0] == L"hold" && asked.size() == 4) {
            return Hold(asked[1], asked[2], asked[3]);
        }
        if (asked[0] == L"kill-at" && asked.size() == 3) {
            return KillAt(std::stoi(asked[1]), asked[2]);
        }
    } catch (...) {
    }
    return 3;
}
