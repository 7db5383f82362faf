#include "controls/win32/CColorLabel.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

// A shown window with one static text control bound to a label. The window
// hands the control's colour requests to the label, as the main window does;
// the control counts its paints.
class Host {
public:
    Host() {
        WNDCLASSW type{};
        type.lpfnWndProc = Procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"KirabelLabelHost";
        RegisterClassW(&type); // fails harmlessly from the second host on
        m_window = CreateWindowExW(0, type.lpszClassName, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                   200, 100, nullptr, nullptr, type.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        HWND control = CreateWindowExW(0, L"Static", L"x", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0,
                                       100, 40, m_window, nullptr, type.hInstance, nullptr);
        SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_staticProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProcedure)));
        label.Attach(control);
        Settle();
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host() { DestroyWindow(m_window); }

    // Handles every message queued, paints included; the paints counted since
    // the last time.
    int Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        return std::exchange(paints, 0);
    }
    void Settle() { Pump(); }
    // The font the label selects into a device context that asks for it.
    LOGFONTW FontOf() {
        HDC dc = CreateCompatibleDC(nullptr);
        label.CtlColor(dc, CTLCOLOR_STATIC);
        LOGFONTW font{};
        GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
        DeleteDC(dc);
        return font;
    }

    CColorLabel label;
    int paints = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_CTLCOLORSTATIC && self) {
            return reinterpret_cast<LRESULT>(
                self->label.CtlColor(reinterpret_cast<HDC>(wParam), CTLCOLOR_STATIC));
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static LRESULT CALLBACK ControlProcedure(HWND control, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(control, GWLP_USERDATA));
        self->paints += message == WM_PAINT;
        return CallWindowProcW(self->m_staticProcedure, control, message, wParam, lParam);
    }

    HWND m_window;
    WNDPROC m_staticProcedure;
};

using Step = std::function<void(CColorLabel&)>;

// A change of look is painted once the message loop runs, once however many
// setters made it; a setter that changes nothing paints nothing.
TEST(CColorLabel, PaintsOncePerChangeOfLook) {
    const struct {
        const char* name;
        Step change;
        int paints;
    } changes[] = {
        {"SetBackColor", [](CColorLabel& l) { l.SetBackColor(RGB(0, 0, 255)); }, 1},
        {"SetTextColor", [](CColorLabel& l) { l.SetTextColor(RGB(255, 0, 0)); }, 1},
        {"SetFontHeight", [](CColorLabel& l) { l.SetFontHeight(15); }, 1},
        {"SetBold", [](CColorLabel& l) { l.SetBold(true); }, 1},
        {"SetBoldFalse", [](CColorLabel& l) { l.SetBold(false); }, 0},
        {"SetTextUnchanged", [](CColorLabel& l) { l.SetText("x"); }, 0},
        {"SetAppearance",
         [](CColorLabel& l) { l.SetAppearance(14, RGB(0, 0, 0), RGB(255, 255, 255)); }, 1},
        {"EverySetter",
         [](CColorLabel& l) {
             l.SetAppearance(14, RGB(0, 0, 0), RGB(255, 255, 255)), l.SetBold(true), l.SetText("y");
         },
         1}};
    for (const auto& c : changes) {
        Host host;
        c.change(host.label);
        EXPECT_EQ(host.paints, 0) << c.name; // nothing painted inside a setter
        EXPECT_EQ(host.Pump(), c.paints) << c.name;
    }
}

// Both font setters edit one description, so each keeps what the other set.
TEST(CColorLabel, FontSettersKeepEarlierChanges) {
    const struct {
        const char* name;
        Step steps;
        LONG height, weight;
    } cases[] = {
        {"BoldThenHeight", [](CColorLabel& l) { l.SetBold(true), l.SetFontHeight(15); }, 15, 956},
        {"HeightThenBoldTwice",
         [](CColorLabel& l) { l.SetFontHeight(14), l.SetBold(true), l.SetBold(true); }, 14, 956}};
    for (const auto& c : cases) {
        Host host;
        const LOGFONTW before = host.FontOf();
        c.steps(host.label);
        const LOGFONTW font = host.FontOf();
        EXPECT_EQ(font.lfHeight, c.height) << c.name;
        EXPECT_EQ(font.lfWeight, c.weight) << c.name;
        EXPECT_STREQ(font.lfFaceName, before.lfFaceName) << c.name;
    }
}

// A request of another kind gets the brush, and the device context stays as it was.
TEST(CColorLabel, AnswersOtherKindsWithTheBrushAlone) {
    Host host;
    host.label.SetAppearance(14, RGB(0, 0, 255), RGB(255, 0, 0));
    HDC dc = CreateCompatibleDC(nullptr);
    const COLORREF text = GetTextColor(dc);
    const int mode = GetBkMode(dc);
    LOGBRUSH brush{};
    GetObjectW(host.label.CtlColor(dc, CTLCOLOR_EDIT), sizeof(brush), &brush);
    EXPECT_EQ(brush.lbColor, RGB(0, 0, 255));
    EXPECT_EQ(GetTextColor(dc), text);
    EXPECT_EQ(GetBkMode(dc), mode);
    DeleteDC(dc);
}

} // namespace
