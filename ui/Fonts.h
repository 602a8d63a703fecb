#pragma once

#include <QFont>

namespace mnemora {

// Makes the window's two typefaces, Tahoma and Courier New, resolve on
// systems that do not have them: a metric-compatible Tahoma from Wine's font
// package when it is installed, otherwise the nearest installed families,
// which the fonts below then name.
// Call once after the QApplication exists and before the first window; later
// calls do nothing.
void SetUpFonts();

// The window's font, inherited by the panel and both labels.
QFont WindowFont();
// The two input boxes.
QFont InputFont();
// The two code boxes.
QFont OutputFont();

} // namespace mnemora
