#pragma once

#include <windows.h>

#include <array>
#include <streambuf>
#include <string_view>

namespace mnemora::cli {

// Standard output or standard error of the Windows program. Text written to a
// console goes through WriteConsoleW, so that every character of the UTF-8
// text shows whatever the console's code page; anywhere else (a file, a pipe)
// the UTF-8 bytes are written as they are, lines ending in "\r\n" as Windows
// programs' do. A failed write makes the owning ostream bad, so a lost code
// is reported rather than taken for success.
class HandleWriteBuf final : public std::streambuf {
public:
    explicit HandleWriteBuf(HANDLE handle) noexcept;
    HandleWriteBuf(const HandleWriteBuf &) = delete;
    HandleWriteBuf &operator=(const HandleWriteBuf &) = delete;
    ~HandleWriteBuf() override;

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool Drain() noexcept;

    HANDLE m_handle;
    bool m_console;
    std::array<char, 512> m_buffer{};
};

// Standard input as a stream of bytes, one ReadFile per byte, so that only
// the first line is consumed and no hidden buffer keeps the password. No text
// mode: "\r" and Ctrl-Z are bytes like any other. The end of a pipe is the
// end of input; other read errors are thrown, which the owning istream turns
// into badbit.
class HandleReadBuf final : public std::streambuf {
public:
    explicit HandleReadBuf(HANDLE handle) noexcept
        : m_handle(handle)
    { }
    HandleReadBuf(const HandleReadBuf &) = delete;
    HandleReadBuf &operator=(const HandleReadBuf &) = delete;
    ~HandleReadBuf() override;

protected:
    int_type underflow() override;

private:
    HANDLE m_handle;
    char m_byte = '\0';
};

// Writes UTF-8 text to a console handle as UTF-16. False when it fails.
bool WriteConsoleUtf8(HANDLE console, std::string_view utf8) noexcept;

} // namespace mnemora::cli
