#pragma once

#include <QImage>
#include <QtGlobal>

#include <cstddef>

namespace mnemora {

// A picture prepared at build time (prepare_pictures.cpp): this header, in
// the build machine's byte order, then `height` rows of `bytesPerLine`
// bytes. Read back only by the program built beside it. The header's size is
// a multiple of 4, so rows stay as aligned as the picture's first byte.
struct PreparedHeader {
    quint32 magic;
    quint32 width;
    quint32 height;
    quint32 bytesPerLine;
    quint32 alpha;
};

static_assert(sizeof(PreparedHeader) % 4 == 0);

inline constexpr quint32 PreparedMagic = 0x31505850; // "PXP1"

// The formats a raster pixmap keeps opaque and transparent pictures in, so
// that turning the pixels into a pixmap converts nothing.
inline QImage::Format PreparedFormat(bool alpha)
{
    return alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

// The prepared pictures, compiled into the program's read-only data at a
// 64-byte boundary (the table source prepare_pictures.cpp writes), so that a
// picture's image can use them in place: nothing is copied at start, and
// only the pages a paint reads are ever touched.
struct PreparedPictureData {
    const char *name;
    const uchar *bytes;
    std::size_t size;
};

extern const PreparedPictureData PreparedPictures[];
extern const std::size_t PreparedPictureCount;

} // namespace mnemora
