// The program end to end (tests/e2e/e2e_fixture.h): what the printer received
// and the autorun value afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

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

// An image that could never be sent is found out on the waiting page's OK,
// before the download-mode command: the printer is never left waiting.
struct UnusableImageCase {
    const char* name;
    const char* imageLine;
    std::function<void(const TempDir& folder)> prepare;
    bool heldOpenByAWriter = false;  // another program is still writing firmware.bin
    friend void PrintTo(const UnusableImageCase& c, std::ostream* os) { *os << c.name; }
};

class UnusableImageTest : public EndToEndTest,
                          public ::testing::WithParamInterface<UnusableImageCase> {};

TEST_P(UnusableImageTest, MessageFourOnTheWaitingPageAndNoDownloadMode) {
    if (GetParam().prepare) {
        GetParam().prepare(folder_);
    }
    const int writer = GetParam().heldOpenByAWriter
                           ? ::open(folder_.File("firmware.bin").c_str(), O_WRONLY | O_CLOEXEC)
                           : -1;
    ASSERT_EQ(writer >= 0, GetParam().heldOpenByAWriter);
    const auto log = RunProgram(GetParam().imageLine, "140 ok\n102 ok\n129 ok\n130 ok\nbox ok\n");
    if (writer >= 0) {
        ::close(writer);
    }
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(LinesStartingWith(log, "box"),
              std::vector<std::string>{
                  "box|quillet|An error occurred trying to send the upgrade to the printer."});
    const auto pages = LinesStartingWith(log, "page ");
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages.back().rfind("page 130|", 0), 0u);
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(log.back(), "end");

    EXPECT_EQ(JobKinds(), std::vector<std::string>{"test-page"});
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
}

