// Throughput of the digest engine and cost of one derivation, each measured
// beside OpenSSL in the same run so the ratios do not depend on the machine.
// OpenSSL serves as the yardstick only; the programs never link it.

#include "FitCode.h"
#include "GenerateCodes.h"
#include "PasswordRules.h"
#include "clsMD5.h"
#include "modUTF8.h"

#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::size_t MessageSize = 1 << 20;
constexpr std::size_t Chunk = 32767;

const std::vector<std::uint8_t> &Message()
{
    static const std::vector<std::uint8_t> message = [] {
        std::vector<std::uint8_t> m(MessageSize);
        for (std::size_t i = 0; i < m.size(); ++i)
            m[i] = static_cast<std::uint8_t>(i * 131 + 7);
        return m;
    }();
    return message;
}

std::array<std::uint8_t, 16> EngineMd5(mnemora::clsMD5 &md5, const std::vector<std::uint8_t> &m)
{
    md5.MD5Init();
    for (std::size_t at = 0; at < m.size(); at += Chunk) {
        const std::size_t n = std::min(Chunk, m.size() - at);
        md5.MD5Update(static_cast<std::int32_t>(n), std::span(m).subspan(at, n));
    }
    md5.MD5Final();
    return md5.DigestBytes();
}

std::array<std::uint8_t, 16> OpenSslMd5(EVP_MD_CTX *ctx, const EVP_MD *md, const std::vector<std::uint8_t> &m)
{
    std::array<std::uint8_t, 16> out{};
    unsigned int len = 0;
    EVP_DigestInit_ex(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, m.data(), m.size());
    EVP_DigestFinal_ex(ctx, out.data(), &len);
    return out;
}

void BM_EngineMd5(benchmark::State &state)
{
    mnemora::clsMD5 md5;
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    // 1 MiB is 16,384 whole blocks: the finishing rule is standard here, so
    // the engine must agree with OpenSSL before its speed means anything.
    if (EngineMd5(md5, Message()) != OpenSslMd5(ctx, EVP_md5(), Message()))
        state.SkipWithError("engine digest differs from OpenSSL's");
    EVP_MD_CTX_free(ctx);
    for (auto _ : state)
        benchmark::DoNotOptimize(EngineMd5(md5, Message()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(MessageSize));
}
BENCHMARK(BM_EngineMd5)->Unit(benchmark::kMicrosecond);

void BM_OpenSslMd5(benchmark::State &state)
{
    EVP_MD *md = EVP_MD_fetch(nullptr, "MD5", nullptr);
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    for (auto _ : state)
        benchmark::DoNotOptimize(OpenSslMd5(ctx, md, Message()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(MessageSize));
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
}
BENCHMARK(BM_OpenSslMd5)->Unit(benchmark::kMicrosecond);

constexpr std::u16string_view Password = u"correct horse";
constexpr std::u16string_view Key = u"taobao";

void BM_GenerateCodes(benchmark::State &state)
{
    if (mnemora::GenerateCodes(u"test", u"taobao").code32 != u"a20caCf8Eb1b8B6d5b8a66996910E124")
        state.SkipWithError("wrong codes");
    for (auto _ : state)
        benchmark::DoNotOptimize(mnemora::GenerateCodes(Password, Key));
}
BENCHMARK(BM_GenerateCodes);

// Fitting to a site's rule: the derivation plus the fitting, so the fitting's
// own cost is the difference from BM_GenerateCodes. Range 0: a rule the plain
// code meets (only the check is added); 1: a rule it cannot meet (a symbol
// required), so a code is drawn from the stream.
void BM_FitCode(benchmark::State &state)
{
    const char *rules[] = {
        "minlength: 6; maxlength: 16;",
        "minlength: 10; required: lower; required: upper; required: digit; required: special;",
    };
    const mnemora::PasswordRule rule = mnemora::ParsePasswordRule(rules[state.range(0)]);
    if (mnemora::FitCode(Password, Key, rule).plain != (state.range(0) == 0))
        state.SkipWithError("unexpected kind of code");
    for (auto _ : state)
        benchmark::DoNotOptimize(mnemora::FitCode(Password, Key, rule));
}
BENCHMARK(BM_FitCode)->Arg(0)->Arg(1);

// Reading a rule as the list writes one, to its canonical text.
void BM_ParseRule(benchmark::State &state)
{
    const std::string_view text
        = "minlength: 8; maxlength: 40; required: upper; required: [!#$%&*@^]; allowed: lower,digit;";
    for (auto _ : state)
        benchmark::DoNotOptimize(mnemora::CanonicalRule(mnemora::ParsePasswordRule(text)));
}
BENCHMARK(BM_ParseRule);

// The same three HMAC computations and case rule, through OpenSSL's MAC API
// with the MAC fetched once and its context reused. It starts from UTF-8,
// which spares it the text conversion the engine does.
class OpenSslCodes {
public:
    OpenSslCodes()
        : m_mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr))
        , m_ctx(EVP_MAC_CTX_new(m_mac))
    {
        static char digest[] = "MD5";
        m_params[0] = OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0);
        m_params[1] = OSSL_PARAM_construct_end();
    }
    ~OpenSslCodes()
    {
        EVP_MAC_CTX_free(m_ctx);
        EVP_MAC_free(m_mac);
    }

    std::string Derive(std::string_view password, std::string_view key)
    {
        const std::string one = Hmac(key, password);
        const std::string two = Hmac("dusk", one);
        const std::string rule = Hmac("fjor", one);
        static constexpr std::string_view alphabet = "treehidesky2003110846qmvjd";
        std::string code32 = two;
        for (std::size_t i = 0; i < 32; ++i)
            if (two[i] >= 'a' && alphabet.find(rule[i]) != std::string_view::npos)
                code32[i] = static_cast<char>(two[i] - 'a' + 'A');
        return code32[0] <= '9' ? "K" + code32.substr(1, 15) + code32 : code32.substr(0, 16) + code32;
    }

private:
    std::string Hmac(std::string_view key, std::string_view message)
    {
        unsigned char out[16];
        std::size_t len = 0;
        EVP_MAC_init(m_ctx, reinterpret_cast<const unsigned char *>(key.data()), key.size(), m_params);
        EVP_MAC_update(m_ctx, reinterpret_cast<const unsigned char *>(message.data()), message.size());
        EVP_MAC_final(m_ctx, out, &len, sizeof out);
        static constexpr char digits[] = "0123456789abcdef";
        std::string hex(32, '0');
        for (std::size_t i = 0; i < 16; ++i) {
            hex[2 * i] = digits[out[i] >> 4];
            hex[2 * i + 1] = digits[out[i] & 15];
        }
        return hex;
    }

    EVP_MAC *m_mac;
    EVP_MAC_CTX *m_ctx;
    OSSL_PARAM m_params[2];
};

void BM_OpenSslCodes(benchmark::State &state)
{
    OpenSslCodes codes;
    if (codes.Derive("test", "taobao") != "a20caCf8Eb1b8B6da20caCf8Eb1b8B6d5b8a66996910E124")
        state.SkipWithError("OpenSSL equivalent gives wrong codes");
    for (auto _ : state)
        benchmark::DoNotOptimize(codes.Derive("correct horse", "taobao"));
}
BENCHMARK(BM_OpenSslCodes);

} // namespace
