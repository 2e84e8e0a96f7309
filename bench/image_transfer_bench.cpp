// The firmware transfer through a real (private) CUPS scheduler: peak memory
// of SendImageFile, and its time beside `lp -o raw` sending the same file to
// the same queue.
//
//   quillet_image_transfer_bench [--size-mib N]      (default 256)
//
// Each transfer runs in a process of its own, so that its peak resident size
// (ru_maxrss from wait4) is its own. Times are from the start of that process
// until it returns (the job is spooled) and until the emulated printer has
// received the whole job. Exit status 1 when the wizard's transfer failed or
// its peak exceeded the image size plus 16 MiB; 77 when cupsd is missing.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/upgrade_app.h"
#include "platform/image_file_posix.h"
#include "platform/spooler_cups.h"
#include "emulator/private_cupsd.h"

namespace {

using quillet::testing::PrivateCupsd;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kAllowedOverhead = 16 * kMiB;

// The services the transfer does not touch.
struct Unused : quillet::UserLanguage,
                quillet::PlatformVersion,
                quillet::MessageBoxes,
                quillet::Registry,
                quillet::FirstPages {
    std::uint16_t UserDefaultLangId() override { return 1033; }
    std::uint32_t PlatformId() override { return quillet::kAcceptedPlatformId; }
    void ShowMessage(quillet::DialogPage*, const std::string&, const std::string*,
                     quillet::MessageIcon) override {}
    bool OpenKey(const std::string&, quillet::RegistryAccess, quillet::RegistryKey&) override {
        return false;
    }
    bool QueryValue(quillet::RegistryKey, const std::string&, std::uint32_t&, std::uint8_t*,
                    std::uint32_t&) override {
        return false;
    }
    bool SetValue(quillet::RegistryKey, const std::string&, std::uint32_t, const std::uint8_t*,
                  std::uint32_t) override {
        return false;
    }
    void CloseKey(quillet::RegistryKey) override {}
    int RunWelcomePage(quillet::UpgradeApp&) override { return 2; }
    int RunSelectPrinterPage(quillet::UpgradeApp&) override { return 2; }
};

// The child's part: one SendImageFile, as the download page makes it.
int Transfer(const std::string& printer, const std::string& image) {
    Unused unused;
    quillet::CupsSpooler spooler;
    quillet::PosixImageFiles files;
    quillet::UpgradeApp app({unused, unused, unused, spooler, files, unused}, unused);
    return app.SendImageFile(printer, image) == 1 ? 0 : 1;
}

struct Run {
    bool ok = false;
    double spoolSeconds = 0;
    double printerSeconds = 0;
    std::uint64_t peakBytes = 0;
};

Run RunAndWait(const std::vector<std::string>& argv, const PrivateCupsd& cupsd,
               std::size_t jobsBefore) {
    Run run;
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // lp announces its request id; only the figures are wanted.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.spoolSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
             cupsd.WaitForEmulatedJobs(jobsBefore + 1, std::chrono::minutes(5));
    run.printerSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

bool WriteImage(const std::string& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> chunk(kMiB / sizeof(std::uint64_t));
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    for (std::uint64_t written = 0; written < size; written += kMiB) {
        for (std::uint64_t& word : chunk) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            word = state;
        }
        out.write(reinterpret_cast<const char*>(chunk.data()),
                  static_cast<std::streamsize>(std::min<std::uint64_t>(kMiB, size - written)));
    }
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--transfer") == 0) {
        return Transfer(argv[2], argv[3]);
    }
    std::uint64_t sizeMiB = 256;
    if (argc == 3 && std::strcmp(argv[1], "--size-mib") == 0) {
        sizeMiB = std::strtoull(argv[2], nullptr, 10);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--size-mib N]\n", argv[0]);
        return 2;
    }
    const std::string missing = PrivateCupsd::Missing();
    if (!missing.empty()) {
        std::printf("skipped: cupsd %s\n", missing.c_str());
        return 77;
    }

    PrivateCupsd cupsd;
    std::string error;
    if (!cupsd.Start(error)) {
        std::fprintf(stderr, "cannot start the private scheduler: %s\n", error.c_str());
        return 1;
    }
    const std::uint64_t size = sizeMiB * kMiB;
    const std::string image = (cupsd.Folder() / "firmware.bin").string();
    if (!WriteImage(image, size)) {
        std::fprintf(stderr, "cannot write %s\n", image.c_str());
        return 1;
    }
    const std::string queue = PrivateCupsd::kK7Queue;

    const Run wizard = RunAndWait({"/proc/self/exe", "--transfer", queue, image}, cupsd, 0);
    const Run lp = RunAndWait(
        {"lp", "-h", cupsd.Server(), "-d", queue, "-o", "raw", "-t", "My Document", image}, cupsd,
        1);
    const auto jobs = cupsd.EmulatedJobs();
    const bool allArrived = jobs.size() == 2 && jobs[0].bytes == size && jobs[1].bytes == size &&
                            jobs[0].sha256 == jobs[1].sha256;

    std::printf("image: %llu MiB through a private cupsd to the emulated K7\n",
                static_cast<unsigned long long>(sizeMiB));
    std::printf("%-15s %12s %14s %14s\n", "", "spooled (s)", "at printer (s)", "peak RSS (MiB)");
    for (const auto& [name, run] :
         {std::pair{"SendImageFile", wizard}, std::pair{"lp -o raw", lp}}) {
        std::printf("%-15s %12.3f %14.3f %14.1f%s\n", name, run.spoolSeconds, run.printerSeconds,
                    static_cast<double>(run.peakBytes) / kMiB, run.ok ? "" : "  (FAILED)");
    }
    if (lp.spoolSeconds > 0 && lp.printerSeconds > 0) {
        std::printf("ratio SendImageFile / lp: spooled %.2f, at printer %.2f\n",
                    wizard.spoolSeconds / lp.spoolSeconds,
                    wizard.printerSeconds / lp.printerSeconds);
    }
    const bool withinMemory = wizard.peakBytes <= size + kAllowedOverhead;
    std::printf("peak memory of SendImageFile: %.1f MiB, limit %.1f MiB: %s\n",
                static_cast<double>(wizard.peakBytes) / kMiB,
                static_cast<double>(size + kAllowedOverhead) / kMiB,
                withinMemory ? "within" : "EXCEEDED");
    std::printf("both jobs arrived whole and identical: %s\n", allArrived ? "yes" : "NO");
    return wizard.ok && withinMemory && allArrived ? 0 : 1;
}
