// Colours that the window fixes, kept legible on whatever palette the desktop gives.
#pragma once

#include <QColor>
#include <initializer_list>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace zarnex {

constexpr double MinimumContrast = 4.5;  // WCAG AA for normal text

// WCAG contrast ratio, from 1 (same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// `wanted` itself when it reads well on every one of `backgrounds`; else the same hue moved toward
// white or black, whichever the first background leaves more room for, just far enough.
QColor LegibleOn(const QColor& wanted, std::initializer_list<QColor> backgrounds,
                 double minimum = MinimumContrast);

// The archive group's caption and Browse blue, its path black, each on the theme's own
// background: kept where they read well, else moved just far enough toward white or black.
void PaintArchiveGroup(QGroupBox& group, QLineEdit& pathField, QPushButton& browseButton);

}  // namespace zarnex
