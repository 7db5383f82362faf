#include "app/win32/CKirabelDlg.h"
#include "controls/win32/WideText.h"
#include "questions/Cp932.h"
#include "res/Layout.h"
#include "res/Strings.h"
#include "res/win32/ResourceIds.h"
#include "session/QuestionPool.h"
#include "tests/TestSupport.h"
#include "tests/app/win32/PngWriter.h"
#include "tests/support/DrillFixture.h"

#include <windows.h>

#include <oleacc.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using testsupport::ReadBytes;

namespace {

std::wstring W(const std::string& utf8) {
    return WideText::FromUtf8(utf8);
}

std::string U8(const std::wstring& wide) {
    return WideText::ToUtf8(wide);
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

// The window with its file chooser answered by the test; the message boxes and
// the about box are the real ones.
class TestDlg : public CKirabelDlg {
public:
    std::deque<std::string> choices; // the chooser's answers in turn; "" cancels

    std::string ChooseSetFile() override {
        if (choices.empty()) {
            return "";
        }
        std::string choice = choices.front();
        choices.pop_front();
        return choice;
    }
    std::string RealChooseSetFile() { return CKirabelDlg::ChooseSetFile(); }
};

// Runs functions from within whatever message loop runs next: the window's
// modal run, or a message box or dialog that the test opens inside it.
class Posted {
public:
    Posted() {
        WNDCLASSW type{};
        type.lpfnWndProc = Procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"KirabelTestPosted";
        RegisterClassW(&type); // fails harmlessly from the second test on
        m_window = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   type.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    Posted(const Posted&) = delete;
    Posted& operator=(const Posted&) = delete;
    ~Posted() { DestroyWindow(m_window); }

    void Post(std::function<void()> action) {
        m_actions.push_back(std::move(action));
        PostMessageW(m_window, WM_APP, 0, 0);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Posted*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != WM_APP || !self || self->m_actions.empty()) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        const std::function<void()> action = std::move(self->m_actions.front());
        self->m_actions.pop_front();
        action();
        return 0;
    }

    HWND m_window;
    std::deque<std::function<void()>> m_actions;
};

// What the answer label's colour request gets: its text colour, background
// brush and font, read from a real device context.
struct LabelAnswer {
    COLORREF text, back;
    int backgroundMode;
    LONG fontHeight, fontWeight;
};

LabelAnswer AnswerOf(HWND dialog, HWND label) {
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)));
    LOGBRUSH logBrush{};
    GetObjectW(brush, sizeof(logBrush), &logBrush);
    LOGFONTW font{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
    const LabelAnswer answer{GetTextColor(dc), logBrush.lbColor, GetBkMode(dc), font.lfHeight,
                             font.lfWeight};
    DeleteDC(dc);
    return answer;
}

// What the learner sees and can do, read back from the controls.
struct Look {
    std::wstring question, answer, number, box;
    COLORREF answerColor;
    bool boxEnabled, buttonEnabled, right, wrong;
    int focus; // the answer box's or the button's id when it has the focus, else 0

    bool operator==(const Look&) const = default;
};

void PrintTo(const Look& look, std::ostream* out) {
    *out << "{" << U8(look.question) << " | " << U8(look.answer) << " | " << U8(look.number)
         << " | " << U8(look.box) << " | colour " << std::hex << look.answerColor << std::dec
         << " | box " << look.boxEnabled << " button " << look.buttonEnabled << " right "
         << look.right << " wrong " << look.wrong << " | focus " << look.focus << "}";
}

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLightBlue = RGB(180, 180, 255);
constexpr COLORREF kLightRed = RGB(255, 100, 100);

const std::wstring kQuestions[] = {W(testsupport::kDrillQuestions[0]),
                                   W(testsupport::kDrillQuestions[1])};
const std::wstring kAnswers[] = {W(testsupport::kDrillAnswers[0]),
                                 W(testsupport::kDrillAnswers[1])};
const Look kInitial{W(strings::kQuestionStart),
                    W(strings::kAnswerStart),
                    W(strings::kNumberStart),
                    L"",
                    kWhite,
                    false,
                    false,
                    false,
                    false,
                    0};

using testsupport::SetFile;

