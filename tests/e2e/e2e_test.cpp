// The program end to end (tests/e2e/e2e_fixture.h): what the printer received
// and the autorun value afterwards.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_fixture.h"

namespace quillet::testing {
namespace {

TEST_F(EndToEndTest, FullUpgradeSendsTestPageDownloadModeAndTheWholeImage) {
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 7u) << ReadFile(folder_.File("quillet-user.log"));
    EXPECT_EQ(pages[0].rfind("page 140|Tarvane Nimbrel K7|Welcome to the Tarvane Nimbrel K7", 0),
              0u);
    EXPECT_NE(pages[1].find("|selected=Tarvane_Nimbrel_K7"), std::string::npos) << pages[1];
    EXPECT_EQ(pages[6], "page 137|Tarvane_Nimbrel_K7|Congratulations! Your upgrade is complete!");
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_TRUE(LinesStartingWith(log, "box").empty());

    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(3, kJobTimeout)) << cupsd_.ErrorLog();
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].kind, "test-page");
    EXPECT_EQ(jobs[1].kind, "download-mode");
    EXPECT_EQ(jobs[2].kind, "firmware");
    EXPECT_EQ(jobs[2].bytes, firmware_.size());
    EXPECT_EQ(jobs[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, CommandLineArgumentsChangeNothing) {
    // Options Qt would take (-reverse, -platform) and others the program
    // might: none of them reaches Qt or the wizard.
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                   "exec \"$0\" -reverse -platform minimal --help /nonexistent.txt");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "arguments 1 ltr");
    EXPECT_EQ(LinesStartingWith(log, "page ").size(), 7u);
    ASSERT_TRUE(cupsd_.WaitForEmulatedJobs(3, kJobTimeout)) << cupsd_.ErrorLog();
    EXPECT_EQ(cupsd_.EmulatedJobs()[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, MissingImageShowsMessageFourEndsAndRestoresTheAutorunValue) {
    const auto log =
        RunProgram("File=no-such-image.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\nbox ok\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto boxes = LinesStartingWith(log, "box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "box|quillet|An error occurred trying to send the upgrade to the printer.");
    // The download page never waits for the user, the completion page never opens.
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(pages.back().rfind("page 132|", 0), 0u);
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(log.back(), "end");

    EXPECT_EQ(JobKinds(), (std::vector<std::string>{"test-page", "download-mode"}));
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, CancelAfterTheSelectionPageSendsNothingAndRestoresTheAutorunValue) {
    const auto log = RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 cancel\n");
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].rfind("page 129|Tarvane_Nimbrel_K7|", 0), 0u);
    EXPECT_TRUE(JobKinds().empty());
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

TEST_F(EndToEndTest, TerminationSignalWhileAPageWaitsRestoresTheAutorunValue) {
    // The program waits on the test-print page; SIGTERM unwinds the pages as
    // a quit request does, and shutdown writes the saved value back.
    const auto log =
        RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 hold\n",
                   "\"$0\" & pid=$!; n=0; "
                   "until grep -q '^page 129' quillet-user.log 2>/dev/null || [ $n -ge 300 ]; do "
                   "sleep 0.1; n=$((n+1)); done; "
                   "kill -TERM $pid; wait $pid");
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(LinesStartingWith(log, "page ").size(), 3u);
    EXPECT_EQ(log.back(), "end");
    EXPECT_TRUE(JobKinds().empty());
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

}  // namespace
}  // namespace quillet::testing
