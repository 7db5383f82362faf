#include "controls/qt/CColorLabel.h"

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QRectF>
#include <QTextOption>

namespace {

constexpr int kBoldWeight = 700;

CColorLabel::ColorRef ToColorRef(const QColor& color) {
    return static_cast<CColorLabel::ColorRef>(color.red()) |
           (static_cast<CColorLabel::ColorRef>(color.green()) << 8) |
           (static_cast<CColorLabel::ColorRef>(color.blue()) << 16);
}

} // namespace

QColor CColorLabel::ToQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

CColorLabel::CColorLabel(QWidget* parent)
    : QLabel(parent), m_font(QApplication::font()),
      m_textColor(ToColorRef(QApplication::palette().color(QPalette::WindowText))),
      m_backBrush(QApplication::palette().color(QPalette::Button)) {
    // It fills its whole rectangle: nothing beneath need be drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CColorLabel::SetAppearance(int height, ColorRef backColor, ColorRef textColor) {
    SetBackColor(backColor);
    SetTextColor(textColor);
    SetFontHeight(height);
}

void CColorLabel::SetBackColor(ColorRef color) {
    m_backBrush = QBrush(ToQColor(color));
    update();
}

void CColorLabel::SetTextColor(ColorRef color) {
    m_textColor = color;
    update();
}

void CColorLabel::SetFontHeight(int height) {
    // The Japanese UI fonts have no internal leading: the em is the whole cell.
    m_font.setPixelSize(height);
    update();
}

void CColorLabel::SetBold(bool bold) {
    if (bold) {
        m_font.setWeight(static_cast<QFont::Weight>(m_font.weight() | kBoldWeight));
        update();
    }
}

void CColorLabel::SetText(const std::string& text) {
    setText(QString::fromStdString(text)); // repainted by QLabel when it changes
}

void CColorLabel::paintEvent(QPaintEvent* /*event*/) {
    // The label draws itself: its brush behind, its text on top without any
    // fill behind the characters.
    QPainter painter(this);
    painter.fillRect(rect(), m_backBrush);
    painter.setFont(m_font);
    painter.setPen(ToQColor(m_textColor));
    // Breaks between words where it can; a run with no break in it (a row of
    // symbols, a long word) breaks anywhere rather than run out of sight.
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.drawText(QRectF(rect()), text(), option);
}
