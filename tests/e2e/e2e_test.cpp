// The program end to end (tests/e2e/e2e_fixture.h): what the printer received
// and the autorun value afterwards.
#include "tests/e2e/e2e_fixture.h"

namespace quillet::testing {
namespace {

// Options Qt would take (-reverse, -platform) and others the program might:
// none of them reaches Qt or the wizard. The image is three times an ordinary
// user's locked-memory limit; sending it must not raise the soft limit, or
// the driver installer started later would inherit the raised one.
TEST_F(EndToEndTest, FullUpgradeSendsTestPageDownloadModeAndTheWholeImage) {
    const auto log = RunProgram(
        "File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 hold\n",
        "ulimit -S -l 4096 && " +
            InBackground(AwaitThen("quillet-user.log", "page 137",
                                   "grep 'locked memory' /proc/$pid/limits >limits; kill $pid"),
                         " -reverse -platform minimal --help /nonexistent.txt"));
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    std::istringstream limits(ReadFile(folder_.File("limits")));
    std::string max, locked, memory, soft;
    limits >> max >> locked >> memory >> soft;
    EXPECT_EQ(soft, "4194304");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "arguments 1 ltr");
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
    EXPECT_EQ(jobs[0].bytes, 5u);
    EXPECT_EQ(jobs[1].kind, "download-mode");
    EXPECT_EQ(jobs[1].bytes, 8u);
    EXPECT_EQ(jobs[2].kind, "firmware");
    EXPECT_EQ(jobs[2].bytes, firmware_.size());
    EXPECT_EQ(jobs[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
    // Each a job of its own that ended well, under the name Windows gives it.
    ASSERT_TRUE(cupsd_.WaitUntilIdle(PrivateCupsd::kK7Queue, kJobTimeout));
    const auto completed = cupsd_.Jobs(PrivateCupsd::kK7Queue, "completed");
    EXPECT_EQ(completed.size(), 3u);
    for (const SchedulerJob& job : completed) {
        EXPECT_EQ(job.state, 9) << job.id;  // IPP's completed
        EXPECT_EQ(cupsd_.JobTitle(job.id), "My Document") << job.id;
    }
    EXPECT_EQ(AutoRun(), kAutoRunOn);
}

// The image is read whole before the download-mode command, and checked
// against the maker's checksum when the package carries one. An image that
// could never be sent, or does not match, is found out on the waiting page's
// OK: the printer is never left waiting. One that passes is what the printer
// gets, whatever becomes of the file while the download-ready page waits.
struct ImageCase {
    const char* name;
    const char* imageLine;
    const char* prepare;       // shell run in the folder before the program starts
    bool refused;              // message 4 on the waiting page, and no download mode
    const char* change = ":";  // shell run in the folder while page 132 waits
    friend void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }
};

class ImageTest : public EndToEndTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageTest, RefusedBeforeDownloadModeOrSentAsChecked) {
    const ImageCase& c = GetParam();
    const std::string lead = "140 ok\n102 ok\n129 ok\n130 ok\n";
    // The shell keeps descriptor 3 of its own; the program starts without it.
    const auto log =
        c.refused
            ? RunProgram(c.imageLine, lead + "box ok\n", c.prepare + std::string(" && \"$0\" 3>&-"))
            : RunProgram(c.imageLine, lead + "132 await\n133 ok\n137 ok\n",
                         c.prepare + std::string(" && ") +
                             InBackground(AwaitThen("quillet-user.log", "page 132", c.change) +
                                          "touch go; "));
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(log.back(), "end");
    EXPECT_EQ(AutoRun(), kAutoRunOn);
    if (c.refused) {
        EXPECT_EQ(LinesStartingWith(log, "box"),
                  std::vector<std::string>{
                      "box|quillet|An error occurred trying to send the upgrade to the printer."});
        const auto pages = LinesStartingWith(log, "page ");
        ASSERT_EQ(pages.size(), 4u);
        EXPECT_EQ(pages.back().rfind("page 130|", 0), 0u);
        EXPECT_EQ(JobKinds(), std::vector<std::string>{"test-page"});
        return;
    }
    EXPECT_TRUE(LinesStartingWith(log, "box").empty());
    EXPECT_EQ(LinesStartingWith(log, "page 137|").size(), 1u);
    EXPECT_EQ(JobKinds(), (std::vector<std::string>{"test-page", "download-mode", "firmware"}));
    const auto jobs = cupsd_.EmulatedJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[2].sha256, Sha256::Of(firmware_.data(), firmware_.size()));
}

constexpr const char* kImage = "File=firmware.bin";
constexpr const char* kChecksum = "sha256sum firmware.bin >firmware.bin.sha256";