// A modal window of this thread other than `main`: a message box, the about
// box or the open dialog. A dialog run without WS_VISIBLE is shown only once
// its loop first runs out of messages, so it may not be visible yet.
HWND FindModal(HWND main) {
    struct Search {
        HWND main, found;
    } search{main, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (window != s->main && IsWindowEnabled(window) && ClassOf(window) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The static texts of a window, the message box's message among them.
std::vector<std::wstring> StaticTexts(HWND window) {
    std::vector<std::wstring> texts;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            const LONG type = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
            if (ClassOf(child) == L"Static" && type != SS_ICON && type != SS_BITMAP &&
                GetWindowTextLengthW(child) > 0) {
                reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(TextOf(child));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// What a message box showed, and how the test answered it.
struct Box {
    std::wstring caption;
    std::vector<std::wstring> texts;
    HWND owner = nullptr;
    int focused = 0; // the button Enter presses
    bool yes = false, no = false, ok = false;
    bool icon = false; // shows an icon (the warning icon is the one asked for)
};

bool ShowsAnIcon(HWND window) {
    bool icon = false;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            if (ClassOf(child) == L"Static" &&
                (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                SendMessageW(child, STM_GETICON, 0, 0) != 0) {
                *reinterpret_cast<bool*>(data) = true;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&icon));
    return icon;
}

class CKirabelDlgTest : public ::testing::Test, public testsupport::DrillFixture {
public:
    // Runs `body` inside the window's modal run; afterwards the run is ended
    // if the body left it going. Returns what the modal run returned.
    INT_PTR Run(const std::function<void()>& body) {
        m_posted.Post([this, body] {
            m_hwnd = m_dlg.GetSafeHwnd();
            body();
            // Ending the run hides the window; one still shown was left running.
            if (IsWindowVisible(m_hwnd)) {
                EndDialog(m_hwnd, IDABORT);
            }
        });
        return m_dlg.DoModal();
    }

    // Handles what is queued as the dialog's modal loop does.
    void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(m_hwnd, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    // Keys go where the focus is, as the keyboard's do.
    static HWND KeyTarget() { return GetFocus(); }
    void Type(const std::wstring& text) {
        for (const wchar_t ch : text) {
            PostMessageW(KeyTarget(), WM_CHAR, ch, 1);
        }
        Pump();
    }
    void Press(WPARAM key) {
        HWND target = KeyTarget();
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        Pump();
    }
    void Command(WORD id) { SendMessageW(m_hwnd, WM_COMMAND, id, 0); }
    void Open(const std::string& path) override {
        m_dlg.choices.push_back(path);
        Command(ID_FILE_OPENSET);
    }

    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    LabelAnswer LabelAnswerOf(int id) const { return AnswerOf(m_hwnd, Item(id)); }
    int Shown() override { return TextOf(Item(IDC_QUESTION_LABEL)) == kQuestions[0] ? 0 : 1; }
    void Reply(const std::string& reply) override {
        Type(W(reply));
        Press(VK_RETURN);
    }
    Look Now() const {
        const int focused = GetFocus() ? GetDlgCtrlID(GetFocus()) : 0;
        const int focus = focused == IDC_ANSWER_EDIT || focused == IDC_NEXT_BUTTON ? focused : 0;
        return {TextOf(Item(IDC_QUESTION_LABEL)),
                TextOf(Item(IDC_ANSWER_LABEL)),
                TextOf(Item(IDC_NUMBER_LABEL)),
                TextOf(Item(IDC_ANSWER_EDIT)),
                LabelAnswerOf(IDC_ANSWER_LABEL).text,
                IsWindowEnabled(Item(IDC_ANSWER_EDIT)) != FALSE,
                IsWindowEnabled(Item(IDC_NEXT_BUTTON)) != FALSE,
                IsWindowVisible(Item(IDC_RIGHT_MARK)) != FALSE,
                IsWindowVisible(Item(IDC_WRONG_MARK)) != FALSE,
                focus};
    }

    // Runs `open`, which starts a modal message box or dialog, and `inside`
    // from within it; `inside` must close it.
    void WithinModal(const std::function<void()>& open, const std::function<void(HWND)>& inside) {
        bool ran = false;
        m_posted.Post([&] {
            ran = true;
            HWND box = FindModal(m_hwnd);
            ASSERT_NE(box, nullptr);
            inside(box);
        });
        open();
        Pump(); // the posted action, where `open` started no loop
        EXPECT_TRUE(ran);
    }
    // Reads the message box that `open` shows and answers it with Enter, which
    // takes its default button.
    Box AnswerBox(const std::function<void()>& open) {
        Box box;
        WithinModal(open, [&box](HWND window) {
            box.caption = TextOf(window);
            box.texts = StaticTexts(window);
            box.owner = GetWindow(window, GW_OWNER);
            box.focused = GetDlgCtrlID(GetFocus());
            box.yes = GetDlgItem(window, IDYES) != nullptr;
            box.no = GetDlgItem(window, IDNO) != nullptr;
            box.ok = GetDlgItem(window, IDOK) != nullptr;
            box.icon = ShowsAnIcon(window);
            HWND focus = GetFocus();
            PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 1);
            PostMessageW(focus, WM_KEYUP, VK_RETURN, 0xC0000001);
        });
        return box;
    }
    Posted m_posted;
    TestDlg m_dlg;
    HWND m_hwnd = nullptr;
};

// Readable test names: the case's own name instead of its index.
constexpr auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

TEST_F(CKirabelDlgTest, StartsWithNothingToDoInItsLayout) {
    Run([&] {
        EXPECT_EQ(Now(), kInitial);
        EXPECT_EQ(TextOf(m_hwnd), L"Kirabel");
        const auto background = reinterpret_cast<HBRUSH>(
            SendMessageW(m_hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(GetDC(m_hwnd)),
                         reinterpret_cast<LPARAM>(m_hwnd)));
        LOGBRUSH brush{};
        GetObjectW(background, sizeof(brush), &brush);
        EXPECT_EQ(brush.lbColor, RGB(0, 0, 0));

        // Heights in pixels at 96 dpi; the number is bold by OR-ing 700 into 400.
        const struct {
            int id;
            LONG height, weight;
        } labels[] = {{IDC_QUESTION_LABEL, 14, 400},
                      {IDC_ANSWER_LABEL, 15, 400},
                      {IDC_NUMBER_LABEL, 14, 956}};
        for (const auto& l : labels) {
            const LabelAnswer answer = LabelAnswerOf(l.id);
            EXPECT_EQ(answer.fontHeight, l.height) << l.id;
            EXPECT_EQ(answer.fontWeight, l.weight) << l.id;
            EXPECT_EQ(answer.back, RGB(0, 0, 0)) << l.id;
            EXPECT_EQ(answer.backgroundMode, TRANSPARENT) << l.id;
        }

        // The client area below the menu bar is the layout's, centred in the work area.
        RECT wanted{0, 0, layout::mainWindow::kWidth, layout::mainWindow::kHeight};
        MapDialogRect(m_hwnd, &wanted);
        RECT client{};
        GetClientRect(m_hwnd, &client);
        EXPECT_EQ(client.right, wanted.right);
        EXPECT_EQ(client.bottom, wanted.bottom);
        RECT window{}, work{};
        GetWindowRect(m_hwnd, &window);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_LE(std::abs(window.left + window.right - work.left - work.right), 1);
        EXPECT_LE(std::abs(window.top + window.bottom - work.top - work.bottom), 1);
        EXPECT_NE(SendMessageW(m_hwnd, WM_GETICON, ICON_BIG, 0), 0);
    });
}

TEST_F(CKirabelDlgTest, HasItsMenusAndSystemMenuItem) {
    Run([&] {
        HMENU bar = GetMenu(m_hwnd);
        ASSERT_EQ(GetMenuItemCount(bar), 1);
        wchar_t text[128] = {};
        GetMenuStringW(bar, 0, text, static_cast<int>(std::size(text)), MF_BYPOSITION);
        EXPECT_EQ(text, W(strings::kFileMenu));
        HMENU file = GetSubMenu(bar, 0);
        ASSERT_EQ(GetMenuItemCount(file), 2);
        const std::pair<UINT, const char*> items[] = {{ID_FILE_OPENSET, strings::kOpenSetItem},
                                                      {ID_FILE_EXIT, strings::kExitItem}};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(GetMenuItemID(file, i), items[i].first);
            GetMenuStringW(file, static_cast<UINT>(i), text, static_cast<int>(std::size(text)),
                           MF_BYPOSITION);
            EXPECT_EQ(text, W(items[i].second));
        }
        // Once, last, below a separator.
        HMENU system = GetSystemMenu(m_hwnd, FALSE);
        const int count = GetMenuItemCount(system);
        ASSERT_GE(count, 2);
        EXPECT_EQ(GetMenuItemID(system, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
        GetMenuStringW(system, static_cast<UINT>(count - 1), text,
                       static_cast<int>(std::size(text)), MF_BYPOSITION);
        EXPECT_EQ(text, W(strings::kAboutItem));
        EXPECT_EQ(GetMenuState(system, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
                  static_cast<UINT>(MF_SEPARATOR));
        int about = 0;
        for (int i = 0; i < count; ++i) {
            about += GetMenuItemID(system, i) == static_cast<UINT>(IDM_ABOUTBOX);
        }
        EXPECT_EQ(about, 1);
    });
}

TEST_F(CKirabelDlgTest, RunsAWholeDrillFromTheKeyboard) {
    int first = 0;
    const INT_PTR result = Run([&] {
        Open(m_set);
        first = Shown();
        const int second = 1 - first;
        EXPECT_EQ(Now(), (Look{kQuestions[first], L"", L"第1問", L"", kWhite, true, false, false,
                               false, IDC_ANSWER_EDIT}));
        Type(kAnswers[first]);
        Press(VK_RETURN);
        EXPECT_EQ(Now(),
                  (Look{kQuestions[first], L"答え  " + kAnswers[first], L"第1問", kAnswers[first],
                        kLightBlue, false, true, true, false, IDC_NEXT_BUTTON}));
        // The right answer raised its count, so the other question comes next.
        Press(VK_RETURN);
        EXPECT_EQ(Now(), (Look{kQuestions[second], L"", L"第2問", L"", kWhite, true, false, false,
                               false, IDC_ANSWER_EDIT}));
        Type(L"いぬ");
        Press(VK_RETURN);
        EXPECT_EQ(Now(), (Look{kQuestions[second], L"答え  " + kAnswers[second], L"第2問", L"いぬ",
                               kLightRed, false, true, false, true, IDC_NEXT_BUTTON}));
        // A click on the button goes on as well.
        SendMessageW(Item(IDC_NEXT_BUTTON), BM_CLICK, 0, 0);
        Pump();
        EXPECT_EQ(TextOf(Item(IDC_NUMBER_LABEL)), L"第3問");
        EXPECT_EQ(GetFocus(), Item(IDC_ANSWER_EDIT));
        SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

// Before any file, while asking, and answered. Esc does nothing at all.
TEST_F(CKirabelDlgTest, EscChangesNothingAndEnterNeverCloses) {
    Run([&] {
        for (int state = 0; state < 3; ++state) {
            if (state == 1) {
                Open(m_set);
                Type(L"x");
            }
            if (state == 2) {
                Press(VK_RETURN);
            }
            const Look before = Now();
            Press(VK_ESCAPE);
            EXPECT_EQ(Now(), before) << state;
            Press(VK_RETURN);
            EXPECT_TRUE(IsWindowVisible(m_hwnd)) << state;
            EXPECT_NE(m_dlg.GetSafeHwnd(), nullptr) << state;
        }
    });
}

struct AboutKey {
    const char* name;
    WPARAM key;
};

void PrintTo(const AboutKey& key, std::ostream* out) {
    *out << key.name;
}

class AboutBox : public CKirabelDlgTest, public ::testing::WithParamInterface<AboutKey> {};

// Opened from the system menu while a reply is half typed; the key closes the
// about box alone, and the window is as it was.
TEST_P(AboutBox, ClosesAloneAndChangesNothing) {
    Run([&] {
        Open(m_set);
        Type(L"とう");
        const Look before = Now();
        std::wstring caption, button;
        std::vector<std::wstring> texts;
        HWND owner = nullptr;
        RECT box{}, main{};
        WithinModal([&] { SendMessageW(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); },
                    [&](HWND about) {
                        caption = TextOf(about);
                        texts = StaticTexts(about);
                        owner = GetWindow(about, GW_OWNER);
                        button = TextOf(GetFocus());
                        GetWindowRect(about, &box);
                        GetWindowRect(m_hwnd, &main);
                        const HWND focus = GetFocus();
                        PostMessageW(focus, WM_KEYDOWN, GetParam().key, 1);
                        PostMessageW(focus, WM_KEYUP, GetParam().key, 0xC0000001);
                    });
        EXPECT_EQ(caption, W(strings::kAboutCaption));
        EXPECT_EQ(texts, std::vector<std::wstring>{W(strings::kAboutVersion)});
        EXPECT_EQ(button, L"OK");
        EXPECT_EQ(owner, m_hwnd);
        EXPECT_LE(std::abs(box.left + box.right - main.left - main.right), 1);
        EXPECT_LE(std::abs(box.top + box.bottom - main.top - main.bottom), 1);
        EXPECT_EQ(FindModal(m_hwnd), nullptr);
        EXPECT_TRUE(IsWindowVisible(m_hwnd));
        EXPECT_EQ(Now(), before);
    });
}

INSTANTIATE_TEST_SUITE_P(CKirabelDlg, AboutBox,
                         ::testing::Values(AboutKey{"Esc", VK_ESCAPE},
                                           AboutKey{"Enter", VK_RETURN}),
                         kCaseName);

struct CloseWay {
    const char* name;
    std::function<void(CKirabelDlgTest&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out) {
    *out << way.name;
}

class Closing : public CKirabelDlgTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(Closing, SavesThenEndsTheRun) {
    int first = 0;
    const INT_PTR result = Run([&] {
        first = AnswerFirstRight();
        GetParam().close(*this);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, Closing,
    ::testing::Values(CloseWay{"CloseBox",
                               [](CKirabelDlgTest& t) {
                                   SendMessageW(t.m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                               }},
                      CloseWay{"AltF4",
                               [](CKirabelDlgTest& t) {
                                   // The key goes where the focus is; Alt is held (bit 29).
                                   PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, 0x20000001);
                                   t.Pump();
                               }},
                      CloseWay{"FileExit", [](CKirabelDlgTest& t) { t.Command(ID_FILE_EXIT); }}),
    kCaseName);

// The message box says which line is wrong, over the window; the window goes
// back to its first state.
TEST_F(CKirabelDlgTest, AMalformedFileIsReportedInAMessageBox) {
    Run([&] {
        const std::string bad = Write("bad.krb", "x\r\n");
        const Box box = AnswerBox([&] { Open(bad); });
        EXPECT_EQ(box.caption, L"Kirabel");
        EXPECT_EQ(box.texts, std::vector<std::wstring>{W(testsupport::Told(
                                 std::string(strings::kReadFailedAt) + "1" + strings::kLineSuffix,
                                 {strings::kNoToken}))});
        EXPECT_EQ(box.owner, m_hwnd);
        EXPECT_TRUE(box.ok && !box.yes && !box.no);
        EXPECT_TRUE(box.icon);
        EXPECT_EQ(Now(), kInitial);
    });
}

// The right answer's own save fails and says so, once; closing saves again,
// and when that fails too it asks. No, the default, keeps the window and the
// progress; once the file can be written again, closing saves it.
TEST_F(CKirabelDlgTest, AFailedSaveOnCloseAsksAndNoKeepsTheWindow) {
    int first = 0;
    const fs::path set = testsupport::PathOf(m_set);
    const INT_PTR result = Run([&] {
        Open(m_set);
        first = Shown();
        SetFileAttributesW(set.c_str(), FILE_ATTRIBUTE_READONLY);
        Type(kAnswers[first]);
        const Box told = AnswerBox([&] { Command(IDOK); });
        EXPECT_EQ(told.texts, std::vector<std::wstring>{
                                  W(testsupport::kReadOnlySaveFailed + strings::kProgressKept)});
        EXPECT_TRUE(told.ok && !told.yes && !told.no);
        const Look before = Now();
        const Box box = AnswerBox([&] { SendMessageW(m_hwnd, WM_CLOSE, 0, 0); });
        EXPECT_EQ(box.caption, L"Kirabel");
        EXPECT_EQ(box.texts, std::vector<std::wstring>{
                                 W(testsupport::kReadOnlySaveFailed + strings::kCloseAnyway)});
        EXPECT_EQ(box.owner, m_hwnd);
        EXPECT_TRUE(box.yes && box.no);
        EXPECT_TRUE(box.icon);
        EXPECT_EQ(box.focused, IDNO);
        EXPECT_TRUE(IsWindowVisible(m_hwnd));
        EXPECT_EQ(Now(), before);
        SetFileAttributesW(set.c_str(), FILE_ATTRIBUTE_NORMAL);
        SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    });
    SetFileAttributesW(set.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

// The set file turned into UTF-16, which a save refuses to merge, and back.
class BrokenFile {
public:
    explicit BrokenFile(const std::string& path)
        : m_path(testsupport::PathOf(path)), m_bytes(ReadBytes(path)) {
        testsupport::WriteBytes(m_path, std::string("\xFF\xFEx\0 \0x\0 \0"
                                                    "0\0",
                                                    12));
    }
    BrokenFile(const BrokenFile&) = delete;
    BrokenFile& operator=(const BrokenFile&) = delete;
    ~BrokenFile() { Restore(); }

    // The first bytes again, at a modification time of their own (ten seconds
    // on from the UTF-16 file's), so that a save sees a changed file.
    void Restore() {
        if (m_restored) {
            return;
        }
        m_restored = true;
        HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME written{};
        GetFileTime(file, nullptr, nullptr, &written);
        DWORD done = 0;
        WriteFile(file, m_bytes.data(), static_cast<DWORD>(m_bytes.size()), &done, nullptr);
        ULARGE_INTEGER time{{written.dwLowDateTime, written.dwHighDateTime}};
        time.QuadPart += 10ULL * 10'000'000; // 100 ns units
        written = {time.LowPart, time.HighPart};
        SetFileTime(file, nullptr, nullptr, &written);
        CloseHandle(file);
    }

private:
    fs::path m_path;
    std::string m_bytes;
    bool m_restored = false;
};

const std::wstring kProgressKeptBox = W(strings::kProgressKept);

// ShutdownBlockReasonQuery: Wine 8 does not export it.
using BlockReasonQuery = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
BlockReasonQuery FindBlockReasonQuery() {
    return reinterpret_cast<BlockReasonQuery>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonQuery")));
}

// The reason the window gives for holding up the end of the session; "" for
// none, "?" where the system cannot say.
std::wstring BlockReasonOf(HWND window) {
    const BlockReasonQuery query = FindBlockReasonQuery();
    if (!query) {
        return L"?";
    }
    wchar_t reason[MAX_STR_BLOCKREASON + 1] = {};
    DWORD size = static_cast<DWORD>(std::size(reason));
    return query(window, reason, &size) ? reason : L"";
}

struct EndWay {
    const char* name;
    UINT message; // WM_QUERYENDSESSION or WM_ENDSESSION (with wParam TRUE)
    LPARAM flags;
};

void PrintTo(const EndWay& way, std::ostream* out) {
    *out << way.name;
}

class SessionEnd : public CKirabelDlgTest, public ::testing::WithParamInterface<EndWay> {};

// The right answer's save failed; the end of the session saves it, without a
// question. The query leaves the window running, the end itself ends the run.
TEST_P(SessionEnd, SavesTheProgressWithoutAsking) {
    const EndWay& way = GetParam();
    int first = 0;
    LRESULT answer = -1;
    const INT_PTR result = Run([&] {
        Open(m_set);
        first = Shown();
        BrokenFile broken(m_set);
        Type(kAnswers[first]);
        const Box told = AnswerBox([&] { Command(IDOK); });
        ASSERT_FALSE(told.texts.empty());
        EXPECT_TRUE(told.texts[0].ends_with(kProgressKeptBox));
        EXPECT_EQ(ReadBytes(m_set)[0], '\xFF');
        broken.Restore();
        answer = SendMessageW(m_hwnd, way.message, way.message == WM_ENDSESSION, way.flags);
        EXPECT_EQ(FindModal(m_hwnd), nullptr);
        EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
    });
    EXPECT_EQ(answer, way.message == WM_QUERYENDSESSION ? TRUE : 0);
    EXPECT_EQ(result, way.message == WM_ENDSESSION ? IDOK : IDABORT);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, SessionEnd,
    ::testing::Values(EndWay{"QueryShutdown", WM_QUERYENDSESSION, 0},
                      EndWay{"QueryLogoff", WM_QUERYENDSESSION,
                             static_cast<LPARAM>(ENDSESSION_LOGOFF)},
                      EndWay{"QueryRestartManager", WM_QUERYENDSESSION, ENDSESSION_CLOSEAPP},
                      EndWay{"EndShutdown", WM_ENDSESSION, 0},
                      EndWay{"EndLogoff", WM_ENDSESSION, static_cast<LPARAM>(ENDSESSION_LOGOFF)},
                      EndWay{"EndRestartManager", WM_ENDSESSION, ENDSESSION_CLOSEAPP}),
    kCaseName);

// A save that fails at the query holds the end up once, with a reason; a
// cancelled end changes nothing, the next query lets it go, and the end itself
// saves what it can and ends the run.
TEST_F(CKirabelDlgTest, AFailedSaveHoldsTheSessionEndUpOnce) {
    int first = 0;
    std::vector<LRESULT> answers;
    std::wstring reason, reasonAfter;
    const INT_PTR result = Run([&] {
        Open(m_set);
        first = Shown();
        BrokenFile broken(m_set);
        Type(kAnswers[first]);
        AnswerBox([&] { Command(IDOK); });
        answers.push_back(SendMessageW(m_hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP));
        reason = BlockReasonOf(m_hwnd);
        const Look before = Now();
        answers.push_back(SendMessageW(m_hwnd, WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP));
        EXPECT_TRUE(IsWindowVisible(m_hwnd));
        EXPECT_EQ(Now(), before);
        answers.push_back(SendMessageW(m_hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP));
        reasonAfter = BlockReasonOf(m_hwnd);
        EXPECT_EQ(FindModal(m_hwnd), nullptr);
        broken.Restore();
        answers.push_back(SendMessageW(m_hwnd, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP));
    });
    EXPECT_EQ(answers, (std::vector<LRESULT>{FALSE, 0, TRUE, 0}));
    if (!FindBlockReasonQuery()) {
        std::cout << "[   NOTE   ] no ShutdownBlockReasonQuery here: the reason is not checked\n";
    } else {
        EXPECT_EQ(reason, W(strings::kEndBlockedReason));
        EXPECT_EQ(reasonAfter, L"");
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
}

// A BSTR that frees itself.
struct OwnedBstr {
    BSTR text = nullptr;
    OwnedBstr() = default;
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    ~OwnedBstr() { SysFreeString(text); }
    std::wstring Get() const { return text ? std::wstring(text, SysStringLen(text)) : L""; }
};

// What a screen reader reads of a control: its client object's name,
// description and whether it is invisible.
struct Heard {
    std::wstring name, description;
    bool invisible = false;

    bool operator==(const Heard&) const = default;
};

void PrintTo(const Heard& heard, std::ostream* out) {
    *out << "{" << U8(heard.name) << " | " << U8(heard.description) << " | invisible "
         << heard.invisible << "}";
}

Heard HeardOf(HWND control) {
    ComPtr<IAccessible> object;
    const HRESULT found =
        AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                   reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(found) || !object) {
        return {L"(no object)", L"", false};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    OwnedBstr name, description;
    object->get_accName(self, &name.text);
    object->get_accDescription(self, &description.text);
    VARIANT state{};
    object->get_accState(self, &state);
    return {name.Get(), description.Get(),
            state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_INVISIBLE) != 0};
}

// The accessibility events of this process, with the window message loop
// handing them over.
class EventLog {
public:
    struct Event {
        DWORD event;
        HWND window;
        LONG object;
        bool operator==(const Event&) const = default;
    };

    EventLog() {
        s_events = &m_events;
        m_hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr, Record,
                                 GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;
    ~EventLog() {
        UnhookWinEvent(m_hook);
        s_events = nullptr;
    }

    bool Hooked() const { return m_hook != nullptr; }
    // How often `event` came for `window`'s object `object`.
    int Count(DWORD event, HWND window, LONG object) const {
        int count = 0;
        for (const Event& e : m_events) {
            count += e == Event{event, window, object};
        }
        return count;
    }
    void Clear() { m_events.clear(); }

private:
    static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                DWORD, DWORD) {
        if (s_events && child == CHILDID_SELF) {
            s_events->push_back({event, window, object});
        }
    }

    static inline std::vector<Event>* s_events = nullptr;
    std::vector<Event> m_events;
    HWINEVENTHOOK m_hook = nullptr;
};

struct Check {
    const char* name;
    bool right;
    const wchar_t* result;
    const wchar_t* replyEnd; // after the answer, for a near miss; none: a wrong word
    const wchar_t* hint;
};

void PrintTo(const Check& check, std::ostream* out) {
    *out << check.name;
}

class Accessibility : public CKirabelDlgTest, public ::testing::WithParamInterface<Check> {};

// Each control has a name; the focused control says what matters as the
// focus lands: the number and the question in the answer box, the result,
// the answer and any hint on the button. The shown mark and the answer
// label's description say the result too, and screen readers are told of each
// change. The next question takes the result away again.
TEST_P(Accessibility, NamesTheControlsAndSaysTheResult) {
    const Check& check = GetParam();
    Run([&] {
        Open(m_set);
        const int first = Shown();
        const std::wstring question = kQuestions[first], answer = kAnswers[first];
        ASSERT_EQ(GetFocus(), Item(IDC_ANSWER_EDIT));
        EXPECT_EQ(HeardOf(GetFocus()), (Heard{L"答えの入力", L"第1問 " + question, false}));
        const int shown = check.right ? IDC_RIGHT_MARK : IDC_WRONG_MARK;
        EventLog events;
        ASSERT_TRUE(events.Hooked());
        Type(check.right ? answer : check.replyEnd ? answer + check.replyEnd : L"x");
        Press(VK_RETURN);
        const std::wstring hint = check.hint;
        const std::wstring said =
            check.result + (L" 答え  " + answer) + (hint.empty() ? L"" : L" " + hint);
        ASSERT_EQ(GetFocus(), Item(IDC_NEXT_BUTTON));
        const struct {
            int id;
            Heard heard;
        } controls[] = {
            {IDC_QUESTION_LABEL, {question, L"", false}},
            {IDC_NUMBER_LABEL, {L"第1問", L"", false}},
            {IDC_ANSWER_EDIT, {L"答えの入力", L"第1問 " + question, false}},
            {IDC_ANSWER_LABEL, {L"答え  " + answer, check.result, false}},
            {IDC_HINT_LABEL, {hint, L"", hint.empty()}},
            {IDC_NEXT_BUTTON, {L"次の問題", said, false}},
            {IDC_RIGHT_MARK, {L"正解", L"", !check.right}},
            {IDC_WRONG_MARK, {L"不正解", L"", check.right}},
        };
        for (const auto& c : controls) {
            EXPECT_EQ(HeardOf(Item(c.id)), c.heard) << c.id;
        }
        const HWND label = Item(IDC_ANSWER_LABEL);
        EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, label, OBJID_CLIENT), 1);
        EXPECT_EQ(events.Count(EVENT_OBJECT_DESCRIPTIONCHANGE, label, OBJID_CLIENT), 1);
        // Read as the focus lands, and only then.
        EXPECT_EQ(events.Count(EVENT_OBJECT_DESCRIPTIONCHANGE, Item(IDC_NEXT_BUTTON), OBJID_CLIENT),
                  0);
        EXPECT_EQ(events.Count(EVENT_OBJECT_SHOW, Item(shown), OBJID_WINDOW), 1);
        EXPECT_EQ(events.Count(EVENT_OBJECT_HIDE, Item(shown), OBJID_WINDOW), 0);
        // The hint in the answer line's colour, clear of the button.
        EXPECT_EQ(IsWindowVisible(Item(IDC_HINT_LABEL)) != FALSE, !hint.empty());
        EXPECT_EQ(LabelAnswerOf(IDC_HINT_LABEL).text, LabelAnswerOf(IDC_ANSWER_LABEL).text);
        RECT hintRect{}, button{}, overlap{};
        GetWindowRect(Item(IDC_HINT_LABEL), &hintRect);
        GetWindowRect(Item(IDC_NEXT_BUTTON), &button);
        EXPECT_FALSE(IntersectRect(&overlap, &hintRect, &button));

        events.Clear();
        Press(VK_RETURN);
        EXPECT_EQ(HeardOf(label), (Heard{L"", L"", false}));
        EXPECT_EQ(HeardOf(Item(shown)).invisible, true);
        EXPECT_FALSE(IsWindowVisible(Item(IDC_HINT_LABEL)));
        ASSERT_EQ(GetFocus(), Item(IDC_ANSWER_EDIT));
        EXPECT_EQ(HeardOf(GetFocus()),
                  (Heard{L"答えの入力", L"第2問 " + TextOf(Item(IDC_QUESTION_LABEL)), false}));
        EXPECT_EQ(events.Count(EVENT_OBJECT_DESCRIPTIONCHANGE, label, OBJID_CLIENT), 1);
        EXPECT_EQ(events.Count(EVENT_OBJECT_DESCRIPTIONCHANGE, Item(IDC_ANSWER_EDIT), OBJID_CLIENT),
                  0);
        EXPECT_EQ(events.Count(EVENT_OBJECT_HIDE, Item(shown), OBJID_WINDOW), 1);
        EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, Item(IDC_QUESTION_LABEL), OBJID_CLIENT),
                  TextOf(Item(IDC_QUESTION_LABEL)) == kQuestions[first] ? 0 : 1);
        EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, Item(IDC_NUMBER_LABEL), OBJID_CLIENT), 1);
    });
}

INSTANTIATE_TEST_SUITE_P(CKirabelDlg, Accessibility,
                         ::testing::Values(Check{"Right", true, L"正解", nullptr, L""},
                                           Check{"Wrong", false, L"不正解", nullptr, L""},
                                           Check{"NearMiss", false, L"不正解", L" ",
                                                 L"最後に空白があります。"}),
                         kCaseName);

// Korean has no code page 932 form: the UTF-8 set is judged in UTF-8.
TEST_F(CKirabelDlgTest, AUtf8SetWithAKoreanAnswer) {
    const std::string set = Write("korean.krb", "한국 서울 0\n");
    Run([&] {
        Open(set);
        EXPECT_EQ(TextOf(Item(IDC_QUESTION_LABEL)), L"한국");
        Type(L"서울");
        Press(VK_RETURN);
        EXPECT_TRUE(IsWindowVisible(Item(IDC_RIGHT_MARK)));
        EXPECT_EQ(TextOf(Item(IDC_ANSWER_LABEL)), L"答え  서울");
        EXPECT_EQ(LabelAnswerOf(IDC_ANSWER_LABEL).text, kLightBlue);
        Command(ID_FILE_EXIT);
    });
    EXPECT_EQ(ReadBytes(set), "한국 서울 1\n");
}

// The system's open dialog, offering question-set files; the chosen path comes
// back as UTF-8, and the working directory stays where it was.
TEST_F(CKirabelDlgTest, TheOpenDialogHandsOnTheChosenPath) {
    const std::string chosen = Write("한국어 単語.krb", SetFile(0, 0));
    Run([&] {
        const std::wstring before = fs::current_path().wstring();
        std::wstring name, filter;
        std::string path;
        WithinModal([&] { path = m_dlg.RealChooseSetFile(); },
                    [&](HWND dialog) {
                        constexpr int kFileName = 0x47C; // cmb13
                        constexpr int kFileType = 0x470; // cmb1
                        name = TextOf(GetDlgItem(dialog, kFileName));
                        filter = TextOf(GetDlgItem(dialog, kFileType));
                        SetDlgItemTextW(dialog, kFileName, W(chosen).c_str());
                        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                    });
        EXPECT_EQ(name, L"*.krb");
        EXPECT_EQ(filter, L"問題集ファイル(*.krb)");
        EXPECT_EQ(fs::path(W(path)), fs::path(W(chosen)));
        EXPECT_EQ(fs::current_path().wstring(), before);
    });
}

// Right of the number, in its colours and a font no larger, and wide enough
// for a run of 999 replies on a set of 9999; read by its text; empty again
// after a failed open.
TEST_F(CKirabelDlgTest, ShowsWhereTheSetStandsBesideTheNumber) {
    Run([&] {
        const HWND status = Item(IDC_STATUS_LABEL);
        EXPECT_EQ(TextOf(status), L"");
        const LabelAnswer own = LabelAnswerOf(IDC_STATUS_LABEL);
        const LabelAnswer number = LabelAnswerOf(IDC_NUMBER_LABEL);
        EXPECT_LE(own.fontHeight, number.fontHeight);
        EXPECT_EQ(own.text, number.text);
        EXPECT_EQ(own.back, number.back);
        RECT placed{}, numberPlaced{}, client{};
        GetWindowRect(status, &placed);
        GetWindowRect(Item(IDC_NUMBER_LABEL), &numberPlaced);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&placed), 2);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&numberPlaced), 2);
        GetClientRect(m_hwnd, &client);
        EXPECT_GT(placed.left, numberPlaced.right);
        EXPECT_GE(placed.top, numberPlaced.top);
        EXPECT_LE(placed.bottom, numberPlaced.bottom);
        EXPECT_LE(placed.right, client.right);
        // The widest likely text, in the font the label draws with.
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(m_hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(status));
        const std::wstring widest = L"今回 999問中 999問正解　未正解 9999/9999問";
        SIZE extent{};
        GetTextExtentPoint32W(dc, widest.c_str(), static_cast<int>(widest.size()), &extent);
        DeleteDC(dc);
        EXPECT_LE(extent.cx, placed.right - placed.left);

        const int first = AnswerFirstRight();
        EXPECT_EQ(TextOf(status), L"今回 1問中 1問正解　未正解 1/2問");
        EXPECT_EQ(HeardOf(status).name, TextOf(status));
        Press(VK_RETURN);
        Type(L"x");
        Press(VK_RETURN);
        EXPECT_EQ(TextOf(status), L"今回 2問中 1問正解　未正解 1/2問");
        AnswerBox([&] { Open(Write("empty.krb", "")); });
        EXPECT_EQ(TextOf(status), L"");
        EXPECT_EQ(ReadBytes(m_set), SetFile(first == 0, first == 1));
    });
}

// A drop as the shell hands it over: the dropped paths, wide, in memory the
// window gives back (DragFinish).
HDROP DropOf(const std::vector<std::string>& paths) {
    std::vector<std::wstring> wide;
    std::size_t chars = 1; // the empty name that ends the list
    for (const std::string& path : paths) {
        wide.push_back(fs::path(W(path)).make_preferred().wstring());
        chars += wide.back().size() + 1;
    }
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* name = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : wide) {
        name = std::copy(path.begin(), path.end(), name) + 1; // zeroed already
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

struct DropCase {
    const char* name;
    std::vector<std::string> paths; // in the test's folder; "deep" stands for the long path
    bool opens;
};

void PrintTo(const DropCase& drop, std::ostream* out) {
    *out << drop.name;
}

class DropTest : public CKirabelDlgTest {
protected:
    // Opens the set and answers its first question right while the file
    // cannot be written: the raise waits in memory for the next save.
    int AnswerFirstRightUnsaved() {
        Open(m_set);
        const int first = Shown();
        const fs::path set = testsupport::PathOf(m_set);
        SetFileAttributesW(set.c_str(), FILE_ATTRIBUTE_READONLY);
        Type(kAnswers[first]);
        AnswerBox([&] { Command(IDOK); });
        SetFileAttributesW(set.c_str(), FILE_ATTRIBUTE_NORMAL);
        return first;
    }
    const std::string m_other = Write("other.krb", "林檎 りんご 0\n");
    const std::string m_folder = m_dir.File("folder.krb");
};

class Dropping : public DropTest, public ::testing::WithParamInterface<DropCase> {};

// A dropped set opens with every step of File > open: the set in use saved
// first, the read-only notice, 第1問; past MAX_PATH too. Anything else changes
// nothing at all.
TEST_P(Dropping, OpensTheFirstFileOrNothing) {
    const DropCase& c = GetParam();
    fs::create_directory(testsupport::PathOf(m_folder));
    std::string deep = "deep";
    for (int i = 0; i < 20; ++i) {
        deep += "/長いフォルダの名前です" + std::to_string(i);
    }
    fs::create_directories(testsupport::PathOf(m_dir.File(deep)));
    deep = Write(deep + "/遠い.krb", "林檎 りんご 0\n");
    ASSERT_GT(W(deep).size(), 260u);
    std::vector<std::string> paths;
    for (const std::string& path : c.paths) {
        paths.push_back(path == "deep" ? deep : m_dir.File(path));
    }
    for (const std::string& path : {m_other, deep}) {
        SetFileAttributesW(testsupport::PathOf(path).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    int first = 0;
    Run([&] {
        // The shell drops files only on a window that says it takes them.
        EXPECT_NE(GetWindowLongW(m_hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
        first = AnswerFirstRightUnsaved();
        const Look before = Now();
        PostMessageW(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(paths)), 0);
        if (c.opens) {
            const Box box = AnswerBox([&] { Pump(); });
            EXPECT_EQ(box.texts, std::vector<std::wstring>{L"この問題集ファイルには書き込めません。"
                                                           L"今回の学習結果は保存されません。"});
            EXPECT_EQ(Now(), (Look{L"林檎", L"", L"第1問", L"", kWhite, true, false, false, false,
                                   IDC_ANSWER_EDIT}));
        } else {
            Pump();
            EXPECT_EQ(FindModal(m_hwnd), nullptr);
            EXPECT_EQ(Now(), before);
        }
        EXPECT_EQ(ReadBytes(m_set), c.opens ? SetFile(first == 0, first == 1) : SetFile(0, 0));
    });
    for (const std::string& path : {m_other, deep}) {
        SetFileAttributesW(testsupport::PathOf(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CKirabelDlg, Dropping,
    ::testing::Values(DropCase{"ASetFile", {"other.krb"}, true},
                      DropCase{"TwoFiles", {"other.krb", "set.krb"}, true},
                      DropCase{"ALongPath", {"deep"}, true},
                      DropCase{"AFolder", {"folder.krb"}, false},
                      DropCase{"AFolderAndAFile", {"folder.krb", "other.krb"}, false},
                      DropCase{"NoFile", {}, false}),
    kCaseName);

// While a box or the open dialog is up over the window, a drop does nothing.
TEST_F(DropTest, NothingWhileABoxOrTheOpenDialogIsUp) {
    Run([&] {
        AnswerFirstRightUnsaved();
        const Look before = Now();
        const auto dropInside = [&](HWND modal, UINT closeMessage, WPARAM closeWith) {
            SendMessageW(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({m_other})), 0);
            EXPECT_EQ(FindModal(m_hwnd), modal);
            PostMessageW(modal, closeMessage, closeWith, 0);
        };
        WithinModal([&] { SendMessageW(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); },
                    [&](HWND about) { dropInside(about, WM_COMMAND, IDCANCEL); });
        WithinModal([&] { m_dlg.RealChooseSetFile(); },
                    [&](HWND dialog) { dropInside(dialog, WM_COMMAND, IDCANCEL); });
        Pump();
        EXPECT_EQ(Now(), before);
        EXPECT_EQ(ReadBytes(m_set), SetFile(0, 0));
    });
}

// A picture of the window mid-drill for the README: the first question of the
// sample set answered right.
TEST_F(CKirabelDlgTest, Screenshot) {
    Run([&] {
        QuestionPool::SeedRandom(7);
        const std::string sample = "\n" + ReadBytes(KIRABEL_SAMPLE);
        Open(Write("sample.krb", sample.substr(1)));
        // The answer follows the question shown at the start of its line.
        std::string question;
        ASSERT_TRUE(Cp932::FromUtf8(U8(TextOf(Item(IDC_QUESTION_LABEL))), question));
        const std::string line = "\n" + question + " ";
        const std::size_t answer = sample.find(line) + line.size();
        Type(W(Cp932::ToUtf8(sample.substr(answer, sample.find(' ', answer) - answer))));
        Press(VK_RETURN);
        ASSERT_TRUE(IsWindowVisible(Item(IDC_RIGHT_MARK)));

        // The window as drawn on the screen: its client area with the menu bar
        // above it, as the Linux picture shows it.
        RedrawWindow(m_hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        MENUBARINFO menu{};
        menu.cbSize = sizeof(menu);
        ASSERT_TRUE(GetMenuBarInfo(m_hwnd, OBJID_MENU, 0, &menu));
        RECT window{}, client{};
        GetWindowRect(m_hwnd, &window);
        GetClientRect(m_hwnd, &client);
        MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
        const int left = client.left - window.left, top = menu.rcBar.top - window.top;
        const int width = client.right - client.left, height = client.bottom - menu.rcBar.top;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        HDC screen = GetWindowDC(m_hwnd);
        ASSERT_TRUE(BitBlt(dc, 0, 0, width, height, screen, left, top, SRCCOPY));
        ReleaseDC(m_hwnd, screen);
        GdiFlush();
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(bits) + y * stride;
            for (int x = 0; x < width; ++x) {
                rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            }
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        testsupport::WriteBytes(KIRABEL_SCREENSHOT, PngWriter::Encode(width, height, rgb));
        Command(ID_FILE_EXIT);
    });
}

} // namespace

namespace {

// Run at 150 % (LogPixels 144, see CMakeLists.txt).
class Dpi : public CKirabelDlgTest {};

// The dialog's base units in its own font, at `dpi`.
SIZE BaseUnits(HWND dialog, UINT dpi) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    font.lfHeight = -MulDiv(layout::kDialogFontPoints, static_cast<int>(dpi), 72);
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT scaled = CreateFontIndirectW(&font);
    HGDIOBJ old = SelectObject(dc, scaled);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent{};
    GetTextExtentPoint32W(dc, alphabet, 52, &extent);
    SelectObject(dc, old);
    DeleteObject(scaled);
    DeleteDC(dc);
    return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

// The window grows with the dialog font, and keeps its proportions; the
// labels' own fonts grow with it, and follow a change of dpi.
TEST_F(Dpi, KeepsItsProportionsAt150Percent) {
    Run([&] {
        ASSERT_EQ(GetDpiForWindow(m_hwnd), 144u);
        RECT client{};
        GetClientRect(m_hwnd, &client);
        const SIZE units = BaseUnits(m_hwnd, 96);
        const double width = MulDiv(layout::mainWindow::kWidth, units.cx, 4);
        const double height = MulDiv(layout::mainWindow::kHeight, units.cy, 8);
        const double grownX = client.right / width, grownY = client.bottom / height;
        EXPECT_NEAR(grownX, 1.5, 0.1);
        EXPECT_NEAR(grownY, 1.5, 0.1);
        EXPECT_NEAR(grownX / grownY, 1.0, 0.03);

        const struct {
            int id;
            LONG height, weight, heightAt96;
        } labels[] = {{IDC_QUESTION_LABEL, 21, 400, 14},
                      {IDC_ANSWER_LABEL, 23, 400, 15},
                      {IDC_NUMBER_LABEL, 21, 956, 14},
                      {IDC_STATUS_LABEL, 18, 400, 12}};
        for (const auto& l : labels) {
            EXPECT_EQ(LabelAnswerOf(l.id).fontHeight, l.height) << l.id;
            EXPECT_EQ(LabelAnswerOf(l.id).fontWeight, l.weight) << l.id;
        }

        // Moved to a monitor at 100 %: the labels' fonts follow, and the client
        // area stays the layout's in whatever dialog font the window then has.
        RECT suggested{};
        GetWindowRect(m_hwnd, &suggested);
        SendMessageW(m_hwnd, WM_DPICHANGED, MAKEWPARAM(96, 96),
                     reinterpret_cast<LPARAM>(&suggested));
        Pump();
        for (const auto& l : labels) {
            EXPECT_EQ(LabelAnswerOf(l.id).fontHeight, l.heightAt96) << l.id;
            EXPECT_EQ(LabelAnswerOf(l.id).fontWeight, l.weight) << l.id;
        }
        RECT wanted{0, 0, layout::mainWindow::kWidth, layout::mainWindow::kHeight};
        MapDialogRect(m_hwnd, &wanted);
        GetClientRect(m_hwnd, &client);
        EXPECT_EQ(client.right, wanted.right);
        EXPECT_EQ(client.bottom, wanted.bottom);
    });
}

} // namespace
