// The firmware transfer through a real (private) CUPS scheduler: peak memory
// of SendImageFile, and its time beside `lp -o raw` sending the same file to
// the same queue; and the time of the SHA-256 digest that the check before
// download mode takes of the image, with OpenSSL (the program's) and with
// QCryptographicHash.
//
//   quillet_image_transfer_bench [--size-mib N] [--runs R]   (256 MiB, 5 runs)
//
// Each transfer runs in a process of its own, so that its peak resident size
// (ru_maxrss from wait4) is its own. Times are from the start of that process
// until it returns (the job is spooled) and until the emulated printer has
// received the whole job. The two alternate which goes first from run to
// run; the figures are medians. Exit status 1 when a transfer failed or the
// wizard's peak exceeded the image size plus 16 MiB; 77 when cupsd is
// missing.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/upgrade_app.h"
#include "emulator/private_cupsd.h"
#include "emulator/sha256.h"
#include "platform/image_checksum_openssl.h"
#include "platform/image_file_posix.h"
#include "platform/spooler_cups.h"

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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
    const char* name;
    std::vector<std::string> argv;
    std::vector<double> spooled;
    std::vector<double> atPrinter;
    std::uint64_t peakBytes = 0;
    bool ok = true;
};

// Times the digest of the image in memory with each library; medians of
// `runs`. False when the two disagree.
bool PrintDigestTimes(const std::string& image, int runs) {
    std::ifstream in(image, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    quillet::OpenSslImageChecksums openSsl;
    std::vector<double> openSslSeconds, qtSeconds;
    bool same = true;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        const std::string ours = openSsl.Sha256(bytes.data(), bytes.size());
        openSslSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        const std::string qts = quillet::testing::Sha256::Of(bytes.data(), bytes.size());
        qtSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        same = same && ours == qts && ours.size() == 64;
    }
    std::printf(
        "SHA-256 of the image (medians): OpenSSL EVP %.3f s (the program's), "
        "QCryptographicHash %.3f s; same digest: %s\n",
        Median(openSslSeconds), Median(qtSeconds), same ? "yes" : "NO");
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--transfer") == 0) {
        return Transfer(argv[2], argv[3]);
    }
    std::uint64_t sizeMiB = 256;
    int runs = 5;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 < argc && std::strcmp(argv[i], "--size-mib") == 0) {
            sizeMiB = std::strtoull(argv[i + 1], nullptr, 10);
        } else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else {
            std::fprintf(stderr, "usage: %s [--size-mib N] [--runs R]\n", argv[0]);
            return 2;
        }
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

    Series wizard{"SendImageFile", {"/proc/self/exe", "--transfer", queue, image}, {}, {}};
    Series lp{"lp -o raw",
              {"lp", "-h", cupsd.Server(), "-d", queue, "-o", "raw", "-t", "My Document", image},
              {},
              {}};
    std::size_t jobs = 0;
    for (int i = 0; i < runs; ++i) {
        for (Series* series : i % 2 ? std::vector{&lp, &wizard} : std::vector{&wizard, &lp}) {
            const Run run = RunAndWait(series->argv, cupsd, jobs++);
            series->ok = series->ok && run.ok;
            series->spooled.push_back(run.spoolSeconds);
            series->atPrinter.push_back(run.printerSeconds);
            series->peakBytes = std::max(series->peakBytes, run.peakBytes);
        }
    }
    const auto received = cupsd.EmulatedJobs();
    const bool allArrived =
        received.size() == jobs && std::all_of(received.begin(), received.end(), [&](auto& job) {
            return job.bytes == size && job.sha256 == received.front().sha256;
        });

    std::printf("image: %llu MiB through a private cupsd to the emulated K7, %d runs each\n",
                static_cast<unsigned long long>(sizeMiB), runs);
    std::printf("%-15s %12s %14s %14s\n", "(medians)", "spooled (s)", "at printer (s)",
                "peak RSS (MiB)");
    for (const Series* series : {&wizard, &lp}) {
        std::printf("%-15s %12.3f %14.3f %14.1f%s\n", series->name, Median(series->spooled),
                    Median(series->atPrinter), static_cast<double>(series->peakBytes) / kMiB,
                    series->ok ? "" : "  (FAILED)");
    }
    std::printf("ratio SendImageFile / lp at printer, run by run:");
    for (int i = 0; i < runs; ++i) {
        std::printf(" %.2f", wizard.atPrinter[i] / lp.atPrinter[i]);
    }
    std::printf("\nratio SendImageFile / lp (medians): spooled %.2f, at printer %.2f\n",
                Median(wizard.spooled) / Median(lp.spooled),
                Median(wizard.atPrinter) / Median(lp.atPrinter));
    const bool withinMemory = wizard.peakBytes <= size + kAllowedOverhead;
    std::printf("peak memory of SendImageFile: %.1f MiB, limit %.1f MiB: %s\n",
                static_cast<double>(wizard.peakBytes) / kMiB,
                static_cast<double>(size + kAllowedOverhead) / kMiB,
                withinMemory ? "within" : "EXCEEDED");
    std::printf("all jobs arrived whole and identical: %s\n", allArrived ? "yes" : "NO");
    const bool digestsAgree = PrintDigestTimes(image, runs);
    return wizard.ok && lp.ok && withinMemory && allArrived && digestsAgree ? 0 : 1;
}
