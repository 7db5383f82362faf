#pragma once

#include "res/win32/ResourceIds.h"

#include <cstddef>
#include <iterator>

// The windows' layouts, pictures and dialog font. Positions are dialog units
// (x, y, width, height): a horizontal unit is a quarter of the dialog font's
// average character width, a vertical unit an eighth of its height, so the
// windows grow and shrink with the font.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

// A label's own font: the character cell's height in pixels at 96 dpi, and
// whether the bold weight is ORed into it.
struct LabelFont {
    int height;
    bool bold;
};

namespace layout {

// ＭＳ Ｐゴシック 9 pt; the installed fonts with the same metrics stand in for it.
inline constexpr char16_t kDialogFontFace[] = u"\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af";
inline constexpr const char* kDialogFontSubstitutes[] = {"IPAPGothic", "Noto Sans CJK JP"};
inline constexpr int kDialogFontPoints = 9;

inline constexpr char kIconImage[] = ":/images/kirabel.png";
inline constexpr char kNextQuestionImage[] = ":/images/next_question.png";
inline constexpr char kNumberMarkerImage[] = ":/images/number_marker.png";
inline constexpr char kWrongMarkImage[] = ":/images/wrong_mark.png";
inline constexpr char kRightMarkImage[] = ":/images/right_mark.png";

// The main window's client area, below the menu bar. Pictures take the size of
// their image; only their position counts.
namespace mainWindow {
inline constexpr int kWidth = 259;
inline constexpr int kHeight = 159;
inline constexpr DialogRect kLowerFrame{7, 101, 245, 51};
inline constexpr DialogRect kAnswerEdit{14, 77, 228, 12};
inline constexpr DialogRect kQuestionLabel{16, 32, 220, 32};
inline constexpr DialogRect kAnswerLabel{42, 114, 202, 38};
// Below the answer's first line and left of the button, over the answer
// label: shown only with a hint.
inline constexpr DialogRect kHintLabel{42, 126, 136, 25};
inline constexpr DialogRect kNextButton{181, 130, 62, 15};
inline constexpr DialogRect kTopFrame{7, 3, 245, 21};
inline constexpr DialogRect kNumberMarker{13, 9, 11, 13};
inline constexpr DialogRect kNumberLabel{26, 11, 45, 11};
// Where the set stands: the rest of the top strip, right of the number, one
// unit lower so that its smaller text stands on the number's line.
inline constexpr DialogRect kStatusLabel{74, 12, 174, 10};
inline constexpr DialogRect kUpperFrame{7, 3, 245, 93};
inline constexpr DialogRect kRightMark{15, 112, 27, 32};
inline constexpr DialogRect kWrongMark{15, 112, 18, 21};

enum class Control {
    LowerFrame,
    AnswerEdit,
    QuestionLabel,
    HintLabel,
    AnswerLabel,
    NextButton,
    TopFrame,
    NumberMarker,
    NumberLabel,
    StatusLabel,
    UpperFrame,
    RightMark,
    WrongMark,
};

// What a control is; each toolkit makes its own of each kind.
enum class ControlKind {
    Frame,     // an outline without a caption, over what it encloses
    Edit,      // a one-line edit box
    Label,     // a text that wraps at the right edge
    LineLabel, // a text on one line: what does not fit is cut off, not wrapped away
    Button,    // a push button that shows a picture
    Picture,   // a picture of its image's size
};

// A picture as each toolkit finds it: the Qt resource and the Windows bitmap.
struct Picture {
    const char* image;
    int bitmap;
};

inline constexpr Picture kNoPicture{nullptr, 0};
inline constexpr Picture kNumberMarkerPicture{kNumberMarkerImage, IDB_NUMBER_MARKER};
inline constexpr Picture kRightMarkPicture{kRightMarkImage, IDB_RIGHT_MARK};
inline constexpr Picture kWrongMarkPicture{kWrongMarkImage, IDB_WRONG_MARK};

// One control: `id` is its Windows control id (-1 for one the program never
// addresses). A control starts hidden or disabled as the window is before any
// set is opened, so that no control has to change once made.
struct Placement {
    Control control;
    ControlKind kind;
    int id;
    DialogRect rect;
    Picture picture = kNoPicture;
    bool shown = true;
    bool enabled = true;
};

// The controls in the order the window makes them (on Windows, the dialog
// template's order, in which each control lies above those after it).
inline constexpr Placement kControls[] = {
    {Control::LowerFrame, ControlKind::Frame, -1, kLowerFrame},
    {Control::AnswerEdit, ControlKind::Edit, IDC_ANSWER_EDIT, kAnswerEdit, kNoPicture, true, false},
    {Control::QuestionLabel, ControlKind::Label, IDC_QUESTION_LABEL, kQuestionLabel},
    // Until there is a hint.
    {Control::HintLabel, ControlKind::Label, IDC_HINT_LABEL, kHintLabel, kNoPicture, false},
    {Control::AnswerLabel, ControlKind::Label, IDC_ANSWER_LABEL, kAnswerLabel},
    {Control::NextButton, ControlKind::Button, IDC_NEXT_BUTTON, kNextButton, kNoPicture, true,
     false},
    {Control::TopFrame, ControlKind::Frame, -1, kTopFrame},
    {Control::NumberMarker, ControlKind::Picture, -1, kNumberMarker, kNumberMarkerPicture},
    {Control::NumberLabel, ControlKind::Label, IDC_NUMBER_LABEL, kNumberLabel},
    {Control::StatusLabel, ControlKind::LineLabel, IDC_STATUS_LABEL, kStatusLabel},
    {Control::UpperFrame, ControlKind::Frame, -1, kUpperFrame},
    {Control::RightMark, ControlKind::Picture, IDC_RIGHT_MARK, kRightMark, kRightMarkPicture,
     false},
    {Control::WrongMark, ControlKind::Picture, IDC_WRONG_MARK, kWrongMark, kWrongMarkPicture,
     false},
};

// The controls that Tab reaches, in the order it reaches them.
inline constexpr Control kTabOrder[] = {Control::AnswerEdit, Control::NextButton};

constexpr bool IsTabStop(Control control) {
    for (const Control stop : kTabOrder) {
        if (stop == control) {
            return true;
        }
    }
    return false;
}

// The Windows dialog manager tabs in the order the controls were made.
constexpr bool TabsInCreationOrder() {
    std::size_t next = 0;
    for (const Placement& placement : kControls) {
        if (next < std::size(kTabOrder) && placement.control == kTabOrder[next]) {
            ++next;
        }
    }
    return next == std::size(kTabOrder);
}
static_assert(TabsInCreationOrder());

// The labels' own fonts.
inline constexpr LabelFont kQuestionFont{14, false};
inline constexpr LabelFont kAnswerFont{15, false};
inline constexpr LabelFont kNumberFont{14, true};
// No larger than the number's, so that the whole status fits in the strip.
inline constexpr LabelFont kStatusFont{12, false};
static_assert(kStatusFont.height <= kNumberFont.height);
inline constexpr LabelFont kHintFont{12, false};
} // namespace mainWindow

namespace aboutBox {
inline constexpr int kWidth = 235;
inline constexpr int kHeight = 55;
inline constexpr int kIconSize = 32; // pixels, the window system's standard icon
inline constexpr DialogRect kIcon{7, 7, 18, 21};
inline constexpr DialogRect kVersionText{40, 10, 119, 8};
inline constexpr DialogRect kOkButton{178, 7, 50, 14};
} // namespace aboutBox

} // namespace layout
