#include "app/qt/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// value * numerator / denominator, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabetWidth = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    m_baseWidth = (alphabetWidth / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

int DialogUnits::ToPixelsX(int x) const {
    return MulDiv(x, m_baseWidth, 4);
}

int DialogUnits::ToPixelsY(int y) const {
    return MulDiv(y, m_baseHeight, 8);
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(ToPixelsX(width), ToPixelsY(height));
}

QRect DialogUnits::ToPixels(const DialogRect& rect) const {
    return QRect(ToPixelsX(rect.x), ToPixelsY(rect.y), ToPixelsX(rect.width),
                 ToPixelsY(rect.height));
}
