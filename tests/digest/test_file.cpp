// The digest of a file: the engine's digest of its bytes, or the empty text on
// any failure, never an exception.

#include "OpenSslOracle.h"
#include "TestData.h"
#include "clsMD5.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using mnemora::clsMD5;
using namespace mnemora::test;
namespace fs = std::filesystem;

namespace {

class FileDigest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("mnemora-file-test-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path Write(const std::string &name, const std::vector<std::uint8_t> &bytes)
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::u16string Text(const fs::path &path) { return Utf8ToText(path.string()); }

    fs::path dir;
};

} // namespace

TEST_F(FileDigest, EqualsTheEngineDigestOfTheBytes)
{
    // Lengths on both sides of the finishing rule and of the read buffer.
    const std::set<std::size_t> lengths{0, 1, 55, 56, 64, 121, 128, 300, 32831, 32888, 40000, 65536};
    std::size_t checked = 0;
    for (const std::string &line : DataLines("engine_lengths.txt")) {
        std::istringstream in(line);
        std::size_t length = 0;
        std::string digest;
        in >> length >> digest;
        if (lengths.count(length) == 0)
            continue;
        const fs::path path = Write("f" + std::to_string(length), MessageOf(length));
        clsMD5 md5;
        EXPECT_EQ(Narrow(md5.DigestFileToHexStr(Text(path))), digest) << length;
        ++checked;
    }
    EXPECT_EQ(checked, lengths.size());
}

TEST_F(FileDigest, AFileWhoseFinishOverflowsGivesTheEmptyText)
{
    clsMD5 md5;
    EXPECT_EQ(md5.DigestFileToHexStr(Text(Write("overflow", MessageOf(32889)))), u"");
    EXPECT_EQ(md5.DigestFileToHexStr(Text(Write("fits", MessageOf(32888)))).size(), 32u);
}

TEST_F(FileDigest, AMissingPathGivesTheEmptyTextAndCreatesNothing)
{
    const fs::path missing = dir / "does-not-exist";
    clsMD5 md5;
    EXPECT_EQ(md5.DigestFileToHexStr(Text(missing)), u"");
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(FileDigest, ADirectoryGivesTheEmptyText)
{
    clsMD5 md5;
    EXPECT_EQ(md5.DigestFileToHexStr(Text(dir)), u"");
}

TEST_F(FileDigest, ANonAsciiPathIsFound)
{
    const auto bytes = MessageOf(10);
    const fs::path path = Write("\xE5\xAF\x86\xE7\xA0\x81.bin", bytes);
    clsMD5 md5;
    EXPECT_EQ(Narrow(md5.DigestFileToHexStr(Text(path))), OpenSslMd5(bytes));
}
