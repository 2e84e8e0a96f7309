// Starting "driver\setup.exe" on POSIX: a real program in a temporary
// package folder, started without waiting and without leaving a zombie.

#include "platform/process_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "emulator/temp_dir.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr const char* kInstaller = "driver\\setup.exe";

// Runs the test inside the package folder, as the wizard runs, and goes back
// to where it was.
class PackageFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Ok());
        previous_ = fs::current_path();
        fs::current_path(dir_.Path());
    }
    void TearDown() override { fs::current_path(previous_); }

    void WriteInstaller(const std::string& script, fs::perms mode) {
        fs::create_directory("driver");
        std::ofstream("driver/setup.exe") << script;
        fs::permissions("driver/setup.exe", mode);
    }

    // Up to ten seconds.
    static bool WaitForFile(const fs::path& path) {
        for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        return fs::exists(path);
    }

    static bool HasNoChildren() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    TempDir dir_{"quillet-package"};
    fs::path previous_;
};

constexpr fs::perms kExecutable = fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec;

// One run shows all the installer sees: the package folder as its current
// folder, the wizard's environment, default signals, no descriptor of the
// wizard's; and that the wizard neither waits for it nor leaves a zombie.
TEST_F(PackageFolderTest, InstallerStartsDetachedInTheFolderWithACleanInheritance) {
    ASSERT_EQ(::setenv("QUILLET_TEST_MARK", "from-the-wizard", 1), 0);
    // An ignored signal stays ignored across exec unless the launcher resets it.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction pipeBefore = {};
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &pipeBefore), 0);
    // A descriptor left open without close-on-exec, as a library may leave one.
    const int wizardFile = ::open(".", O_RDONLY);
    ASSERT_GE(wizardFile, 3);
    WriteInstaller(
        "#!/bin/sh\npwd > started.tmp\necho \"$QUILLET_TEST_MARK\" >> started.tmp\n"
        "grep -E '^Sig(Ign|Blk)' /proc/self/status >> started.tmp\nls /proc/$$/fd >> started.tmp\n"
        "mv started.tmp started\nwhile [ ! -e release ]; do sleep 0.05; done\ntouch finished\n",
        kExecutable);
    PosixProcessLauncher launcher;
    EXPECT_TRUE(launcher.StartProcess(kInstaller));
    ::sigaction(SIGPIPE, &pipeBefore, nullptr);
    ::close(wizardFile);
    ASSERT_TRUE(WaitForFile("started"));
    EXPECT_FALSE(fs::exists("finished"));
    // Neither the installer nor the helper that started it is our child.
    EXPECT_TRUE(HasNoChildren());
    std::ifstream marker("started");
    std::string folder, mark, ignored, blocked;
    std::getline(marker, folder);
    std::getline(marker, mark);
    std::getline(marker, blocked);
    std::getline(marker, ignored);
    EXPECT_EQ(fs::canonical(folder), fs::canonical(dir_.Path()));
    EXPECT_EQ(mark, "from-the-wizard");
    EXPECT_EQ(blocked, "SigBlk:\t0000000000000000");
    EXPECT_EQ(ignored, "SigIgn:\t0000000000000000");
    for (std::string fd; std::getline(marker, fd);) {
        EXPECT_NE(fd, std::to_string(wizardFile));
    }
    ::unsetenv("QUILLET_TEST_MARK");
    std::ofstream("release").close();
    EXPECT_TRUE(WaitForFile("finished"));
}

struct NotStartedCase {
    const char* name;
    const char* folder;  // made first; nullptr: none
    const char* script;  // nullptr: no file
    fs::perms mode;
};

void PrintTo(const NotStartedCase& c, std::ostream* os) {
    *os << c.name;
}

class NotStartedTest : public PackageFolderTest,
                       public ::testing::WithParamInterface<NotStartedCase> {};

TEST_P(NotStartedTest, StartsNothingAndReportsFalse) {
    const NotStartedCase& c = GetParam();
    if (c.folder != nullptr) {
        fs::create_directories(c.folder);
    }
    if (c.script != nullptr) {
        WriteInstaller(c.script, c.mode);
    }
    PosixProcessLauncher launcher;
    EXPECT_FALSE(launcher.StartProcess(kInstaller));
    EXPECT_TRUE(HasNoChildren());
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_FALSE(fs::exists("started"));
}

constexpr fs::perms kReadOnly =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

INSTANTIATE_TEST_SUITE_P(
    Installers, NotStartedTest,
    ::testing::Values(
        NotStartedCase{"NoDriverFolder", nullptr, nullptr, kReadOnly},
        NotStartedCase{"NoSetupFile", "driver", nullptr, kReadOnly},
        NotStartedCase{"FolderNamedLikeTheInstaller", "driver/setup.exe", nullptr, kReadOnly},
        NotStartedCase{"NotExecutable", "driver", "#!/bin/sh\ntouch started\n", kReadOnly},
        // Executable bits, but nothing the system can run.
        NotStartedCase{"NotAProgram", "driver",
                       "\x7f"
                       "ELF garbage",
                       kExecutable},
        NotStartedCase{"MissingInterpreter", "driver", "#!/nonexistent/sh\ntouch started\n",
                       kExecutable}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet::testing
