// The process-wide free/realloc replacement and the wiping beneath it:
// freed blocks hold zeros, and realloc keeps its contract while it moves or
// keeps blocks. Its own executable, since linking it changes the allocator
// of the whole program.

#include "HeapWipe.h"
#include "SecureWipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <utility>
#include <vector>

namespace {

constexpr unsigned char Mark = 0xA5;

// How many bytes of a block given back by `release` (free, or a realloc that
// moves it) still hold what was written, past glibc's own bookkeeping (the
// first 16 bytes carry the free list's links). Reading freed memory is what
// an attacker with the process's memory does; volatile keeps the reads, and
// nothing allocates between the release and the reads but the release itself.
std::size_t MarkedAfterRelease(std::size_t size, void (*release)(void *))
{
    // Called through a volatile pointer, so the compiler can neither drop the
    // writes as dead before a free nor reason about the freed block.
    static void *(*const volatile allocate)(std::size_t) = std::malloc;
    auto *block = static_cast<volatile unsigned char *>(allocate(size));
    for (std::size_t i = 0; i < size; ++i)
        block[i] = Mark;
    release(const_cast<unsigned char *>(block));
    std::size_t marked = 0;
    for (std::size_t i = 16; i < size; ++i)
        marked += block[i] == Mark ? 1U : 0U;
    return marked;
}

void Free(void *block)
{
    static void (*const volatile release)(void *) = std::free;
    release(block);
}

void MoveAndFree(void *block)
{
    static void *(*const volatile resize)(void *, std::size_t) = std::realloc;
    void *moved = resize(block, 4096);
    if (moved == block)
        std::abort(); // a 48-byte block cannot grow to 4096 bytes in place
    Free(moved);
}

TEST(HeapWipe, IsActiveOutsideSanitizerBuilds)
{
    EXPECT_TRUE(mnemora::HeapWipingActive());
}

TEST(HeapWipe, AFreedSmallBlockHoldsNoSecret)
{
    // 48 bytes: a size glibc parks in its per-thread cache untouched.
    EXPECT_EQ(MarkedAfterRelease(48, Free), 0U);
}

TEST(HeapWipe, ABlockReallocMovedHoldsNoSecretWhereItWas)
{
    EXPECT_EQ(MarkedAfterRelease(48, MoveAndFree), 0U);
}

TEST(SecureWipe, ZeroesEveryByteOfTheRegionAndNoneBeyond)
{
    for (const std::size_t size : {1U, 15U, 48U, 4097U}) {
        std::vector<unsigned char> buffer(size + 2, Mark);
        mnemora::SecureWipe(buffer.data() + 1, size);
        EXPECT_EQ(std::count(buffer.begin() + 1, buffer.end() - 1, 0), static_cast<std::ptrdiff_t>(size))
            << size;
        EXPECT_EQ(buffer.front() + 0, Mark + 0) << size;
        EXPECT_EQ(buffer.back() + 0, Mark + 0) << size;
    }
}

class Realloc : public testing::TestWithParam<std::pair<std::size_t, std::size_t>> { };

TEST_P(Realloc, KeepsTheContent)
{
    const auto [from, to] = GetParam();
    auto *block = static_cast<unsigned char *>(std::malloc(from));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < from; ++i)
        block[i] = static_cast<unsigned char>(i * 7);
    block = static_cast<unsigned char *>(std::realloc(block, to));
    ASSERT_NE(block, nullptr);
    EXPECT_GE(malloc_usable_size(block), to);
    for (std::size_t i = 0; i < std::min(from, to); ++i)
        ASSERT_EQ(block[i], static_cast<unsigned char>(i * 7)) << "byte " << i;
    std::free(block);
}

INSTANTIATE_TEST_SUITE_P(GrowAndShrink, Realloc,
    testing::Values(std::pair<std::size_t, std::size_t>{16, 4096}, // grows: moves
        std::pair<std::size_t, std::size_t>{4096, 3000},           // shrinks a little: stays
        std::pair<std::size_t, std::size_t>{4096, 16},             // shrinks a lot: moves
        std::pair<std::size_t, std::size_t>{300000, 10},           // a mapped block
        std::pair<std::size_t, std::size_t>{10, 300000}));

TEST(HeapWipe, ReallocEdgeCasesKeepTheirMeaning)
{
    void *fresh = std::realloc(nullptr, 32);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(std::realloc(fresh, 0), nullptr); // frees
    const volatile std::size_t huge = SIZE_MAX / 2;
    errno = 0;
    EXPECT_EQ(reallocarray(nullptr, huge, 4), nullptr);
    EXPECT_EQ(errno, ENOMEM);
}

} // namespace
