#pragma once

#include <windows.h>

#include <memory>
#include <string>

// What screen readers are told of one control besides what the window system
// says of it: a name of its own (for a control that shows no text) and a
// description. The control answers the request for its client object
// (WM_GETOBJECT, OBJID_CLIENT) with the system's own object for it, in which
// only these two are replaced; everything else (role, state, value, place)
// stays the system's. All the window code's accessibility calls are here.
class CAccessibleName {
public:
    CAccessibleName();
    CAccessibleName(const CAccessibleName&) = delete;
    CAccessibleName& operator=(const CAccessibleName&) = delete;
    ~CAccessibleName();

    // Starts answering for the control; the control must outlive this object
    // or be destroyed with it.
    void Attach(HWND hwnd);
    // UTF-8. Replaces the name that the window text would give.
    void SetName(const std::string& name);
    // UTF-8; empty for none. Screen readers are told when it changes, or,
    // for one read as the focus lands (`onFocus`), only while the control has
    // the focus already: told of it beforehand too, a screen reader that
    // handles the change late would say it twice.
    void SetDescription(const std::string& description, bool onFocus = false);

    // Tells screen readers that the control's name (its window text) changed.
    static void NotifyNameChange(HWND hwnd);
    // Tells screen readers that the control was shown or hidden, where the
    // window system does not tell them itself.
    static void NotifyShown(HWND hwnd, bool shown);

    // What a client object answers; shared with the objects handed out, which
    // may outlive the control.
    struct Texts;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT ClientObject(WPARAM wParam);

    std::shared_ptr<Texts> m_texts;
    HWND m_hWnd = nullptr;
};
