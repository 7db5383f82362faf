#pragma once

#include <string>
#include <windows.h>

// This test program started again as a child that loads a question set and
// saves it over and over, raising every count each time, until it is killed.
class SaveLoop {
public:
    // Returns once the child has loaded the file and starts saving, or has ended.
    explicit SaveLoop(const std::wstring& path);
    SaveLoop(const SaveLoop&) = delete;
    SaveLoop& operator=(const SaveLoop&) = delete;
    ~SaveLoop();

    DWORD Pid() const { return m_process.dwProcessId; }

    // Kills the child and waits for its end; its exit code, which is `code`
    // unless it ended by itself first.
    DWORD Kill(UINT code);

    // In the child: runs the loop when the command line asks for it and
    // returns the exit code; -1 when it does not ask.
    static int RunIfAsked();

private:
    PROCESS_INFORMATION m_process{};
    HANDLE m_ready = nullptr;
};
