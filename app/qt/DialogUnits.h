#pragma once

#include "res/Layout.h"

#include <QRect>
#include <QSize>

class QFont;

// Dialog units to pixels, as the window system lays out a dialog in a given
// font: the horizontal base is the rounded average width of "A".."Z" and
// "a".."z", the vertical base the character height; a horizontal unit is a
// quarter of its base, a vertical unit an eighth, each value rounded on its own.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int ToPixelsX(int x) const;
    int ToPixelsY(int y) const;
    QSize ToPixels(int width, int height) const;
    QRect ToPixels(const DialogRect& rect) const;

private:
    int m_baseWidth;
    int m_baseHeight;
};
