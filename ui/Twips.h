#pragma once

#include "mnemora_layout.h"

#include <QRect>

namespace mnemora {

// The window is laid out in twips (1/1440 inch). At the reference 96 dpi
// fifteen twips make one pixel, and every picture was drawn for exactly that
// ratio. Qt's device-independent pixel is that reference pixel, so controls
// placed here and pictures shown at natural size stay together when Qt scales
// the window for a high-resolution screen.
using layout::TwipsPerPixel;

// Nearest pixel, halves rounded up. Design positions are never negative.
constexpr int TwipsToPixels(int twips) noexcept
{
    return (2 * twips + TwipsPerPixel) / (2 * TwipsPerPixel);
}

// Rounds the edges rather than the size, so two controls that meet in twips
// also meet in pixels.
constexpr QRect TwipsRect(int left, int top, int width, int height) noexcept
{
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    return QRect(x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y);
}

} // namespace mnemora
