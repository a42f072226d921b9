#include "mainwindow/theme.h"

#include <algorithm>
#include <cmath>

namespace zarnex {

namespace {

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
           0.0722 * Linear(rgb.blueF());
}

QColor Mix(const QColor& from, const QColor& to, double t) {
    auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor LegibleOn(const QColor& wanted, std::initializer_list<QColor> backgrounds, double minimum) {
    auto reads = [&](const QColor& color) {
        return std::all_of(backgrounds.begin(), backgrounds.end(), [&](const QColor& background) {
            return ContrastRatio(color, background) >= minimum;
        });
    };
    if (reads(wanted)) {
        return wanted;
    }
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    const QColor first = *backgrounds.begin();
    const QColor end = ContrastRatio(white, first) >= ContrastRatio(black, first) ? white : black;
    constexpr int Steps = 64;
    for (int step = 1; step < Steps; ++step) {
        const QColor mixed = Mix(wanted.toRgb(), end, static_cast<double>(step) / Steps);
        if (reads(mixed)) {
            return mixed;
        }
    }
    return end;
}

}  // namespace zarnex
