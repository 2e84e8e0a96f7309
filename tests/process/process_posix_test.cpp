// Starting "driver\setup.exe" on POSIX: a real program in a temporary
// package folder, started without waiting and without leaving a zombie.

#include "platform/process_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>

#include "emulator/temp_dir.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;

// Runs each test inside the package folder, as the wizard runs.
class PackageFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::current_path(dir_.Path()); }
    void TearDown() override { fs::current_path(previous_); }

    static void WriteInstaller(const std::string& script, fs::perms mode) {
        fs::create_directory("driver");
        std::ofstream("driver/setup.exe") << script;
        fs::permissions("driver/setup.exe", mode);
    }
    // Up to ten seconds.
    static bool WaitForFile(const fs::path& path) {
        for (int i = 0; i < 1000 && !fs::exists(path); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return fs::exists(path);
    }
    static bool HasNoChildren() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    const fs::path previous_ = fs::current_path();
    TempDir dir_{"quillet-package"};
};

// One run shows all the installer sees: the package folder as its current
// folder, the wizard's environment, no signal blocked or ignored, no
// descriptor of the wizard's; and that the wizard neither waits for it nor
// leaves a zombie.
TEST_F(PackageFolderTest, InstallerStartsDetachedInTheFolderWithACleanInheritance) {
    ASSERT_EQ(::setenv("QUILLET_TEST_MARK", "from-the-wizard", 1), 0);
    // An ignored signal stays ignored across exec unless the launcher resets it.
    struct sigaction ignore = {}, pipeBefore = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &pipeBefore), 0);
    // A descriptor left open without close-on-exec, as a library may leave one.
    const int wizardFile = ::open(".", O_RDONLY);
    WriteInstaller(
        "#!/bin/sh\n(pwd; echo \"$QUILLET_TEST_MARK\"; grep -E '^Sig(Blk|Ign)' /proc/$$/status; "
        "ls /proc/$$/fd) >started.tmp\nmv started.tmp started\n"
        "while [ ! -e release ]; do sleep 0.05; done\ntouch finished\n",
        fs::perms::owner_all);
    EXPECT_TRUE(PosixProcessLauncher().StartProcess("driver\\setup.exe"));
    ::sigaction(SIGPIPE, &pipeBefore, nullptr);
    ::close(wizardFile);
    ASSERT_TRUE(WaitForFile("started"));
    EXPECT_FALSE(fs::exists("finished"));
    EXPECT_TRUE(HasNoChildren());  // neither the installer nor the helper that started it
    std::ifstream seen("started");
    std::string folder, mark, blocked, ignored;
    std::getline(seen, folder) >> mark >> std::ws;
    std::getline(std::getline(seen, blocked), ignored);
    EXPECT_EQ(fs::canonical(folder), fs::canonical(dir_.Path()));
    EXPECT_EQ(mark, "from-the-wizard");
    EXPECT_EQ(blocked, "SigBlk:\t0000000000000000");
    EXPECT_EQ(ignored, "SigIgn:\t0000000000000000");
    for (std::string fd; seen >> fd;) {
        EXPECT_NE(fd, std::to_string(wizardFile));
    }
    ::unsetenv("QUILLET_TEST_MARK");
    std::ofstream("release").close();
    EXPECT_TRUE(WaitForFile("finished"));
}

// Neither a missing installer nor one the system cannot run is reported as started.
TEST_F(PackageFolderTest, InstallerThatCannotRunIsNotStarted) {
    const std::pair<const char*, fs::perms> installers[] = {
        {nullptr, fs::perms::none},
        {"#!/bin/sh\ntouch started\n", fs::perms::owner_read | fs::perms::owner_write},
        {"#!/nonexistent/sh\ntouch started\n", fs::perms::owner_all},
    };
    for (const auto& [script, mode] : installers) {
        if (script != nullptr) {
            WriteInstaller(script, mode);
        }
        EXPECT_FALSE(PosixProcessLauncher().StartProcess("driver\\setup.exe"))
            << (script ? script : "none");
        EXPECT_TRUE(HasNoChildren());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists("started"));
}

}  // namespace
}  // namespace quillet::testing
