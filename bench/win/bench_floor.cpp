// The floor of the start-up benchmark: the least a window with the
// program's look needs, a bare Win32 window with one picture and one edit
// box. The picture is decoded as a plain Win32 program decodes its picture
// files, by Windows' own codecs (WIC) from a resource of the original file,
// into the same 32-bit premultiplied bitmap the window draws.
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

namespace {

struct Background {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
} background;

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

// background.gif, resource 100 of the floor's own script (bench/win/CMakeLists.txt).
Background Decode()
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(100), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found)
        return {};
    auto *bytes = static_cast<BYTE *>(::LockResource(::LoadResource(nullptr, found)));
    const DWORD size = ::SizeofResource(nullptr, found);
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (!bytes
        || FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
            IID_IWICImagingFactory, reinterpret_cast<void **>(&factory)))
        || FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromMemory(bytes, size))
        || FAILED(
            factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder))
        || FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter))
        || FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
            nullptr, 0.0, WICBitmapPaletteTypeCustom))
        || FAILED(converter->GetSize(&width, &height)))
        return {};
    std::vector<BYTE> pixels(static_cast<std::size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data())))
        return {};
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
    return {bitmap, static_cast<int>(width), static_cast<int>(height)};
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(source, background.bitmap);
        ::BitBlt(dc, 0, 156, background.width, background.height, source, 0, 0, SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, w, l);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    background = Decode();
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = Proc;
    type.hInstance = instance;
    type.lpszClassName = L"MnemoraFloor";
    ::RegisterClassExW(&type);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 660, 475};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = ::CreateWindowExW(0, L"MnemoraFloor", L"Mnemora floor", style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 84, 225, 209, 25, window,
        nullptr, instance, nullptr);
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
