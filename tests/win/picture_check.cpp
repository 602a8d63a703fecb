// Compares every picture the window shows, as it fills its bitmaps from the
// pixels prepared at build time, with the original file decoded by Windows'
// own codecs (WIC) into 32-bit premultiplied BGRA, the form the window drew
// before any picture was prepared.
//
//     picture_check.exe ART-FOLDER
//
// Prints one line a picture, "same NAME" or "differs NAME ..." with the
// first differing pixel; exits 1 when any differs or cannot be read.

#include "Pictures.h"

#include "mnemora_layout.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

bool Decode(IWICImagingFactory *factory, const std::wstring &path, std::vector<BYTE> &pixels, UINT &width,
    UINT &height)
{
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    if (FAILED(factory->CreateDecoderFromFilename(
            path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder))
        || FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter))
        || FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
            nullptr, 0.0, WICBitmapPaletteTypeCustom))
        || FAILED(converter->GetSize(&width, &height)))
        return false;
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    return SUCCEEDED(
        converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()));
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_check.exe ART-FOLDER\n");
        return 2;
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int status = 0;
    {
        ComRef<IWICImagingFactory> factory;
        if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                IID_IWICImagingFactory, reinterpret_cast<void **>(&factory))))
            return 1;
        int checked = 0;
        for (const auto &entry : mnemora::layout::Pictures) {
            const std::string file = entry.file;
            // The icons are the icon resource's; the window shows none of these files.
            if (file.rfind("icon-", 0) == 0 || file.size() < 4 || file.substr(file.size() - 4) == ".ico")
                continue;
            ++checked;
            std::vector<BYTE> decoded;
            UINT width = 0;
            UINT height = 0;
            const std::wstring path = std::wstring(argv[1]) + L"\\" + std::wstring(file.begin(), file.end());
            const mnemora::win::Picture picture = mnemora::win::LoadPicture(file.c_str(), 1);
            DIBSECTION section{};
            if (!Decode(factory.p, path, decoded, width, height) || !picture.bitmap
                || ::GetObjectW(picture.bitmap, sizeof section, &section) != sizeof section
                || !section.dsBm.bmBits) {
                std::printf("differs %s: not loaded\n", file.c_str());
                status = 1;
                continue;
            }
            if (picture.width != static_cast<int>(width) || picture.height != static_cast<int>(height)
                || picture.width != entry.width || picture.height != entry.height) {
                std::printf("differs %s: %dx%d, decoded %ux%u, described %dx%d\n", file.c_str(),
                    picture.width, picture.height, width, height, entry.width, entry.height);
                status = 1;
            } else {
                const auto *prepared = static_cast<const BYTE *>(section.dsBm.bmBits);
                std::size_t at = 0;
                while (at < decoded.size() && std::memcmp(prepared + at, decoded.data() + at, 4) == 0)
                    at += 4;
                if (at < decoded.size()) {
                    std::uint32_t mine = 0;
                    std::uint32_t theirs = 0;
                    std::memcpy(&mine, prepared + at, 4);
                    std::memcpy(&theirs, decoded.data() + at, 4);
                    std::printf("differs %s at (%zu, %zu): prepared %08x, decoded %08x\n", file.c_str(),
                        at / 4 % width, at / 4 / width, mine, theirs);
                    status = 1;
                } else {
                    std::printf("same %s\n", file.c_str());
                }
            }
            ::DeleteObject(picture.bitmap);
        }
        if (checked == 0) {
            std::printf("no pictures checked\n");
            status = 1;
        }
    }
    ::CoUninitialize();
    return status;
}
