#include "app/win32/CKirabelDlg.h"

#include "app/win32/CAboutBox.h"
#include "app/win32/DroppedFiles.h"
#include "app/win32/WindowPlacement.h"
#include "controls/win32/WideText.h"
#include "res/Colors.h"
#include "res/Layout.h"
#include "res/Strings.h"
#include "res/win32/ResourceIds.h"

#include <commdlg.h>

#include <vector>

namespace {

// The shared colours are COLORREF values already.
static_assert(Rgb(12, 34, 56) == RGB(12, 34, 56));

// Sent to itself once the modal run has the window on the screen.
constexpr UINT kCheckSystem = WM_APP;
// After the dialog manager has laid the window out for a new dpi.
constexpr UINT kFitToLayout = WM_APP + 1;

// Long paths, not just MAX_PATH; the longest a wide path can be.
constexpr std::size_t kPathBufferSize = 32768;

// A label's font height, given in pixels at 96 dpi, at `dpi`.
int HeightAt(int height, UINT dpi) {
    return MulDiv(height, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

std::wstring Wide(const char* utf8) {
    return WideText::FromUtf8(utf8);
}

} // namespace

DialogTemplate CKirabelDlg::Template() {
    namespace win = layout::mainWindow;
    DialogTemplate dialog(
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME,
        WS_EX_APPWINDOW | WS_EX_ACCEPTFILES, win::kWidth, win::kHeight, Wide(strings::kAppName));
    // The dialog manager tabs in template order.
    for (const win::Placement& placement : win::kControls) {
        AddControl(dialog, placement);
    }
    return dialog;
}

void CKirabelDlg::AddControl(DialogTemplate& dialog, const layout::mainWindow::Placement& control) {
    using Kind = DialogTemplate::Kind;
    using ControlKind = layout::mainWindow::ControlKind;
    // The learner's text as it is; kept off the frame lines above it (ClipFrames).
    constexpr DWORD kLabel = SS_NOPREFIX | WS_GROUP | WS_CLIPSIBLINGS;
    const DWORD style = (layout::mainWindow::IsTabStop(control.control) ? WS_TABSTOP : 0) |
                        (control.enabled ? 0 : WS_DISABLED);
    switch (control.kind) {
    case ControlKind::Frame:
        dialog.AddControl(Kind::Button, control.id, BS_GROUPBOX | style, control.rect, L"",
                          control.shown);
        break;
    case ControlKind::Edit:
        dialog.AddControl(Kind::Edit, control.id, WS_BORDER | ES_AUTOHSCROLL | style, control.rect,
                          L"", control.shown);
        break;
    case ControlKind::Label:
        dialog.AddControl(Kind::Static, control.id, SS_LEFT | kLabel | style, control.rect, L"",
                          control.shown);
        break;
    case ControlKind::LineLabel:
        dialog.AddControl(Kind::Static, control.id, SS_LEFTNOWORDWRAP | kLabel | style,
                          control.rect, L"", control.shown);
        break;
    case ControlKind::Button:
        dialog.AddControl(Kind::Button, control.id, BS_PUSHBUTTON | BS_BITMAP | style, control.rect,
                          L"", control.shown);
        break;
    case ControlKind::Picture:
        dialog.AddPicture(control.id, SS_BITMAP | style, control.rect,
                          static_cast<WORD>(control.picture.bitmap), control.shown);
        break;
    }
}

GdiObject<HBRUSH> CKirabelDlg::s_backgroundBrush;

CKirabelDlg::CKirabelDlg()
    : m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CKirabelDlg::~CKirabelDlg() {
    QuizSession::SetOwner(nullptr);
}

INT_PTR CKirabelDlg::DoModal() {
    const DialogTemplate dialog = Template();
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), nullptr, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
}

HBRUSH CKirabelDlg::GetBackgroundBrush() {
    if (!s_backgroundBrush) {
        s_backgroundBrush.reset(CreateSolidBrush(colors::kBlack));
    }
    return s_backgroundBrush.get();
}

void CKirabelDlg::FreeBackgroundBrush() {
    s_backgroundBrush.reset();
}

INT_PTR CALLBACK CKirabelDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CKirabelDlg*>(lParam)->m_hWnd = hwnd;
    }
    auto* self = reinterpret_cast<CKirabelDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CKirabelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam));
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                    reinterpret_cast<HWND>(lParam),
                                                    message - WM_CTLCOLORMSGBOX));
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_QUERYENDSESSION:
        return Result(OnQueryEndSession(lParam));
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return Result(0);
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam));
        return FALSE; // the dialog manager lays the window out anew
    case kCheckSystem:
        m_commands.CheckSystem();
        return TRUE;
    case kFitToLayout: {
        const SIZE size = LayoutWindowSize();
        SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ClipFrames();
        return TRUE;
    }
    case WM_DESTROY:
        m_endBlock.Destroy();
        m_hWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CKirabelDlg::OnInitDialog() {
    DoDataExchange();
    CreateMenus();
    WindowPlacement::Center(m_hWnd, nullptr, LayoutWindowSize());
    ClipFrames();
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    namespace win = layout::mainWindow;
    const UINT dpi = GetDpiForWindow(m_hWnd);
    const auto setUp = [dpi](CColorLabel& label, const LabelFont& font, const char* text) {
        label.SetAppearance(HeightAt(font.height, dpi), colors::kBlack, colors::kWhite);
        if (font.bold) {
            label.SetBold(true);
        }
        label.SetText(text);
    };
    setUp(m_questionLabel, win::kQuestionFont, strings::kQuestionStart);
    setUp(m_answerLabel, win::kAnswerFont, strings::kAnswerStart);
    setUp(m_numberLabel, win::kNumberFont, strings::kNumberStart);
    setUp(m_statusLabel, win::kStatusFont, "");
    setUp(m_hintLabel, win::kHintFont, "");
    m_answerEditAccess.SetName(strings::kAnswerBoxName);
    m_nextButtonAccess.SetName(strings::kNextButtonName);
    m_rightMarkAccess.SetName(strings::kRightName);
    m_wrongMarkAccess.SetName(strings::kWrongName);

    // Not LR_SHARED: the button only shows the bitmap, the window deletes it.
    m_nextBitmap.reset(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                       MAKEINTRESOURCEW(IDB_NEXT_QUESTION),
                                                       IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    SendMessageW(m_nextButton, BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(m_nextBitmap.get()));

    m_commands.StopAsking();
    QuizSession::SetOwner(this);
    PostMessageW(m_hWnd, kCheckSystem, 0, 0);
    return FALSE; // the focus is placed already: nowhere
}

void CKirabelDlg::DoDataExchange() {
    m_wrongMark = GetDlgItem(m_hWnd, IDC_WRONG_MARK);
    m_wrongMarkAccess.Attach(m_wrongMark);
    m_rightMark = GetDlgItem(m_hWnd, IDC_RIGHT_MARK);
    m_rightMarkAccess.Attach(m_rightMark);
    m_numberLabel.Attach(GetDlgItem(m_hWnd, IDC_NUMBER_LABEL));
    m_statusLabel.Attach(GetDlgItem(m_hWnd, IDC_STATUS_LABEL));
    m_nextButton = GetDlgItem(m_hWnd, IDC_NEXT_BUTTON);
    m_nextButtonAccess.Attach(m_nextButton);
    m_answerLabel.Attach(GetDlgItem(m_hWnd, IDC_ANSWER_LABEL));
    m_answerLabelAccess.Attach(m_answerLabel.GetSafeHwnd());
    m_hintLabel.Attach(GetDlgItem(m_hWnd, IDC_HINT_LABEL));
    m_answerEdit.Attach(GetDlgItem(m_hWnd, IDC_ANSWER_EDIT));
    m_answerEditAccess.Attach(m_answerEdit.GetSafeHwnd());
    m_questionLabel.Attach(GetDlgItem(m_hWnd, IDC_QUESTION_LABEL));
}

void CKirabelDlg::CreateMenus() {
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, ID_FILE_OPENSET, Wide(strings::kOpenSetItem).c_str());
    AppendMenuW(file, MF_STRING, ID_FILE_EXIT, Wide(strings::kExitItem).c_str());
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), Wide(strings::kFileMenu).c_str());
    SetMenu(m_hWnd, bar); // destroyed with the window

    if (HMENU system = GetSystemMenu(m_hWnd, FALSE)) {
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, Wide(strings::kAboutItem).c_str());
    }
}

