// Starting the private scheduler in a test's set-up.
#pragma once

#include <gtest/gtest.h>

#include "emulator/private_cupsd.h"

namespace quillet::testing {

// Starts `cupsd` with the standard queues. Where cupsd is missing the test is
// skipped, or fails in builds that require the scheduler tests; the caller's
// set-up ends when IsSkipped() or HasFatalFailure().
inline void StartPrivateCupsd(PrivateCupsd& cupsd, JobHistory history = JobHistory::Kept) {
    const std::string missing = PrivateCupsd::Missing();
    if (!missing.empty()) {
        ASSERT_FALSE(PrivateCupsd::Required()) << "CUPS scheduler tests need cupsd: " << missing;
        GTEST_SKIP() << "CUPS scheduler tests need cupsd: " << missing;
    }
    std::string error;
    ASSERT_TRUE(cupsd.Start(error, true, history)) << error;
}

}  // namespace quillet::testing
