#include "mainwindow/theme.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
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

void PaintArchiveGroup(QGroupBox& group, QLineEdit& pathField, QPushButton& browseButton) {
    const QPalette theme = group.window()->palette();  // the group's own is ours
    const QColor blue(0, 0, 255);
    const QColor black(0, 0, 0);
    QPalette caption;
    QPalette path;
    QPalette browse;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor window = theme.color(group, QPalette::Window);
        const QColor captionColor = LegibleOn(blue, {window});
        caption.setColor(group, QPalette::WindowText, captionColor);  // styles draw titles with
        caption.setColor(group, QPalette::Text, captionColor);        // either role
        // Where black would not read, the path takes the theme's text colour, like any field.
        const QColor base = theme.color(group, QPalette::Base);
        const QColor pathColor = ContrastRatio(black, base) >= MinimumContrast
                                     ? black
                                     : theme.color(group, QPalette::Text);
        path.setColor(group, QPalette::Text, LegibleOn(pathColor, {base}));
        // Styles shade a button's face lighter than the palette's colour: Fusion up to about 26%.
        const QColor face = theme.color(group, QPalette::Button);
        browse.setColor(group, QPalette::ButtonText, LegibleOn(blue, {face, face.lighter(130)}));
    }
    group.setPalette(caption);
    pathField.setPalette(path);
    browseButton.setPalette(browse);
}

}  // namespace zarnex
