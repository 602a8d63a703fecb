#pragma once

#include <windows.h>

namespace mnemora::win {

// A picture of the window, decoded from the program's resources by Windows'
// own codecs (WIC) into a 32-bit top-down bitmap with premultiplied alpha.
struct Picture {
    HBITMAP bitmap = nullptr;
    int width = 0; // in pixels of the bitmap
    int height = 0;
    int scale = 1; // 2 for a rendition drawn for 200 %
};

// Decodes a picture file of assets/art compiled in as a resource. With scale 2 the
// @2x rendition is taken where one was drawn. A null bitmap when the
// resource is missing or cannot be decoded.
Picture LoadPicture(const char *fileName, int scale);

// While one lives, the pictures and the pointer loaded on its thread share
// one imaging factory, which each would otherwise create again and look up
// in the registry.
class PictureBatch {
public:
    PictureBatch();
    ~PictureBatch();
    PictureBatch(const PictureBatch &) = delete;
    PictureBatch &operator=(const PictureBatch &) = delete;

private:
    bool m_owner = false;
};

// The pointing hand over every control that reacts to a click, hot spot at
// the fingertip (6, 0), drawn at the given dots per inch.
HCURSOR LoadHandCursor(UINT dpi);

} // namespace mnemora::win
