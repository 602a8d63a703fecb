#pragma once

#include "WindowLayout.h"

#include <QRect>

namespace mnemora {

// Qt's device-independent pixel is the layout's reference pixel, so controls
// placed here and pictures shown at natural size stay together when Qt scales
// the window for a high-resolution screen.
constexpr QRect TwipsRect(int left, int top, int width, int height) noexcept
{
    const PixelRect pixels = TwipsToPixelRect(left, top, width, height);
    return QRect(pixels.x, pixels.y, pixels.width, pixels.height);
}

} // namespace mnemora
