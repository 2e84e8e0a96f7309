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
        "File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 hold\n",
        "cd / && ulimit -S -l 4096 && " +
            InBackground(AwaitThen("\"$1/quillet-user.log\"", "page 137",
                                   "grep 'locked memory' /proc/$pid/limits >\"$1/limits\"; "
                                   "kill $pid"),
                         " \"$1/quillet.txt\""));
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
            : RunProgram(c.imageLine, lead + "132 wait\n133 ok\n137 ok\n",
                         c.prepare + std::string(" && ") +
                             InBackground(AwaitThen("quillet-user.log", "page 132", c.change) +
                                          "touch quillet-user.go; "));
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

// A copy of the program whose spooler module is missing or cut short lists no
// printer, says why it cannot on the printer page instead of sending the user
// to install the driver, and names the file on stderr.
struct ModuleCase {
    const char* name;
    const char* prepare;  // shell run in the folder, where the copy runs
    const char* reason;   // on stderr
    friend void PrintTo(const ModuleCase& c, std::ostream* os) { *os << c.name; }
};

class SpoolerModuleTest : public EndToEndTest, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(SpoolerModuleTest, PrinterPageSaysPrintersCannotBeListed) {
    const auto log = RunProgram(
        "File=firmware.bin", "140 ok\n102 cancel\n",
        std::string("cp \"$0\" quillet && ") + GetParam().prepare + " && exec ./quillet");
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    const MessageCatalog& catalog = MessageCatalog::Builtin();
    EXPECT_EQ(LinesStartingWith(log, "page 102"),
              std::vector<std::string>{"page 102|Tarvane Nimbrel K7|" + catalog.Load(1011) + "|" +
                                       catalog.Load(1071)});
    EXPECT_NE(result_.err.find(GetParam().reason), std::string::npos) << result_.err;
}

