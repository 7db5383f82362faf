#pragma once

#include "app/DrillWindow.h"
#include "app/WindowCommands.h"
#include "app/win32/DialogTemplate.h"
#include "app/win32/SessionEndBlock.h"
#include "controls/win32/CAccessibleName.h"
#include "controls/win32/CAnswerEdit.h"
#include "controls/win32/CColorLabel.h"
#include "controls/win32/GdiObject.h"
#include "session/QuizSession.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

// The main window: a dialog with the question, the answer box, the two marks
// and the next-question button under a File menu, laid out from res/Layout.h.
// It turns each user action into session operations and lets the session drive
// its controls. Esc and Enter never close it; every way of closing saves first,
// the end of the desktop session too. Screen readers get a name for each
// control that shows no text, and on the focused control what it is about:
// the question in the answer box, the result on the button. A file dropped on
// it opens as File > open does.
class CKirabelDlg : public DrillWindow {
public:
    CKirabelDlg();
    CKirabelDlg(const CKirabelDlg&) = delete;
    CKirabelDlg& operator=(const CKirabelDlg&) = delete;
    ~CKirabelDlg() override;

    // The window's dialog template, from res/Layout.h.
    static DialogTemplate Template();
    // The one modal run of the window; IDOK once it has closed.
    INT_PTR DoModal();
    // The window while it runs, else null.
    HWND GetSafeHwnd() const { return m_hWnd; }

    void SetQuestionText(const std::string& text) override;
    void SetAnswerText(const std::string& text) override;
    void SetAnswerTextColor(Color color) override;
    void SetNumberText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetAnswerBoxText(const std::string& text) override;
    std::string GetAnswerBoxText() override;
    void EnableAnswerBox(bool enable) override;
    void EnableNextButton(bool enable) override;
    void ShowRightMark(bool show) override;
    void ShowWrongMark(bool show) override;
    void FocusAnswerBox() override;
    void FocusNextButton() override;
    void SetAnswerDescription(const std::string& text) override;
    void SetHintText(const std::string& text) override;
    void SetAnswerBoxDescription(const std::string& text) override;
    void SetNextButtonDescription(const std::string& text) override;

    // The open dialog; tests answer it themselves.
    std::string ChooseSetFile() override;
    void ShowWarning(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void ClearFocus() override;

    // The black dialog background, one brush for the whole process, made when
    // first asked for.
    static HBRUSH GetBackgroundBrush();
    static void FreeBackgroundBrush();

private:
    // One control of the layout, in its kind's window class and styles.
    static void AddControl(DialogTemplate& dialog, const layout::mainWindow::Placement& control);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    bool OnSysCommand(UINT id);
    bool OnPaint();
    HICON OnQueryDragIcon() const { return m_hIcon; }
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlColor);
    bool OnCommand(UINT id);
    void OnOK();
    void OnCancel();
    void OnNextButton();
    void OnFileOpenSet();
    void OnDropFiles(HDROP drop);
    void OnFileExit();
    void OnClose();
    void OnDpiChanged(UINT dpi);
    // Shutdown, logoff or an update's restart: WindowCommands decides; a
    // hold-up comes with a reason Windows shows.
    BOOL OnQueryEndSession(LPARAM flags);
    void OnEndSession(bool ending);
    // A dialog procedure hands a message's result over in DWLP_MSGRESULT.
    INT_PTR Result(LRESULT result);

    // Binds the control members to the template's controls.
    void DoDataExchange();
    void CreateMenus();
    // The window's size for the client area the layout gives, below the menu
    // bar that the template leaves out.
    SIZE LayoutWindowSize() const;
    void ClipFrames();
    // Saves, then ends the modal run, unless the save failed and the learner
    // keeps the window.
    void SaveAndEnd();
    // Shows or hides a mark, and tells screen readers where the system does not.
    static void ShowMark(HWND mark, bool show);

    static GdiObject<HBRUSH> s_backgroundBrush;

    HWND m_wrongMark = nullptr;
    CAccessibleName m_wrongMarkAccess;
    HWND m_rightMark = nullptr;
    CAccessibleName m_rightMarkAccess;
    CColorLabel m_numberLabel;
    CColorLabel m_statusLabel;
    HWND m_nextButton = nullptr;
    CAccessibleName m_nextButtonAccess;
    CColorLabel m_answerLabel;
    CAccessibleName m_answerLabelAccess; // the result of a check, as its description
    CColorLabel m_hintLabel;
    CAnswerEdit m_answerEdit;
    CAccessibleName m_answerEditAccess;
    CColorLabel m_questionLabel;
    HICON m_hIcon; // shared (LoadIcon): the system frees it, never the window
    GdiObject<HBITMAP> m_nextBitmap;
    QuizSession m_session;
    WindowCommands m_commands{m_session, *this};
    SessionEndBlock m_endBlock;
    HWND m_hWnd = nullptr;
};
