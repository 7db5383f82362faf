#pragma once

#include <string>
#include <vector>
#include <windows.h>

// This test program started again as a child that does one task on a question
// set and ends: "answer PATH COUNT GATE" raises one record after another,
// saving after each, once the event GATE is set, and ends with the number of
// saves that failed; "hold PATH READY RELEASE" holds the set's FileLock from
// setting READY until RELEASE is set; "kill-at MOMENT PATH" raises every
// record and ends itself with kKilled at that moment of the save.
class ChildTask {
public:
    static constexpr UINT kKilled = 77;

    explicit ChildTask(const std::vector<std::wstring>& arguments);
    ChildTask(const ChildTask&) = delete;
    ChildTask& operator=(const ChildTask&) = delete;
    ~ChildTask();

    // Waits for its end; its exit code.
    DWORD Wait();

    // A manual-reset event of this process's own, with its name for a child.
    struct Event {
        HANDLE handle;
        std::wstring name;
    };
    static Event NewEvent();

    // In the child: runs the task when the command line asks for one and
    // returns the exit code; -1 when it does not ask.
    static int RunIfAsked();

    // This test program's own path, at any length, to start it again.
    static std::wstring ProgramPath();

private:
    PROCESS_INFORMATION m_process{};
};