SIZE CKirabelDlg::LayoutWindowSize() const {
    RECT wanted{0, 0, layout::mainWindow::kWidth, layout::mainWindow::kHeight};
    MapDialogRect(m_hWnd, &wanted);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    return {window.right - window.left + wanted.right - client.right,
            window.bottom - window.top + wanted.bottom - client.bottom};
}

// A group frame lies above the labels it encloses, which clip their siblings
// above them: cut to its outline, it keeps its lines out of their painting, or
// the answer label would paint over the bottom line of its frame.
void CKirabelDlg::ClipFrames() {
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[8] = {};
        GetClassNameW(child, kind, static_cast<int>(std::size(kind)));
        if (lstrcmpiW(kind, L"Button") != 0 ||
            (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX) {
            continue;
        }
        RECT frame{};
        GetClientRect(child, &frame);
        // The top line runs through the middle of the (empty) caption's line,
        // whose height is the dialog font's: eight vertical dialog units.
        RECT line{0, 0, 0, 8};
        MapDialogRect(m_hWnd, &line);
        constexpr int kLine = 2; // the etched line's width
        GdiObject<HRGN> outline(CreateRectRgn(0, 0, frame.right, frame.bottom));
        const GdiObject<HRGN> inside(CreateRectRgn(kLine, line.bottom / 2 + kLine,
                                                   frame.right - kLine, frame.bottom - kLine));
        CombineRgn(outline.get(), outline.get(), inside.get(), RGN_DIFF);
        // Nothing to redraw before the window is shown. Once set, the region
        // is the window's, which deletes it.
        if (SetWindowRgn(child, outline.get(), IsWindowVisible(m_hWnd))) {
            outline.release();
        }
    }
}