INSTANTIATE_TEST_SUITE_P(
    Images, UnusableImageTest,
    ::testing::Values(
        UnusableImageCase{"Missing", "File=no-such-image.bin", nullptr},
        UnusableImageCase{"Empty", "File=empty.bin",
                          [](const TempDir& f) { std::ofstream(f.File("empty.bin")); }},
        UnusableImageCase{"Folder", "File=folder",
                          [](const TempDir& f) { ::mkdir(f.File("folder").c_str(), 0700); }},
        UnusableImageCase{"Fifo", "File=fifo",
                          [](const TempDir& f) { ::mkfifo(f.File("fifo").c_str(), 0600); }},
        UnusableImageCase{"FourGibibytes", "File=huge.bin",
                          [](const TempDir& f) {
                              std::ofstream(f.File("huge.bin"));
                              ::truncate(f.File("huge.bin").c_str(), off_t{1} << 32);
                          }},
        UnusableImageCase{"HeldOpenByAWriter", "File=firmware.bin", nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

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

// Ends that skip shutdown, and the recovery record in the state folder.

// Shell that starts the program in the background, waits until the scripted
// user has logged page `page`, runs `then` and waits for everything it
// started; a program that hangs is killed after a minute. `then` has the program's pid in $pid, and
// two helpers: `delivered` waits until no signal is pending for the program (two equal signals that
// are pending at once merge into one); `hold` keeps the registry file locked
// for a second, so that the first signal's unwinding is still writing the
// value back when the next signal comes.
std::string WhenPageWaits(const std::string& page, const std::string& then) {
    return "db=\"$QUILLET_REGISTRY_DB\"; "
           "delivered() { while grep -q '^ShdPnd:.*[1-9a-f]' /proc/$pid/status; do :; done; }; "
           "hold() { printf 'BEGIN EXCLUSIVE;\\n.shell touch held\\n.shell sleep 1\\nCOMMIT;\\n' "
           "| sqlite3 \"$db\" & until [ -e held ]; do sleep 0.01; done; }; "
           "\"$0\" & pid=$!; n=0; until grep -q '^page " +
           page +
           "' quillet-user.log 2>/dev/null || [ $n -ge 300 ]; do sleep 0.1; n=$((n+1)); done; " +
           "(sleep 60 && kill -KILL $pid) >/dev/null 2>&1 & watchdog=$!; " + then +
           "; wait $pid; status=$?; kill $watchdog 2>/dev/null; wait; exit $status";
}

constexpr const char* kUpToTestPrint = "140 ok\n102 ok\n129 hold\n";
constexpr const char* kRecordOfOne = "SM AutoRun=1\nPrinter=Tarvane_Nimbrel_K7\n";

class AbruptEndTest : public EndToEndTest {
protected:
    std::optional<std::string> Record() const {
        const std::string path = folder_.File("state/quillet/autorun-record");
        return std::filesystem::exists(path) ? std::optional(ReadFile(path)) : std::nullopt;
    }
};

struct EndCase {
    const char* name;
    const char* before;  // shell run before the program starts
    const char* end;     // shell that ends the program while page 129 waits
};

class EveryEndTest : public AbruptEndTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EveryEndTest, WritesTheSavedValueBackAndRemovesTheRecord) {
    const EndCase& c = GetParam();
    const auto log = RunProgram("File=firmware.bin", kUpToTestPrint,
                                std::string(c.before) + WhenPageWaits("129", c.end));
    ASSERT_EQ(LinesStartingWith(log, "page 129").size(), 1u) << result_.err;
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1)) << result_.err;
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_TRUE(JobKinds().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EveryEndTest,
    ::testing::Values(
        // A closed terminal: the shell's SIGHUP, then the kernel's.
        EndCase{"HupHup", "", "hold; kill -HUP $pid; delivered; kill -HUP $pid"},
        EndCase{"TermHup", "", "hold; kill -TERM $pid; delivered; kill -HUP $pid"},
        EndCase{"IntInt", "", "hold; kill -INT $pid; delivered; kill -INT $pid"},
        EndCase{"IntTermHup", "",
                "hold; kill -INT $pid; delivered; kill -TERM $pid; kill -HUP $pid"},
        // The display goes away: Qt's xcb back end ends the process by exit(1).
        EndCase{"LostDisplay",
                "Xvfb -displayfd 3 -nolisten tcp 3>display 2>/dev/null & xvfb=$!; n=0; "
                "until [ -s display ] || [ $n -ge 100 ]; do sleep 0.1; n=$((n+1)); done; "
                "export DISPLAY=:$(cat display) QT_QPA_PLATFORM=xcb; ",
                "kill $xvfb"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NextRunCase {
    const char* name;
    const char* script;
    const char* around;
    std::vector<std::string> jobs;
};

class NextRunTest : public AbruptEndTest, public ::testing::WithParamInterface<NextRunCase> {};

TEST_P(NextRunTest, RestoresTheRecordOfAKilledRunFirst) {
    // SIGKILL after the switch-off: nothing runs, the record stays.
    RunProgram("File=firmware.bin", kUpToTestPrint, WhenPageWaits("129", "kill -KILL $pid"));
    ASSERT_EQ(AutoRun(), std::optional<std::uint32_t>(0));
    ASSERT_EQ(Record(), std::optional<std::string>(kRecordOfOne));

    const NextRunCase& c = GetParam();
    const auto log = RunProgram("File=firmware.bin", c.script, c.around);
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(AutoRun(), std::optional<std::uint32_t>(1));
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_EQ(JobKinds(), c.jobs);
}

INSTANTIATE_TEST_SUITE_P(
    NextRuns, NextRunTest,
    ::testing::Values(
        // Before anything else: start-up that ends at once still restores.
        NextRunCase{"ConfigurationError", "box ok\n", "rm quillet.txt; exec \"$0\"", {}},
        // Otherwise the run would save the 0 as the user's value.
        NextRunCase{"FullUpgrade",
                    "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                    "exec \"$0\"",
                    {"test-page", "download-mode", "firmware"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, FifoAsConfigurationShowsTheConfigurationErrorAndDoesNotHang) {
    const auto log =
        RunProgram("File=firmware.bin", "box ok\n",
                   "rm quillet.txt && mkfifo quillet.txt && exec timeout -k 5 30 \"$0\"");
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(LinesStartingWith(log, "box"),
              (std::vector<std::string>{
                  "box|Firmware Upgrade|Unable to read initialization file quillet.txt"}));
    EXPECT_TRUE(LinesStartingWith(log, "page ").empty());
    EXPECT_TRUE(JobKinds().empty());
}

}  // namespace
}  // namespace quillet::testing
