// The program end to end: its build with a scripted user runs in a folder
// with "quillet.txt" and a firmware image, against a private scheduler whose
// K7 queue feeds the emulated printer, with the driver's key in its registry
// file. Checks what the printer received and the autorun value afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>

#include "platform/registry_sqlite.h"
#include "tests/fixtures/command.h"
#include "tests/fixtures/private_cupsd.h"
#include "tests/fixtures/sha256.h"
#include "tests/fixtures/temp_dir.h"

namespace quillet::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kKeyPath =
    "System\\CurrentControlSet\\control\\Print\\Printers\\Tarvane_Nimbrel_K7\\PrinterDriverData";
constexpr milliseconds kJobTimeout(60000);

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The log lines that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = PrivateCupsd::Missing();
        if (!missing.empty()) {
            ASSERT_FALSE(PrivateCupsd::Required())
                << "CUPS scheduler tests need cupsd: " << missing;
            GTEST_SKIP() << "CUPS scheduler tests need cupsd: " << missing;
        }
        std::string error;
        ASSERT_TRUE(cupsd_.Start(error)) << error;
        ASSERT_TRUE(folder_.Ok());

        // The driver's key with its autorun value switched on, in a registry
        // file of this run's own, which the program finds by the variable.
        ASSERT_EQ(::setenv("QUILLET_REGISTRY_DB", registryPath_.c_str(), 1), 0);
        // The recovery record, too, stays in this run's folder.
        ASSERT_EQ(::setenv("XDG_STATE_HOME", folder_.File("state").c_str(), 1), 0);
        SqliteRegistry registry(registryPath_);
        ASSERT_TRUE(registry.CreateKey(kKeyPath));
        RegistryKey key = 0;
        ASSERT_TRUE(registry.OpenKey(kKeyPath, RegistryAccess::Write, key));
        const std::uint8_t one[4] = {1, 0, 0, 0};
        ASSERT_TRUE(registry.SetValue(key, "SM AutoRun", REG_DWORD, one, sizeof one));
        registry.CloseKey(key);

        // A firmware image that no run could produce by chance, three times
        // an ordinary user's locked-memory limit of 8 MiB.
        std::mt19937 random(7);
        firmware_.resize(24 << 20);
        for (char& byte : firmware_) {
            byte = static_cast<char>(random());
        }
        std::ofstream(folder_.File("firmware.bin"), std::ios::binary) << firmware_;
    }

    // Writes the configuration and the user's script, runs the program in the
    // folder (with `around` wrapped around its start in sh) and returns the
    // lines the scripted user logged.
    std::vector<std::string> RunProgram(const std::string& imageLine, const std::string& script,
                                        const std::string& around = "exec \"$0\"") {
        std::ofstream(folder_.File("quillet.txt"), std::ios::binary)
            << "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\n"
            << imageLine << "\r\n";
        std::ofstream(folder_.File("quillet-user.txt")) << script;
        result_ = RunCommand({"sh", "-c", "cd \"$1\" || exit 1\n" + around, QUILLET_E2E_PROGRAM,
                              folder_.Path().string()});
        return Lines(ReadFile(folder_.File("quillet-user.log")));
    }

    std::optional<std::uint32_t> AutoRun() {
        SqliteRegistry registry(registryPath_);
        RegistryKey key = 0;
        if (!registry.OpenKey(kKeyPath, RegistryAccess::QueryValue, key)) {
            return std::nullopt;
        }
        std::uint32_t type = 0;
        std::uint8_t data[4] = {};
        std::uint32_t size = sizeof data;
        const bool read = registry.QueryValue(key, "SM AutoRun", type, data, size);
        registry.CloseKey(key);
        if (!read || type != REG_DWORD || size != 4) {
            return std::nullopt;
        }
        return data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    }

    std::vector<std::string> JobKinds() {
        cupsd_.WaitUntilIdle(PrivateCupsd::kK7Queue, kJobTimeout);
        std::vector<std::string> kinds;
        for (const EmulatedJob& job : cupsd_.EmulatedJobs()) {
            kinds.push_back(job.kind);
        }
        return kinds;
    }

    PrivateCupsd cupsd_;
    TempDir folder_{"quillet-e2e"};
    const std::string registryPath_ = folder_.File("registry.db");
    std::string firmware_;
    CommandResult result_;
};

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
