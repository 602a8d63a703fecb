#pragma once

// Helpers shared by the core tests: known-answer files and conversions that
// keep the tests independent of the code under test.

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace mnemora::test {

// Non-comment, non-empty lines of a file in tests/data.
inline std::vector<std::string> DataLines(const std::string &name)
{
    std::ifstream in(std::string(MNEMORA_TEST_DATA_DIR) + "/" + name);
    if (!in)
        throw std::runtime_error("missing test data file " + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

inline std::vector<std::uint8_t> FromHex(const std::string &hex)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string ToUpperHex(const unsigned char *data, std::size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// Bytes below 0x80 as UTF-16 units, one each.
inline std::u16string AsciiText(const std::string &ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

inline std::u16string AsciiText(const std::vector<std::uint8_t> &bytes)
{
    return std::u16string(bytes.begin(), bytes.end());
}

inline std::string Narrow(const std::u16string &text)
{
    std::string out;
    for (const char16_t c : text)
        out += static_cast<char>(c);
    return out;
}

// A UTF-8 text (well-formed, as the data files hold) as UTF-16, decoded here
// rather than by the engine's own conversion.
inline std::u16string Utf8ToText(const std::string &utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        std::uint32_t cp = extra == 0 ? b : static_cast<std::uint32_t>(b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3Fu);
        i += static_cast<std::size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

// The tab-separated fields of a data line, each with its \t \n \\ escapes undone.
inline std::vector<std::string> DataFields(const std::string &line)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

// A row of fitted.txt: the known fitted codes.
struct FittedVector {
    std::string password, key, rule, canonical, code; // UTF-8
    bool plain = false;
};

inline std::vector<FittedVector> FittedVectors()
{
    std::vector<FittedVector> rows;
    for (const std::string &line : DataLines("fitted.txt")) {
        const std::vector<std::string> f = DataFields(line);
        rows.push_back({f.at(0), f.at(1), f.at(2), f.at(3), f.at(4), f.at(5) == "plain"});
    }
    return rows;
}

// The messages of the length sweeps: byte i is (7 i + 3) mod 256.
inline std::vector<std::uint8_t> MessageOf(std::size_t length)
{
    std::vector<std::uint8_t> m(length);
    for (std::size_t i = 0; i < length; ++i)
        m[i] = static_cast<std::uint8_t>((i * 7 + 3) % 256);
    return m;
}

} // namespace mnemora::test
