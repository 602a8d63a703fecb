// HardenProcess changes the whole process for good, so it has an executable
// of its own.

#include "ProcessHardening.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

TEST(ProcessHardening, MakesTheProcessUndumpableWithoutCoreFiles)
{
    // Start from a state the call has to change, as far as the system allows.
    ASSERT_EQ(prctl(PR_SET_DUMPABLE, 1, 0, 0, 0), 0);
    rlimit core{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    if (core.rlim_max != 0) {
        core.rlim_cur = core.rlim_max;
        ASSERT_EQ(setrlimit(RLIMIT_CORE, &core), 0);
    }

    mnemora::HardenProcess();

    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, rlim_t{0});
    // The hard limit too, so nothing later in the process can raise it again.
    EXPECT_EQ(core.rlim_max, rlim_t{0});
}

} // namespace
