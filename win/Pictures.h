#pragma once

#include <windows.h>

namespace mnemora::win {

// A picture of the window, a 32-bit top-down bitmap with premultiplied alpha
// filled from the pixels prepared at build time and compiled in as a
// resource (tools/prepare-win-pictures.py): no codec is loaded.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0; // in pixels of the bitmap
    int height = 0;
    int scale = 1; // 2 for a rendition drawn for 200 %
};

// The picture of a file of assets/art. With scale 2 the @2x rendition is
// taken where one was drawn. A null bitmap when the resource is missing or
// malformed.
Picture LoadPicture(const char *fileName, int scale);

// The pointing hand over every control that reacts to a click, hot spot at
// the fingertip (6, 0), drawn at the given dots per inch.
HCURSOR LoadHandCursor(UINT dpi);

} // namespace mnemora::win
