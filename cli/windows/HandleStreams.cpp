#include "HandleStreams.h"

#include "SecureWipe.h"

#include <string>
#include <system_error>

namespace mnemora::cli {

namespace {

bool WriteAllBytes(HANDLE handle, const char *data, std::size_t size) noexcept
{
    while (size > 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(size < 0x10000 ? size : 0x10000);
        if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// The length of the longest prefix of text that does not end inside a UTF-8
// sequence; the rest waits for the bytes that complete it.
std::size_t CompleteUtf8Prefix(std::string_view text) noexcept
{
    std::size_t back = 0;
    while (back < text.size() && back < 4) {
        const auto b = static_cast<unsigned char>(text[text.size() - 1 - back]);
        if ((b & 0xC0) != 0x80) {
            const std::size_t length = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            return length > back + 1 ? text.size() - 1 - back : text.size();
        }
        ++back;
    }
    return text.size();
}

} // namespace

bool WriteConsoleUtf8(HANDLE console, std::string_view utf8) noexcept
{
    if (utf8.empty())
        return true;
    try {
        const int size = static_cast<int>(utf8.size());
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), size);
        bool ok = units > 0;
        for (int done = 0; ok && done < units;) {
            DWORD written = 0;
            ok = ::WriteConsoleW(
                     console, wide.data() + done, static_cast<DWORD>(units - done), &written, nullptr)
                && written > 0;
            done += static_cast<int>(written);
        }
        SecureWipe(wide);
        return ok;
    } catch (...) {
        return false;
    }
}

HandleWriteBuf::HandleWriteBuf(HANDLE handle) noexcept
    : m_handle(handle)
{
    DWORD mode = 0;
    m_console = handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

HandleWriteBuf::~HandleWriteBuf()
{
    Drain();
    SecureWipe(m_buffer.data(), m_buffer.size());
}

bool HandleWriteBuf::Drain() noexcept
{
    const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    std::size_t done = pending.size();
    bool ok = true;
    if (m_console) {
        done = CompleteUtf8Prefix(pending);
        ok = WriteConsoleUtf8(m_handle, pending.substr(0, done));
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; ok && i < pending.size(); ++i) {
            if (pending[i] != '\n')
                continue;
            ok = WriteAllBytes(m_handle, pending.data() + start, i - start)
                && WriteAllBytes(m_handle, "\r\n", 2);
            start = i + 1;
        }
        ok = ok && WriteAllBytes(m_handle, pending.data() + start, pending.size() - start);
    }
    // What was written, or could not be, leaves the buffer; an incomplete
    // UTF-8 sequence moves to its front.
    const std::string_view rest = pending.substr(done);
    std::copy(rest.begin(), rest.end(), m_buffer.begin());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    pbump(static_cast<int>(rest.size()));
    return ok;
}

HandleWriteBuf::int_type HandleWriteBuf::overflow(int_type c)
{
    if (!Drain())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int HandleWriteBuf::sync()
{
    return Drain() ? 0 : -1;
}

HandleReadBuf::~HandleReadBuf()
{
    SecureWipe(&m_byte, sizeof m_byte);
}

HandleReadBuf::int_type HandleReadBuf::underflow()
{
    DWORD n = 0;
    if (!::ReadFile(m_handle, &m_byte, 1, &n, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return traits_type::eof();
        throw std::system_error(static_cast<int>(error), std::system_category(), "ReadFile");
    }
    if (n == 0)
        return traits_type::eof();
    setg(&m_byte, &m_byte, &m_byte + 1);
    return traits_type::to_int_type(m_byte);
}

} // namespace mnemora::cli