INSTANTIATE_TEST_SUITE_P(
    Modules, SpoolerModuleTest,
    ::testing::Values(
        ModuleCase{"Missing", ":", "/libquillet-spooler-cups.so: No such file or directory"},
        // Into its code: the loader would map the rest past the end of the file.
        ModuleCase{
            "CutShort",
            "head -c 12288 \"${0%/*}/libquillet-spooler-cups.so\" >libquillet-spooler-cups.so",
            "/libquillet-spooler-cups.so: cut short"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every end, orderly or abrupt, writes the saved value back and removes the
// recovery record in the state folder.
constexpr const char* kUpToTestPrint = "140 ok\n102 ok\n129 hold\n";
constexpr const char* kAutoRunOff = "4 00000000\n";

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
std::string AnsweredWithinFiveSeconds() {
    return "n=0; until grep -qx answered quillet-user.log || [ $n -ge 50 ]; do sleep 0.1; "
           "n=$((n+1)); done; grep -qx answered quillet-user.log || kill -KILL $pid; ";
}
const std::string kTermWithinFiveSeconds =
    "kill -TERM $pid; n=0; while grep -qs '^State:[^Z]*$' /proc/$pid/status && [ $n -lt 50 ]; "
    "do sleep 0.1; n=$((n+1)); done; kill -KILL $pid 2>/dev/null; kill -CONT $cupsd";

class EveryEndTest : public EndToEndTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EveryEndTest, WritesTheSavedValueBackAndRemovesTheRecord) {
    const EndCase& c = GetParam();
    ASSERT_EQ(::setenv("cupsd", std::to_string(cupsd_.SchedulerPid()).c_str(), 1), 0);
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
        EndCase{"TermHup", "", "hold; kill -TERM $pid; delivered; kill -HUP $pid", false},
        EndCase{"IntInt", "", "hold; kill -INT $pid; delivered; kill -INT $pid", false},
        EndCase{"IntTermHup", "",
                "hold; kill -INT $pid; delivered; kill -TERM $pid; kill -HUP $pid", false},
        // The display goes away: Qt's xcb back end ends the process by exit(1).
        EndCase{"LostDisplay",
                "Xvfb -displayfd 3 -nolisten tcp 3>display 2>/dev/null & xvfb=$!; n=0; "
                "until [ -s display ] || [ $n -ge 100 ]; do sleep 0.1; n=$((n+1)); done; "
                "export DISPLAY=:$(cat display) QT_QPA_PLATFORM=xcb; ",
                "kill $xvfb", false},
        // The scheduler stops as the image is to go out: the transfer gives
        // up at the signal, and the pages unwind as after a failed one.
        EndCase{"SchedulerStoppedDuringTheTransfer",
                "",
                AwaitThen("quillet-user.log", "page 132", "kill -STOP $cupsd; touch go") +
                    AnsweredWithinFiveSeconds() + "sleep 1; " + kTermWithinFiveSeconds,
                true,
                "140 ok\n102 ok\n129 ok\n130 ok\n132 go\n132 ok\n",
                {"test-page", "download-mode"}},
        // It stops while the status line follows the image job, which a
        // closed port as the queue's device keeps unfinished.
        EndCase{"SchedulerStoppedOnTheDownloadPage",
                "lpadmin -p Tarvane_Nimbrel_K7 -v socket://127.0.0.1:9 && ",
                AwaitThen("quillet-user.log", "page 133",
                          "sleep 1; kill -STOP $cupsd; sleep 2; touch go") +
                    AnsweredWithinFiveSeconds() + kTermWithinFiveSeconds +
                    "; cancel -a Tarvane_Nimbrel_K7",
                true, "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 go\n133 hold\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A run leaves its record and the value at 0 in the store it used; the next
// start puts the value back before anything else, in its own store only.
struct NextRunCase {
    const char* name;
    const char* script;
    const char* around;
    std::vector<std::string> jobs;
    std::vector<std::string> boxes;
    // The first run: its store in the folder, and the steps that end it once
    // it has switched the value off. By default SIGKILL on the first
    // test-print page: nothing runs, the record stays.
    const char* firstStore = "registry.db";
    const char* firstScript = kUpToTestPrint;
    std::string firstEnd = AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid");
    // Afterwards: the value in this run's store, and whether the record stays.
    const char* value = kAutoRunOn;
    bool recordStays = false;
    friend void PrintTo(const NextRunCase& c, std::ostream* os) { *os << c.name; }
};

class NextRunTest : public EndToEndTest, public ::testing::WithParamInterface<NextRunCase> {};

TEST_P(NextRunTest, RestoresTheRecordOfAnEarlierRunFirst) {
    const NextRunCase& c = GetParam();
    const std::string firstStore = folder_.File(c.firstStore);
    RunProgram("File=firmware.bin", c.firstScript,
               "cp registry.db " + std::string(c.firstStore) + " 2>/dev/null; " +
                   "QUILLET_REGISTRY_DB=\"$PWD/" + c.firstStore + "\" && " +
                   InBackground(c.firstEnd));
    ASSERT_EQ(AutoRun(firstStore), kAutoRunOff) << result_.err;
    ASSERT_EQ(Record(), std::optional(RecordOfOne(firstStore)));

    const auto log = RunProgram("File=firmware.bin", c.script, c.around);
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(AutoRun(), c.value);
    EXPECT_EQ(Record(), c.recordStays ? std::optional(RecordOfOne(firstStore)) : std::nullopt);
    EXPECT_EQ(JobKinds(), c.jobs);
    EXPECT_EQ(LinesStartingWith(log, "box"), c.boxes);
}

const std::string kConfigUnreadable =
    "box|Firmware Upgrade|Unable to read initialization file quillet.txt";

INSTANTIATE_TEST_SUITE_P(
    NextRuns, NextRunTest,
    ::testing::Values(
        // Before anything else: start-up that ends at once still restores. A
        // FIFO as the configuration must not hang it.
        NextRunCase{"FifoAsConfiguration",
                    "box ok\n",
                    "rm quillet.txt && mkfifo quillet.txt && exec timeout -k 5 30 \"$0\"",
                    {},
                    {kConfigUnreadable}},
        // Otherwise the run would save the 0 as the user's value. Started
        // elsewhere with the package's folder named.
        NextRunCase{"FullUpgrade",
                    "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                    "cd / && exec \"$0\" \"$1\"",
                    {"test-page", "download-mode", "firmware"},
                    {}},
        // A writer holds the store past its busy timeout while the completion
        // page writes the value back: the record stays until the value is back.
        NextRunCase{
            "StoreLockedAtTheCompletionPage",
            "box ok\n",
            "rm quillet.txt && exec \"$0\"",
            {"test-page", "download-mode", "firmware"},
            {kConfigUnreadable},
            "registry.db",
            "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 wait\n137 hold\n",
            AwaitThen(
                "quillet-user.log", "page 133",
                "printf 'BEGIN IMMEDIATE;\\n.shell touch locked\\n.shell sleep 7\\nCOMMIT;\\n' "
                "| sqlite3 \"$QUILLET_REGISTRY_DB\" & until [ -e locked ]; do sleep 0.01; "
                "done; touch quillet-user.go") +
                AwaitThen("quillet-user.log", "page 137", "kill -KILL $pid")},
        // The value the user set to 0 in this store since stays.
        NextRunCase{"RecordOfAnotherStore",
                    "box ok\n",
                    "sqlite3 registry.db \"UPDATE reg_values SET data = X'00000000'\" && "
                    "rm quillet.txt && exec \"$0\"",
                    {},
                    {kConfigUnreadable},
                    "other.db",
                    kUpToTestPrint,
                    AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid"),
                    kAutoRunOff,
                    true},
        // A record that a read-only state folder keeps is put back once; the
        // 0 the user sets afterwards stays.
        NextRunCase{"RecordThatCannotBeRemoved",
                    "box ok\n",
                    "rm quillet.txt && chmod a-w state/quillet && \"$0\" && sqlite3 registry.db "
                    "\"UPDATE reg_values SET data = X'00000000'\" && \"$0\"; status=$?; "
                    "chmod u+w state/quillet; exit $status",
                    {},
                    {kConfigUnreadable},
                    "registry.db",
                    kUpToTestPrint,
                    AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid"),
                    kAutoRunOff},
        // A value changed since the record was left is someone's later choice.
        NextRunCase{"ValueChangedSince",
                    "box ok\n",
                    "sqlite3 registry.db \"UPDATE reg_values SET data = X'07000000'\" && "
                    "rm quillet.txt && exec \"$0\"",
                    {},
                    {kConfigUnreadable},
                    "registry.db",
                    kUpToTestPrint,
                    AwaitThen("quillet-user.log", "page 129", "kill -KILL $pid"),
                    "4 07000000\n"},
        // A package named on the command line that cannot be used is refused
        // as a missing quillet.txt: a missing one, a file that is not the
        // package's quillet.txt, and a second argument, even one Qt would
        // take as its option.
        NextRunCase{"MissingPackage",
                    "box ok\n",
                    "exec \"$0\" \"$1/missing/quillet.txt\"",
                    {},
                    {kConfigUnreadable}},
        NextRunCase{"FileOfAnotherName",
                    "box ok\n",
                    "exec \"$0\" \"$1/firmware.bin\"",
                    {},
                    {kConfigUnreadable}},
        NextRunCase{
            "SecondArgument", "box ok\n", "exec \"$0\" \"$1\" -reverse", {}, {kConfigUnreadable}},
        // At the user's process limit no thread can start: the run does without.
        NextRunCase{"FullUpgradeAtTheProcessLimit",
                    "140 ok\n102 ok\n129 ok\n130 ok\n132 ok\n133 ok\n137 ok\n",
                    // LeakSanitizer's check at exit needs a thread of its own.
                    "ulimit -p 1 && ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" exec \"$0\"",
                    {"test-page", "download-mode", "firmware"},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The applications menu's start asks for the package's quillet.txt, then runs
// in its folder; Cancel there ends the program with nothing written or sent.
struct MenuStartCase {
    const char* name;
    const char* script;
    std::vector<std::string> jobs;
};

class MenuStartTest : public EndToEndTest, public ::testing::WithParamInterface<MenuStartCase> {};

TEST_P(MenuStartTest, AsksForThePackageFirst) {
    const auto log = RunProgram("File=firmware.bin", GetParam().script,
                                "mkdir package && mv quillet.txt firmware.bin package/ && "
                                "exec \"$0\" --choose-package");
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "file|Firmware Upgrade");
    EXPECT_TRUE(LinesStartingWith(log, "unscripted").empty());
    EXPECT_EQ(JobKinds(), GetParam().jobs);
    EXPECT_EQ(AutoRun(), kAutoRunOn);
}

INSTANTIATE_TEST_SUITE_P(
    MenuStarts, MenuStartTest,
    ::testing::Values(MenuStartCase{"Cancelled", "file cancel\n", {}},
                      MenuStartCase{"Answered",
                                    "file package/quillet.txt\n140 ok\n102 ok\n129 ok\n130 "
                                    "ok\n132 ok\n133 ok\n137 ok\n",
                                    {"test-page", "download-mode", "firmware"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A second wizard of the same user, started while the first has the printer
// in download mode, leaves the first's record and value alone and cannot
// take the same printer: it says so and stays on the selection page.
TEST_F(EndToEndTest, SecondRunLeavesAPrinterInUpgradeAlone) {
    RunProgram("File=firmware.bin", "140 ok\n102 ok\n129 ok\n130 ok\n132 hold\n",
               InBackground(AwaitThen(
                   "quillet-user.log", "page 132",
                   "mkdir second && cp quillet.txt second/ && printf '140 ok\\n102 ok\\nbox "
                   "ok\\n102 cancel\\n' >second/quillet-user.txt && (cd second && \"$0\"); "
                   "sqlite3 \"$QUILLET_REGISTRY_DB\" \"SELECT hex(data) FROM reg_values\" "
                   ">during; kill -TERM $pid")));
    EXPECT_EQ(result_.exitStatus, 0) << result_.err;
    EXPECT_EQ(ReadFile(folder_.File("during")), "00000000\n");
    const auto second = Lines(ReadFile(folder_.File("second/quillet-user.log")));
    EXPECT_EQ(LinesStartingWith(second, "box"),
              std::vector<std::string>{"box|quillet|" + MessageCatalog::Builtin().Load(1070)});
    EXPECT_EQ(LinesStartingWith(second, "page ").size(), 3u);
    EXPECT_TRUE(LinesStartingWith(second, "unscripted").empty());
    EXPECT_EQ(AutoRun(), kAutoRunOn);
    EXPECT_EQ(Record(), std::nullopt);
    EXPECT_EQ(JobKinds(), (std::vector<std::string>{"test-page", "download-mode"}));
}

}  // namespace
}  // namespace quillet::testing
