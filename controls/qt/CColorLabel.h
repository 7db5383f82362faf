#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLabel>

#include <cstdint>
#include <string>

// A static text in a colour, a font and over a background of its own. The
// font starts as the application's default font and is edited in place, so a
// height set earlier survives SetBold and the other way round. A change of
// look is drawn when the event loop next runs, once for all the setters
// called in between.
class CColorLabel : public QLabel {
public:
    // 0x00BBGGRR, as the window system gives colours.
    using ColorRef = std::uint32_t;

    explicit CColorLabel(QWidget* parent = nullptr);

    // SetBackColor, SetTextColor and SetFontHeight, in that order.
    void SetAppearance(int height, ColorRef backColor, ColorRef textColor);
    void SetBackColor(ColorRef color);
    void SetTextColor(ColorRef color);
    // The height of the character cell in pixels.
    void SetFontHeight(int height);
    // ORs the bold weight (700) into the weight: 400 becomes 956, 700 stays.
    void SetBold(bool bold);
    // UTF-8 text, shown as it is (no markup, no mnemonics).
    void SetText(const std::string& text);

    // A window-system colour as Qt's.
    static QColor ToQColor(ColorRef color);

    ColorRef GetTextColor() const { return m_textColor; }
    const QFont& GetFont() const { return m_font; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    ColorRef m_textColor;
    QBrush m_backBrush;
};
