#include "clsMD5.h"

#include "modUTF8.h"

#include <filesystem>
#include <fstream>
#include <vector>

// The file digest reads the file system, which the WebAssembly build of the
// core has none of; it lives apart so that build can leave it out.

namespace mnemora {

std::u16string clsMD5::DigestFileToHexStr(std::u16string_view InFile)
{
    try {
        const ByteArray utf8Path = StrToUTF8Bytes(InFile);
        const std::filesystem::path path(
            std::u8string(reinterpret_cast<const char8_t *>(utf8Path.data()), utf8Path.size()));

        // Querying the length first refuses a missing file without creating
        // it, and a file too long for the bit count before reading any of it.
        const std::uintmax_t length = std::filesystem::file_size(path);
        if (length > static_cast<std::uintmax_t>(MaxFinalBytes))
            return {};

        std::ifstream in;
        in.rdbuf()->pubsetbuf(nullptr, 0); // our own buffer is the only one
        in.open(path, std::ios::binary);
        if (!in)
            return {};

        MD5Init();
        std::vector<char> chunk(std::size_t{1} << 16);
        std::uintmax_t total = 0;
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<std::size_t>(in.gcount());
            if (got == 0)
                break;
            total += got;
            if (total > static_cast<std::uintmax_t>(MaxFinalBytes))
                return {}; // the file grew while it was read
            Feed(reinterpret_cast<const std::uint8_t *>(chunk.data()), got);
        }
        if (in.bad())
            return {};
        in.close();
        MD5Final();
        return GetValues();
    } catch (...) {
        return {};
    }
}

} // namespace mnemora