bool CKirabelDlg::OnSysCommand(UINT id) {
    if ((id & 0xFFF0) != IDM_ABOUTBOX) {
        return false; // move, minimise, close: the default processing
    }
    CAboutBox box;
    box.DoModal(m_hWnd);
    return true;
}

bool CKirabelDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        return false;
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
             (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

HBRUSH CKirabelDlg::OnCtlColor(HDC dc, HWND control, UINT ctlColor) {
    if (ctlColor == CTLCOLOR_DLG) {
        return GetBackgroundBrush();
    }
    // Each label answers for itself; the other controls get the system colours.
    for (CColorLabel* label :
         {&m_questionLabel, &m_answerLabel, &m_hintLabel, &m_numberLabel, &m_statusLabel}) {
        if (control == label->GetSafeHwnd()) {
            return label->CtlColor(dc, ctlColor);
        }
    }
    return nullptr;
}

bool CKirabelDlg::OnCommand(UINT id) {
    switch (id) {
    case IDOK: // Enter, wherever no focused button takes it
        OnOK();
        return true;
    case IDCANCEL: // Esc
        OnCancel();
        return true;
    case IDC_NEXT_BUTTON:
        OnNextButton();
        return true;
    case ID_FILE_OPENSET:
        OnFileOpenSet();
        return true;
    case ID_FILE_EXIT:
        OnFileExit();
        return true;
    default:
        return false;
    }
}

void CKirabelDlg::OnOK() {
    m_commands.CheckAnswer();
}

void CKirabelDlg::OnCancel() {}

void CKirabelDlg::OnNextButton() {
    m_commands.NextQuestion();
}

void CKirabelDlg::OnFileOpenSet() {
    m_commands.OpenSet();
}

// While a box or the open dialog is up, the window is disabled: a drop then
// does nothing, as a click would.
void CKirabelDlg::OnDropFiles(HDROP drop) {
    const std::string path = DroppedFiles::TakeFirst(drop);
    if (!path.empty() && IsWindowEnabled(m_hWnd)) {
        m_commands.OpenSet(path);
    }
}

void CKirabelDlg::OnFileExit() {
    SaveAndEnd();
}

void CKirabelDlg::OnClose() {
    SaveAndEnd();
}

void CKirabelDlg::OnDpiChanged(UINT dpi) {
    // The labels' fonts are their own: the dialog manager scales only its font.
    namespace win = layout::mainWindow;
    m_questionLabel.SetFontHeight(HeightAt(win::kQuestionFont.height, dpi));
    m_answerLabel.SetFontHeight(HeightAt(win::kAnswerFont.height, dpi));
    m_numberLabel.SetFontHeight(HeightAt(win::kNumberFont.height, dpi));
    m_statusLabel.SetFontHeight(HeightAt(win::kStatusFont.height, dpi));
    m_hintLabel.SetFontHeight(HeightAt(win::kHintFont.height, dpi));
    PostMessageW(m_hWnd, kFitToLayout, 0, 0);
}

void CKirabelDlg::SaveAndEnd() {
    if (m_commands.MayClose()) {
        FreeBackgroundBrush();
        EndDialog(m_hWnd, IDOK);
    }
}

// Nobody may be asked, as Windows waits only seconds; it shows the reason of
// a hold-up itself.
BOOL CKirabelDlg::OnQueryEndSession(LPARAM flags) {
    const bool critical = (flags & ENDSESSION_CRITICAL) != 0;
    if (m_commands.QueryEndSession([] { return false; }, critical) == SessionEndAnswer::Allow) {
        m_endBlock.Destroy();
        return TRUE;
    }
    m_endBlock.Create(m_hWnd, strings::kEndBlockedReason);
    return FALSE;
}

// Windows ends the process soon after this returns (logoff, shutdown); the
// Restart Manager (ENDSESSION_CLOSEAPP) waits for the program to close itself.
// Either way the modal run ends as a close does. When the end was cancelled
// the drill goes on.
void CKirabelDlg::OnEndSession(bool ending) {
    m_endBlock.Destroy();
    if (!ending) {
        m_commands.SessionEndCalledOff();
        return;
    }
    m_commands.SaveAtSessionEnd(); // nothing is written when the query saved it all
    FreeBackgroundBrush();
    EndDialog(m_hWnd, IDOK);
}

INT_PTR CKirabelDlg::Result(LRESULT result) {
    SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

void CKirabelDlg::SetQuestionText(const std::string& text) {
    m_questionLabel.SetText(text);
}

void CKirabelDlg::SetAnswerText(const std::string& text) {
    m_answerLabel.SetText(text);
}

// The hint belongs to the answer line and takes its colour.
void CKirabelDlg::SetAnswerTextColor(Color color) {
    m_answerLabel.SetTextColor(color);
    m_hintLabel.SetTextColor(color);
}

void CKirabelDlg::SetHintText(const std::string& text) {
    m_hintLabel.SetText(text);
    const bool show = !text.empty();
    if ((ShowWindow(m_hintLabel.GetSafeHwnd(), show ? SW_SHOW : SW_HIDE) != FALSE) != show) {
        CAccessibleName::NotifyShown(m_hintLabel.GetSafeHwnd(), show);
    }
}

void CKirabelDlg::SetNumberText(const std::string& text) {
    m_numberLabel.SetText(text);
}

void CKirabelDlg::SetStatusText(const std::string& text) {
    m_statusLabel.SetText(text);
}

void CKirabelDlg::SetAnswerBoxText(const std::string& text) {
    m_answerEdit.SetText(text);
}

std::string CKirabelDlg::GetAnswerBoxText() {
    return m_answerEdit.GetText();
}

void CKirabelDlg::EnableAnswerBox(bool enable) {
    EnableWindow(m_answerEdit.GetSafeHwnd(), enable);
}

void CKirabelDlg::EnableNextButton(bool enable) {
    EnableWindow(m_nextButton, enable);
}

void CKirabelDlg::ShowRightMark(bool show) {
    ShowMark(m_rightMark, show);
}

void CKirabelDlg::ShowWrongMark(bool show) {
    ShowMark(m_wrongMark, show);
}

void CKirabelDlg::ShowMark(HWND mark, bool show) {
    const bool wasShown = ShowWindow(mark, show ? SW_SHOW : SW_HIDE) != FALSE;
    if (wasShown != show) {
        CAccessibleName::NotifyShown(mark, show);
    }
}

// Through the dialog manager, so that a focused push button becomes the
// default one and takes Enter, and the answer box gets its text selected.
void CKirabelDlg::FocusAnswerBox() {
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_answerEdit.GetSafeHwnd()), TRUE);
}

