#include "Pictures.h"

#include "mnemora_layout.h"

#include <wincodec.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace mnemora::win {

namespace {

// Resource numbers of the pictures follow assets/layout.json's list (win/CMakeLists.txt).
constexpr int FirstPictureResource = 100;

template <class T> struct ComRef {
    T *p = nullptr;
    ~ComRef()
    {
        if (p)
            p->Release();
    }
    T **operator&() { return &p; }
    T *operator->() const { return p; }
};

// The factory of the PictureBatch alive on this thread, if any.
thread_local IWICImagingFactory *t_batchFactory = nullptr;

int ResourceOf(const std::string &file)
{
    for (std::size_t i = 0; i < std::size(layout::Pictures); ++i)
        if (file == layout::Pictures[i].file)
            return FirstPictureResource + static_cast<int>(i);
    return 0;
}

// The pixels of a resource picture, 32-bit premultiplied BGRA, top row first.
bool Decode(int resource, std::vector<BYTE> &pixels, UINT &width, UINT &height)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found)
        return false;
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const DWORD size = ::SizeofResource(nullptr, found);
    auto *bytes = static_cast<BYTE *>(::LockResource(loaded));
    if (!bytes || size == 0)
        return false;

    ComRef<IWICImagingFactory> own;
    IWICImagingFactory *factory = t_batchFactory;
    if (!factory) {
        if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                IID_IWICImagingFactory, reinterpret_cast<void **>(&own))))
            return false;
        factory = own.p;
    }
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromMemory(bytes, size))
        || FAILED(
            factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder))
        || FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter))
        || FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
            nullptr, 0.0, WICBitmapPaletteTypeCustom))
        || FAILED(converter->GetSize(&width, &height)))
        return false;
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    return SUCCEEDED(
        converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()));
}

HBITMAP ToBitmap(const std::vector<BYTE> &pixels, UINT width, UINT height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap)
        std::memcpy(bits, pixels.data(), pixels.size());
    return bitmap;
}

} // namespace

PictureBatch::PictureBatch()
{
    if (t_batchFactory)
        return; // an outer batch's factory serves this one too
    m_owner = SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
        IID_IWICImagingFactory, reinterpret_cast<void **>(&t_batchFactory)));
}

PictureBatch::~PictureBatch()
{
    if (m_owner) {
        t_batchFactory->Release();
        t_batchFactory = nullptr;
    }
}

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
    std::vector<BYTE> pixels;
    UINT width = 0;
    UINT height = 0;
    if (resource == 0 || !Decode(resource, pixels, width, height))
        return {};
    return {ToBitmap(pixels, width, height), static_cast<int>(width), static_cast<int>(height), drawnFor};
}

HCURSOR LoadHandCursor(UINT dpi)
{
    std::vector<BYTE> pixels;
    UINT width = 0;
    UINT height = 0;
    if (!Decode(ResourceOf("hand.png"), pixels, width, height))
        return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)); // IDC_HAND
    // A pointer of twice the size on a screen of twice the density: each
    // pixel doubled, so the outline stays one pointer pixel wide.
    const UINT scale = dpi >= 192 ? 2 : 1;
    std::vector<BYTE> scaled(pixels.size() * scale * scale);
    for (UINT y = 0; y < height * scale; ++y)
        for (UINT x = 0; x < width * scale; ++x)
            std::memcpy(&scaled[(std::size_t{y} * width * scale + x) * 4],
                &pixels[(std::size_t{y / scale} * width + x / scale) * 4], 4);
    HBITMAP colour = ToBitmap(scaled, width * scale, height * scale);
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