INSTANTIATE_TEST_SUITE_P(
    Images, ImageTest,
    ::testing::Values(
        ImageCase{"Missing", "File=no-such-image.bin", ":", true},
        ImageCase{"Empty", "File=empty.bin", ": >empty.bin", true},
        ImageCase{"Folder", "File=folder", "mkdir folder", true},
        ImageCase{"Fifo", "File=fifo", "mkfifo fifo", true},
        ImageCase{"FourGibibytes", "File=huge.bin", "truncate -s 4G huge.bin", true},
        // Another program is still writing the image.
        ImageCase{"HeldOpenByAWriter", kImage, "exec 3>>firmware.bin", true},
        ImageCase{"ReplacedAfterTheCheck", kImage, ":", false,
                  "head -c 4096 /dev/urandom >new && mv new firmware.bin"},
        ImageCase{"OverwrittenAfterTheCheck", kImage, ":", false,
                  "head -c 4096 /dev/urandom >firmware.bin"},
        ImageCase{"RemovedAfterTheCheck", kImage, ":", false, "rm firmware.bin"},
        ImageCase{"ChecksumMatches", kImage, kChecksum, false},
        ImageCase{"ChecksumOfBinaryMode", kImage, "sha256sum -b firmware.bin >firmware.bin.sha256",
                  false},
        // The new image comes with a checksum of its own.
        ImageCase{"ChecksumMatchesThenImageReplaced", kImage, kChecksum, false,
                  "head -c 4096 /dev/urandom >new && mv new firmware.bin && sha256sum "
                  "firmware.bin >firmware.bin.sha256"},
        ImageCase{"ChecksumOfAnotherImage", kImage,
                  "head -c 4096 /dev/urandom >other && sha256sum other | sed 's/other$/"
                  "firmware.bin/' >firmware.bin.sha256",
                  true},
        ImageCase{"ChecksumNamesAnotherFile", kImage,
                  "sha256sum firmware.bin | sed 's/firmware/other/' >firmware.bin.sha256", true},
        ImageCase{"ChecksumCutShort", kImage,
                  "sha256sum firmware.bin | cut -c 2- >firmware.bin.sha256", true},
        ImageCase{"ChecksumUnreadable", kImage,
                  "sha256sum firmware.bin >firmware.bin.sha256 && chmod 000 firmware.bin.sha256",
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// Every end, orderly or abrupt, writes the saved value back and removes the
// recovery record in the state folder.
constexpr const char* kUpToTestPrint = "140 ok\n102 ok\n129 hold\n";
constexpr const char* kRecordOfOne = "SM AutoRun=1\nPrinter=Tarvane_Nimbrel_K7\n";

struct EndCase {
    const char* name;
    const char* before;  // shell run before the program starts
    const char* end;     // shell that ends the program while page 129 waits
    bool orderly;        // the program ends by itself with status 0
    const char* script = kUpToTestPrint;
};

class EveryEndTest : public EndToEndTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EveryEndTest, WritesTheSavedValueBackAndRemovesTheRecord) {
    const EndCase& c = GetParam();
    const auto log =
        RunProgram("File=firmware.bin", c.script,
                   c.before + InBackground(AwaitThen("quillet-user.log", "page 129", c.end)));
    ASSERT_EQ(LinesStartingWith(log, "page 129|Tarvane_Nimbrel_K7|").size(), 1u) << result_.err;
    if (c.orderly) {
        EXPECT_EQ(result_.exitStatus, 0) << result_.err;
        EXPECT_EQ(log.back(), "end");
    }
    EXPECT_EQ(AutoRun(), kAutoRunOn) << result_.err;
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_TRUE(JobKinds().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EveryEndTest,
    ::testing::Values(
        EndCase{"CancelAfterTheSelectionPage", "", ":", true, "140 ok\n102 ok\n129 cancel\n"},
        // SIGTERM unwinds the pages as a quit request does.
        EndCase{"Term", "", "kill -TERM $pid", true},
        // A closed terminal: the shell's SIGHUP, then the kernel's.
        EndCase{"HupHup", "", "hold; kill -HUP $pid; delivered; kill -HUP $pid", false},
        EndCase{"TermHup", "", "hold; kill -TERM $pid; delivered; kill -HUP $pid", false},
        EndCase{"IntInt", "", "hold; kill -INT $pid; delivered; kill -INT $pid", false},
        EndCase{"IntTermHup", "",
                "hold; kill -INT $pid; delivered; kill -TERM $pid; kill -HUP $pid", false},
        // The display goes away: Qt's xcb back end ends the process by exit(1).
        EndCase{"LostDisplay",
                "Xvfb -displayfd 3 -nolisten tcp 3>display 2>/dev/null & xvfb=$!; n=0; "
                "until [ -s display ] || [ $n -ge 100 ]; do sleep 0.1; n=$((n+1)); done; "
                "export DISPLAY=:$(cat display) QT_QPA_PLATFORM=xcb; ",
                "kill $xvfb", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct NextRunCase {
    const char* name;
    const char* script;
    const char* around;
    std::vector<std::string> jobs;
    std::vector<std::string> boxes;
};

class NextRunTest : public EndToEndTest, public ::testing::WithParamInterface<NextRunCase> {};

TEST_P(NextRunTest, RestoresTheRecordOfAKilledRunFirst) {
    // SIGKILL after the switch-off: nothing runs, the record stays.
    RunProgram("File=firmware.bin", kUpToTestPrint,
               InBackground(AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid")));
    ASSERT_EQ(AutoRun(), "4 00000000\n");
    ASSERT_EQ(Record(), std::optional<std::string>(kRecordOfOne));

    const NextRunCase& c = GetParam();
    const auto log = RunProgram("File=firmware.bin", c.script, c.around);
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(AutoRun(), kAutoRunOn);
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_EQ(JobKinds(), c.jobs);
    EXPECT_EQ(LinesStartingWith(log, "box"), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    NextRuns, NextRunTest,
    ::testing::Values(
        // Before anything else: start-up that ends at once still restores. A
        // FIFO as the configuration must not hang it.
        NextRunCase{"FifoAsConfiguration",
                    "box ok\n",
                    "rm quillet.txt && mkfifo quillet.txt && exec timeout -k 5 30 \"$0\"",
                    {},
                    {"box|Firmware Upgrade|Unable to read initialization file quillet.txt"}},
        // Otherwise the run would save the 0 as the user's value.
        NextRunCase{"FullUpgrade",
                    "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                    "exec \"$0\"",
                    {"test-page", "download-mode", "firmware"},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::testing
