#include "controls/qt/CColorLabel.h"

#include <QApplication>
#include <QEvent>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Step = std::function<void(CColorLabel&)>;

constexpr CColorLabel::ColorRef kLightRed = 0x6464FF; // RGB(255, 100, 100)
const QColor kLightRedColor(255, 100, 100);
const std::string kSquares = "\x81\xa1\x81\xa1\x81\xa1"; // ■■■, solid glyphs

// Both setters edit one description, so each keeps what the other set.
TEST(CColorLabel, FontSettersKeepEarlierChanges) {
    const struct {
        Step steps;
        int pixelSize, weight;
    } cases[] = {
        {[](CColorLabel& l) { l.SetBold(true), l.SetFontHeight(15); }, 15, 956},
        {[](CColorLabel& l) { l.SetFontHeight(14), l.SetBold(true), l.SetBold(true); }, 14, 956}};
    for (const auto& c : cases) {
        CColorLabel label;
        c.steps(label);
        EXPECT_EQ(label.GetFont().pixelSize(), c.pixelSize);
        EXPECT_EQ(label.GetFont().weight(), c.weight);
        EXPECT_EQ(label.GetFont().family(), QApplication::font().family());
    }
}

struct Counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// A change of look is drawn once the event loop runs, once however many
// setters made it; a setter that changes nothing draws nothing.
TEST(CColorLabel, RepaintsOncePerChangeOfLook) {
    const struct {
        const char* name;
        Step change;
        int paints;
    } changes[] = {
        {"SetBackColor", [](CColorLabel& l) { l.SetBackColor(0); }, 1},
        {"SetTextColor", [](CColorLabel& l) { l.SetTextColor(0); }, 1},
        {"SetFontHeight", [](CColorLabel& l) { l.SetFontHeight(15); }, 1},
        {"SetBold", [](CColorLabel& l) { l.SetBold(true); }, 1},
        {"SetBoldFalse", [](CColorLabel& l) { l.SetBold(false); }, 0},
        {"SetText", [](CColorLabel& l) { l.SetText("a"); }, 1},
        {"SetTextUnchanged", [](CColorLabel& l) { l.SetText(""); }, 0},
        {"SetAppearance", [](CColorLabel& l) { l.SetAppearance(14, 0, 0xFFFFFF); }, 1},
        {"EverySetter",
         [](CColorLabel& l) { l.SetAppearance(14, 0, 0xFFFFFF), l.SetBold(true), l.SetText("a"); },
         1}};
    for (const auto& c : changes) {
        CColorLabel label;
        label.show();
        QApplication::processEvents();
        Counter counter;
        label.installEventFilter(&counter);
        c.change(label);
        EXPECT_EQ(counter.paints, 0) << c.name; // nothing drawn inside a setter
        QApplication::processEvents();
        EXPECT_EQ(counter.paints, c.paints) << c.name;
    }
}

// Text in its colour over the label's own brush, wrapping at the right edge
// even where the text has no spaces; the colours are 0x00BBGGRR.
TEST(CColorLabel, DrawsItsTextInItsColoursOnItsBrush) {
    CColorLabel label;
    label.resize(30, 40);
    label.SetAppearance(14, 0x00FF0000, kLightRed); // on blue
    label.SetText(kSquares);
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(29, 0), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(29, 39), QColor(0, 0, 255));
    bool first = false, second = false;
    for (int x = 0; x < image.width(); ++x) {
        first = first || image.pixelColor(x, 6) == kLightRedColor;
        second = second || image.pixelColor(x, 22) == kLightRedColor;
    }
    EXPECT_TRUE(first && second);
}

} // namespace