void CKirabelDlg::FocusNextButton() {
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_nextButton), TRUE);
}

void CKirabelDlg::SetAnswerDescription(const std::string& text) {
    m_answerLabelAccess.SetDescription(text);
}

void CKirabelDlg::SetAnswerBoxDescription(const std::string& text) {
    m_answerEditAccess.SetDescription(text, true);
}

void CKirabelDlg::SetNextButtonDescription(const std::string& text) {
    m_nextButtonAccess.SetDescription(text, true);
}

void CKirabelDlg::ClearFocus() {
    SetFocus(nullptr);
}

std::string CKirabelDlg::ChooseSetFile() {
    const std::wstring pattern = Wide(strings::kSetFilePattern);
    const std::wstring filter =
        Wide(strings::kSetFileFilter) + L'\0' + pattern + L'\0'; // c_str() adds the last NUL
    const std::wstring suffix = Wide(strings::kSetFileSuffix);
    std::vector<wchar_t> path(kPathBufferSize, L'\0');
    pattern.copy(path.data(), pattern.size());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = suffix.c_str();
    // The working directory stays as it was.
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    // Loaded when first needed: imported, the common dialogs (and the shell
    // they load) would slow every start of the program.
    using OpenDialog = BOOL(WINAPI*)(OPENFILENAMEW*);
    static const auto open = reinterpret_cast<OpenDialog>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                       "GetOpenFileNameW")));
    if (!open || !open(&dialog)) {
        return std::string();
    }
    return WideText::ToUtf8(path.data());
}

void CKirabelDlg::ShowWarning(const std::string& text) {
    MessageBoxW(m_hWnd, WideText::FromUtf8(text).c_str(), Wide(strings::kAppName).c_str(),
                MB_OK | MB_ICONWARNING);
}

bool CKirabelDlg::AskYesNo(const std::string& text) {
    return MessageBoxW(m_hWnd, WideText::FromUtf8(text).c_str(), Wide(strings::kAppName).c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
