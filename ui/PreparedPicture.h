#pragma once

#include <QImage>
#include <QtGlobal>

namespace mnemora {

// A picture prepared at build time (prepare_pictures.cpp): this header, in
// the build machine's byte order, then `height` rows of `bytesPerLine`
// bytes. Read back only by the program built beside it.
struct PreparedHeader {
    quint32 magic;
    quint32 width;
    quint32 height;
    quint32 bytesPerLine;
    quint32 alpha;
};

inline constexpr quint32 PreparedMagic = 0x31505850; // "PXP1"

// The formats a raster pixmap keeps opaque and transparent pictures in, so
// that turning the pixels into a pixmap converts nothing.
inline QImage::Format PreparedFormat(bool alpha)
{
    return alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

} // namespace mnemora
