// The program end to end (tests/e2e/e2e_fixture.h): what the printer received
// and the autorun value afterwards.
#include "app/message_catalog.h"
#include "tests/e2e/e2e_fixture.h"

namespace quillet::testing {
namespace {

// Started from another folder with the package's quillet.txt named, as the
// desktop entry starts it: the run goes on in the package's folder, and Qt
// sees no argument. The image is three times an ordinary user's locked-memory
// limit; sending it must not raise the soft limit, or the driver installer
// started later would inherit the raised one.
TEST_F(EndToEndTest, FullUpgradeSendsTestPageDownloadModeAndTheWholeImage) {
    const auto log = RunProgram(
        kFullScript + std::string("137 hold\n"),
        "cd / && ulimit -S -l 4096 && " +
            InBackground(AwaitThen("\"$1/quillet-user.log\"", "page 137",
                                   "awk '/locked memory/ { print $4 }' /proc/$pid/limits "
                                   ">\"$1/limits\"; kill $pid"),
                         " \"$1/quillet.txt\""));
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(ReadFile(folder_.File("limits")), "4194304\n");
    ASSERT_EQ(LinesStartingWith(log, "page ").size(), 7u)
        << ReadFile(folder_.File("quillet-user.log"));
    EXPECT_EQ(log.front(), "arguments 1 ltr");
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    ExpectTheWholeUpgradeSent();
    // Each a job of its own that ended well (IPP's 9), under the name Windows gives it.
    std::vector<std::string> ends;
    for (const SchedulerJob& job : cupsd_.Jobs(PrivateCupsd::kK7Queue, "completed")) {
        ends.push_back(std::to_string(job.state) + " " + cupsd_.JobTitle(job.id));
    }
    EXPECT_EQ(ends, std::vector<std::string>(3, "9 My Document"));
    EXPECT_EQ(AutoRun(), kAutoRunOn);
}

// The image is read whole before the download-mode command, and checked
// against the maker's checksum when the package carries one. An image that
// could never be sent, or does not match, is found out on the waiting page's
// OK: the printer is never left waiting. One that passes is what the printer
// gets, whatever becomes of the file while the download-ready page waits.
struct ImageCase {
    const char* name;
    const char* prepare;       // shell run in the folder before the program starts
    bool refused = true;       // message 4 on the waiting page, and no download mode
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
            ? RunProgram(lead + "box ok\n", c.prepare + std::string(" && \"$0\" 3>&-"))
            : RunProgram(lead + "132 go\n132 ok\n133 ok\n137 ok\n",
                         c.prepare + std::string(" && ") +
                             InBackground(AwaitThen("quillet-user.log", "page 132", c.change) +
                                          "touch go; "));
    ASSERT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(log.back(), "end");
    EXPECT_EQ(AutoRun(), kAutoRunOn);
    if (!c.refused) {
        EXPECT_EQ(LinesStartingWith(log, "page 137|").size(), 1u);
        ExpectTheWholeUpgradeSent();
        return;
    }
    EXPECT_EQ(LinesStartingWith(log, "box"),
              std::vector<std::string>{
                  "box|quillet|An error occurred trying to send the upgrade to the printer."});
    EXPECT_EQ(JobKinds(), std::vector<std::string>{"test-page"});
}

constexpr const char* kChecksum = "sha256sum firmware.bin >firmware.bin.sha256";

INSTANTIATE_TEST_SUITE_P(
    Images, ImageTest,
    ::testing::Values(
        ImageCase{"Missing", "rm firmware.bin"}, ImageCase{"Empty", ": >firmware.bin"},
        ImageCase{"Folder", "rm firmware.bin && mkdir firmware.bin"},
        ImageCase{"Fifo", "rm firmware.bin && mkfifo firmware.bin"},
        ImageCase{"FourGibibytes", "truncate -s 4G firmware.bin"},
        // Another program is still writing the image.
        ImageCase{"HeldOpenByAWriter", "exec 3>>firmware.bin"},
        // A new image with a checksum of its own, or the same file rewritten.
        ImageCase{"ReplacedWithItsChecksumAfterTheCheck", kChecksum, false,
                  "head -c 4096 /dev/urandom >new && mv new firmware.bin && sha256sum "
                  "firmware.bin >firmware.bin.sha256"},
        ImageCase{"OverwrittenAfterTheCheck", ":", false,
                  "head -c 4096 /dev/urandom >firmware.bin"},
        ImageCase{"ChecksumOfBinaryMode", "sha256sum -b firmware.bin >firmware.bin.sha256", false},
        ImageCase{"ChecksumOfAnotherImage",
                  "head -c 4096 /dev/urandom >other && sha256sum other | sed 's/other$/"
                  "firmware.bin/' >firmware.bin.sha256"},
        ImageCase{"ChecksumNamesAnotherFile",
                  "sha256sum firmware.bin | sed 's/firmware/other/' >firmware.bin.sha256"},
        ImageCase{"ChecksumCutShort", "sha256sum firmware.bin | cut -c 2- >firmware.bin.sha256"},
        ImageCase{"ChecksumUnreadable",
                  "sha256sum firmware.bin >firmware.bin.sha256 && chmod 000 firmware.bin.sha256"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every end, orderly or abrupt, writes the saved value back and removes the
// recovery record in the state folder.
constexpr const char* kUpToTestPrint = "140 ok\n102 ok\n129 hold\n";
const std::string kWholeRun = kFullScript + std::string("137 ok\n");

struct EndCase {
    const char* name;
    const char* before;  // shell run before the program starts
    std::string end;     // shell that ends the program once page 129 has shown
    bool orderly;        // the program ends by itself with status 0
    std::string script = kUpToTestPrint;
    std::vector<std::string> jobs = {};  // what the printer received
    friend void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }
};

// A scheduler that stops answering ($cupsd is its pid), for the shell of an
// end: the program must still answer, and a SIGTERM must end it. Both are
// given five seconds; a program that misses either is killed, which the
// checks of an orderly end report.
constexpr const char* kAnsweredWithinFiveSeconds =
    "await 50 grep -qx answered quillet-user.log || kill -KILL $pid; ";
constexpr const char* kTermWithinFiveSeconds =
    "kill -TERM $pid; await 50 eval \"! grep -qs '^State:[^Z]*$' /proc/$pid/status\"; "
    "kill -KILL $pid 2>/dev/null; kill -CONT $cupsd";

class EveryEndTest : public EndToEndTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EveryEndTest, WritesTheSavedValueBackAndRemovesTheRecord) {
    const EndCase& c = GetParam();
    ASSERT_EQ(::setenv("cupsd", std::to_string(cupsd_.SchedulerPid()).c_str(), 1), 0);
    const auto log = RunProgram(
        c.script, c.before + InBackground(AwaitThen("quillet-user.log", "page 129", c.end)));
    ASSERT_EQ(LinesStartingWith(log, "page 129|Tarvane_Nimbrel_K7|").size(), 1u) << result_.err;
    if (c.orderly) {
        EXPECT_EQ(result_.exitStatus, 0) << result_.err;
        EXPECT_EQ(log.back(), "end");
    }
    EXPECT_EQ(AutoRun(), kAutoRunOn) << result_.err;
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_EQ(JobKinds(), c.jobs);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EveryEndTest,
    ::testing::Values(
        EndCase{"CancelAfterTheSelectionPage", "", ":", true, "140 ok\n102 ok\n129 cancel\n"},
        // SIGTERM unwinds the pages as a quit request does.
        EndCase{"Term", "", "kill -TERM $pid", true},
        // A FIFO as the store is a key that cannot be opened, never waited on.
        EndCase{"TermWithAFifoAsTheStore",
                "mkfifo fifo.db && export QUILLET_REGISTRY_DB=\"$PWD/fifo.db\" && ",
                "kill -TERM $pid", true},
        // A closed terminal: the shell's SIGHUP, then the kernel's.
        EndCase{"HupHup", "", "hold; kill -HUP $pid; delivered; kill -HUP $pid", false},
        EndCase{"IntInt", "", "hold; kill -INT $pid; delivered; kill -INT $pid", false},
        EndCase{"IntTermHup", "",
                "hold; kill -INT $pid; delivered; kill -TERM $pid; kill -HUP $pid", false},
        // The display goes away: Qt's xcb back end ends the process by exit(1).
        EndCase{"LostDisplay",
                "Xvfb -displayfd 3 -nolisten tcp 3>display 2>/dev/null & xvfb=$!; "
                "await 100 [ -s display ]; export DISPLAY=:$(cat display) QT_QPA_PLATFORM=xcb; ",
                "kill $xvfb", false},
        // The scheduler stops as the image is to go out: the transfer gives
        // up at the signal, and the pages unwind as after a failed one.
        EndCase{"SchedulerStoppedDuringTheTransfer",
                "",
                AwaitThen("quillet-user.log", "page 132", "kill -STOP $cupsd; touch go") +
                    kAnsweredWithinFiveSeconds + "sleep 1; " + kTermWithinFiveSeconds,
                true,
                "140 ok\n102 ok\n129 ok\n130 ok\n132 go\n132 ok\n",
                {"test-page", "download-mode"}},
        // It stops while the status line follows the image job, which a
        // closed port as the queue's device keeps unfinished.
        EndCase{"SchedulerStoppedOnTheDownloadPage",
                "lpadmin -p Tarvane_Nimbrel_K7 -v socket://127.0.0.1:9 && ",
                AwaitThen("quillet-user.log", "page 133",
                          "sleep 1; kill -STOP $cupsd; sleep 2; touch go") +
                    kAnsweredWithinFiveSeconds + kTermWithinFiveSeconds +
                    "; cancel -a Tarvane_Nimbrel_K7",
                true, kFullScript + std::string("133 go\n133 hold\n")},
        // A second wizard of the same user, started while the first has the
        // printer in download mode, leaves the first's record and value
        // alone and cannot take the same printer: it says so and stays on
        // the selection page. Else the first is killed.
        EndCase{"SecondRunWhileThePrinterIsInDownloadMode",
                "",
                AwaitThen("quillet-user.log", "page 132",
                          "mkdir second && cp quillet.txt second/ && printf '140 ok\\n102 "
                          "ok\\nbox ok\\n102 cancel\\n' >second/quillet-user.txt && (cd second "
                          "&& \"$0\") && grep -qxF " +
                              Quoted("box|quillet|" + MessageCatalog::Builtin().Load(1070)) +
                              " second/quillet-user.log && ! grep -q unscripted "
                              "second/quillet-user.log && [ $(sqlite3 \"$QUILLET_REGISTRY_DB\" "
                              "\"SELECT hex(data) FROM reg_values\") = 00000000 ] && kill -TERM "
                              "$pid || kill -KILL $pid"),
                true,
                "140 ok\n102 ok\n129 ok\n130 ok\n132 hold\n",
                {"test-page", "download-mode"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A run leaves its record and the value at 0 in the store it used; the next
// start puts the value back before anything else, in its own store only.
const std::string kConfigUnreadable =
    "box|Firmware Upgrade|Unable to read initialization file quillet.txt";
// The applications menu's start asks for the package's quillet.txt, then
// runs in its folder.
constexpr const char* kMenuStart =
    "mkdir package && mv quillet.txt firmware.bin package/ && exec \"$0\" --choose-package";

const std::string kPrintersCannotBeListed = "page 102|Tarvane Nimbrel K7|" +
                                            MessageCatalog::Builtin().Load(1011) + "|" +
                                            MessageCatalog::Builtin().Load(1071);

struct NextRunCase {
    const char* name;
    // The next run: by default one that ends at once on the box for a
    // missing quillet.txt.
    const char* around = "rm quillet.txt && exec \"$0\"";
    std::string script = "box ok\n";
    std::string shown = kConfigUnreadable;  // a line its log holds
    const char* err = "";                   // a part of its stderr
    std::vector<std::string> jobs = {};
    // Afterwards: the value in this run's store, and whether the record stays.
    const char* value = kAutoRunOn;
    bool recordStays = false;
    // The first run: its store in the folder, its script and the steps that
    // end it once it has switched the value off. By default SIGKILL on the
    // first test-print page: nothing runs, the record stays.
    const char* firstStore = "registry.db";
    const char* firstScript = kUpToTestPrint;
    std::string firstEnd = AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid");
    friend void PrintTo(const NextRunCase& c, std::ostream* os) { *os << c.name; }
};

class NextRunTest : public EndToEndTest, public ::testing::WithParamInterface<NextRunCase> {};

TEST_P(NextRunTest, RestoresTheRecordOfAnEarlierRunFirst) {
    const NextRunCase& c = GetParam();
    const std::string firstStore = folder_.File(c.firstStore);
    RunProgram(c.firstScript, "cp registry.db " + std::string(c.firstStore) + " 2>/dev/null; " +
                                  "QUILLET_REGISTRY_DB=\"$PWD/" + c.firstStore + "\" && " +
                                  InBackground(c.firstEnd));
    ASSERT_EQ(AutoRun(firstStore), kAutoRunOff) << result_.err;
    const std::string record =
        "SM AutoRun=1\nPrinter=Tarvane_Nimbrel_K7\nStore=" + firstStore + "\n";
    ASSERT_EQ(Record(), record);

    const auto log = RunProgram(c.script, c.around);
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(AutoRun(), c.value);
    EXPECT_EQ(Record(), c.recordStays ? std::optional(record) : std::nullopt);
    EXPECT_EQ(JobKinds(), c.jobs);
    EXPECT_NE(result_.err.find(c.err), std::string::npos) << result_.err;
    EXPECT_TRUE(c.shown.empty() || std::ranges::count(log, c.shown) > 0)
        << ReadFile(folder_.File("quillet-user.log"));
}

INSTANTIATE_TEST_SUITE_P(
    NextRuns, NextRunTest,
    ::testing::Values(
        // Before anything else: start-up that ends at once still restores. A
        // FIFO as the configuration must not hang it.
        NextRunCase{
            .name = "FifoAsConfiguration",
            .around = "rm quillet.txt && mkfifo quillet.txt && exec timeout -k 5 30 \"$0\""},
        NextRunCase{.name = "MenuStartCancelled",
                    .around = kMenuStart,
                    .script = "file cancel\n",
                    .shown = {"file|Firmware Upgrade"},
                    .value = kAutoRunOff,
                    .recordStays = true},
        // Cancel in the menu start's file dialog ends the program with
        // nothing written or sent. Once a package is chosen the record is put
        // back first; otherwise the run would save the 0 as the user's value.
        NextRunCase{.name = "MenuStartFullUpgrade",
                    .around = kMenuStart,
                    .script = "file package/quillet.txt\n" + kWholeRun,
                    .shown = {"file|Firmware Upgrade"},
                    .jobs = kAllJobs},
        // A writer holds the store past its busy timeout while the completion
        // page writes the value back: the record stays until the value is back.
        NextRunCase{
            .name = "StoreLockedAtTheCompletionPage",
            .jobs = kAllJobs,
            .firstScript = "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 go\n133 ok\n137 hold\n",
            .firstEnd = AwaitThen("quillet-user.log", "page 133", "hold 7; touch go") +
                        AwaitThen("quillet-user.log", "page 137", "kill -KILL $pid")},
        // The value the user set to 0 in this store since stays.
        NextRunCase{.name = "RecordOfAnotherStore",
                    .around = "sqlite3 registry.db \"UPDATE reg_values SET data = X'00000000'\" "
                              "&& rm quillet.txt && exec \"$0\"",
                    .value = kAutoRunOff,
                    .recordStays = true,
                    .firstStore = "other.db"},
        // A record that a read-only state folder keeps is put back once; the
        // 0 the user sets afterwards stays.
        NextRunCase{.name = "RecordThatCannotBeRemoved",
                    .around = "rm quillet.txt && chmod a-w state/quillet && \"$0\" && sqlite3 "
                              "registry.db \"UPDATE reg_values SET data = X'00000000'\" && "
                              "\"$0\"; status=$?; chmod u+w state/quillet; exit $status",
                    .value = kAutoRunOff},
        // A value changed since the record was left is someone's later choice.
        NextRunCase{.name = "ValueChangedSince",
                    .around = "sqlite3 registry.db \"UPDATE reg_values SET data = X'07000000'\" "
                              "&& rm quillet.txt && exec \"$0\"",
                    .value = "4 07000000\n"},
        // A package named on the command line that cannot be used is refused
        // as a missing quillet.txt: a missing one, a file that is not the
        // package's quillet.txt, and a second argument, even one Qt would
        // take as its option.
        NextRunCase{.name = "MissingPackage", .around = "exec \"$0\" \"$1/missing/quillet.txt\""},
        NextRunCase{.name = "FileOfAnotherName", .around = "exec \"$0\" \"$1/firmware.bin\""},
        NextRunCase{.name = "SecondArgument", .around = "exec \"$0\" \"$1\" -reverse"},
        // A copy of the program whose spooler module is missing or cut short
        // lists no printer, says why it cannot on the printer page instead of
        // sending the user to install the driver, and names the file on
        // stderr. Cut short into its code: the loader would map the rest past
        // the end of the file.
        NextRunCase{.name = "SpoolerModuleMissing",
                    .around = "cp \"$0\" quillet && exec ./quillet",
                    .script = "140 ok\n102 cancel\n",
                    .shown = {kPrintersCannotBeListed},
                    .err = "/libquillet-spooler-cups.so: No such file or directory"},
        NextRunCase{
            .name = "SpoolerModuleCutShort",
            .around = "cp \"$0\" quillet && head -c 12288 \"${0%/*}/libquillet-spooler-cups.so\" "
                      ">libquillet-spooler-cups.so && exec ./quillet",
            .script = "140 ok\n102 cancel\n",
            .shown = {kPrintersCannotBeListed},
            .err = "/libquillet-spooler-cups.so: cut short"},
        // At the user's process limit no thread can start: the run does
        // without. Started elsewhere with the package's folder named.
        NextRunCase{
            .name = "FullUpgradeAtTheProcessLimit",
            // LeakSanitizer's check at exit needs a thread of its own.
            .around = "cd / && ulimit -p 1 && ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" "
                      "exec \"$0\" \"$1\"",
            .script = kWholeRun,
            .shown = {},
            .jobs = kAllJobs}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::testing
