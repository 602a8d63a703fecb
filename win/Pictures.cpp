#include "Pictures.h"

#include "mnemora_layout.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace mnemora::win {

namespace {

// Resource numbers of the pictures follow assets/layout.json's list (win/CMakeLists.txt).
constexpr int FirstPictureResource = 100;

// The header tools/prepare-win-pictures.py writes before a picture's
// colours and runs, little-endian as every Windows on x86 and ARM.
struct PreparedHeader {
    std::uint32_t magic;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t colours;
    std::uint32_t indexBytes;
};
constexpr std::uint32_t PreparedMagic = 0x3158504D; // "MPX1"
// Larger than any picture drawn; keeps the pixel count far from overflow.
constexpr std::uint32_t MaxSide = 8192;

int ResourceOf(const std::string &file)
{
    for (std::size_t i = 0; i < std::size(layout::Pictures); ++i)
        if (file == layout::Pictures[i].file)
            return FirstPictureResource + static_cast<int>(i);
    return 0;
}

// A prepared picture as compiled in: its header, then its colours and runs.
struct Prepared {
    PreparedHeader header{};
    const BYTE *colours = nullptr;
    const BYTE *runs = nullptr;
    const BYTE *end = nullptr;
};

bool Find(int resource, Prepared &picture)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found)
        return false;
    const auto *bytes = static_cast<const BYTE *>(::LockResource(::LoadResource(nullptr, found)));
    const DWORD size = ::SizeofResource(nullptr, found);
    if (!bytes || size < sizeof picture.header)
        return false;
    std::memcpy(&picture.header, bytes, sizeof picture.header);
    const PreparedHeader &h = picture.header;
    if (h.magic != PreparedMagic || h.width == 0 || h.height == 0 || h.width > MaxSide || h.height > MaxSide
        || h.colours == 0 || h.colours > 65536 || (h.indexBytes != 1 && h.indexBytes != 2)
        || (h.indexBytes == 1 && h.colours > 256) || size - sizeof h < std::size_t{h.colours} * 4)
        return false;
    picture.colours = bytes + sizeof h;
    picture.runs = picture.colours + std::size_t{h.colours} * 4;
    picture.end = bytes + size;
    return true;
}

// Writes the picture's pixels, 32-bit premultiplied BGRA, top row first,
// into `pixels`, which holds width * height of them. False, with `pixels`
// partly written, when the runs are malformed: they never write past the end.
bool Expand(const Prepared &picture, BYTE *pixels)
{
    const std::size_t count = std::size_t{picture.header.width} * picture.header.height;
    const std::size_t indexBytes = picture.header.indexBytes;
    const BYTE *at = picture.runs;
    std::size_t done = 0;
    const auto colourAt = [&](const BYTE *index) -> const BYTE * {
        const std::uint32_t i = indexBytes == 1 ? index[0] : index[0] | std::uint32_t{index[1]} << 8;
        return i < picture.header.colours ? picture.colours + std::size_t{i} * 4 : nullptr;
    };
    while (done < count) {
        if (at == picture.end)
            return false;
        const unsigned control = *at++;
        const bool repeated = control >= 128;
        const std::size_t length = repeated ? control - 126 : control + 1;
        const std::size_t bytes = repeated ? indexBytes : length * indexBytes;
        if (length > count - done || static_cast<std::size_t>(picture.end - at) < bytes)
            return false;
        for (std::size_t i = 0; i < length; ++i, ++done) {
            const BYTE *colour = colourAt(repeated ? at : at + i * indexBytes);
            if (!colour)
                return false;
            std::memcpy(pixels + done * 4, colour, 4);
        }
        at += bytes;
    }
    return true;
}

HBITMAP NewBitmap(UINT width, UINT height, void **bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

} // namespace

Picture LoadPicture(const char *fileName, int scale)
{
    std::string file = fileName;
    int resource = 0;
    int drawnFor = 1;
    if (scale == 2) {
        const std::size_t dot = file.rfind('.');
        resource = ResourceOf(file.substr(0, dot) + "@2x.png");
        drawnFor = resource == 0 ? 1 : 2;
    }
    if (resource == 0)
        resource = ResourceOf(file);
    Prepared prepared;
    if (resource == 0 || !Find(resource, prepared))
        return {};
    const UINT width = prepared.header.width;
    const UINT height = prepared.header.height;
    void *bits = nullptr;
    HBITMAP bitmap = NewBitmap(width, height, &bits);
    if (!bitmap)
        return {};
    if (!Expand(prepared, static_cast<BYTE *>(bits))) {
        ::DeleteObject(bitmap);
        return {};
    }
    return {bitmap, static_cast<int>(width), static_cast<int>(height), drawnFor};
}

HCURSOR LoadHandCursor(UINT dpi)
{
    Prepared hand;
    std::vector<BYTE> pixels;
    if (Find(ResourceOf("hand.png"), hand))
        pixels.resize(std::size_t{hand.header.width} * hand.header.height * 4);
    if (pixels.empty() || !Expand(hand, pixels.data()))
        return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)); // IDC_HAND
    const UINT width = hand.header.width;
    const UINT height = hand.header.height;
    // A pointer of twice the size on a screen of twice the density: each
    // pixel doubled, so the outline stays one pointer pixel wide.
    const UINT scale = dpi >= 192 ? 2 : 1;
    std::vector<BYTE> scaled(pixels.size() * scale * scale);
    for (UINT y = 0; y < height * scale; ++y)
        for (UINT x = 0; x < width * scale; ++x)
            std::memcpy(&scaled[(std::size_t{y} * width * scale + x) * 4],
                &pixels[(std::size_t{y / scale} * width + x / scale) * 4], 4);
    void *bits = nullptr;
    HBITMAP colour = NewBitmap(width * scale, height * scale, &bits);
    if (colour)
        std::memcpy(bits, scaled.data(), scaled.size());
    HBITMAP mask
        = ::CreateBitmap(static_cast<int>(width * scale), static_cast<int>(height * scale), 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = FALSE;
    info.xHotspot = 6 * scale;
    info.yHotspot = 0;
    info.hbmMask = mask;
    info.hbmColor = colour;
    HCURSOR cursor = ::CreateIconIndirect(&info);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return cursor ? cursor : ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
}

} // namespace mnemora::win
