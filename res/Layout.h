#pragma once

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
inline constexpr DialogRect kNextButton{181, 130, 62, 15};
inline constexpr DialogRect kTopFrame{7, 3, 245, 21};
inline constexpr DialogRect kNumberMarker{13, 9, 11, 13};
inline constexpr DialogRect kNumberLabel{26, 11, 45, 11};
inline constexpr DialogRect kUpperFrame{7, 3, 245, 93};
inline constexpr DialogRect kRightMark{15, 112, 27, 32};
inline constexpr DialogRect kWrongMark{15, 112, 18, 21};
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
