// The firmware transfer through a real (private) CUPS scheduler: peak memory
// of SendImageFile, and its time beside `lp -o raw` sending the same file to
// the same queue; the program itself, from OK on the download-ready page
// until the download page is shown, beside the same `lp`; and the time of the
// SHA-256 digest that the check before download mode takes of the image, with
// OpenSSL (the program's) and with QCryptographicHash.
//
//   quillet_image_transfer_bench [--size-mib N] [--runs R]   (256 MiB, 9 runs)
//
// Each transfer runs in a process of its own, so that its peak resident size
// (ru_maxrss from wait4) is its own. Times are from the start of that process
// until it returns (the job is spooled) and until the emulated printer has
// received the whole job; for the program, from the moment its build for the
// benchmark presses OK on the download-ready page until the download page
// has been painted (offscreen unless QT_QPA_PLATFORM says otherwise). The
// series take turns, `lp` going before the program in one run and after it
// in the next; the figures are medians. Exit status 1 when a transfer failed
// or SendImageFile's peak exceeded the image size plus 16 MiB; 77 when cupsd
// is missing.

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

#include "emulator/private_cupsd.h"
#include "emulator/sha256.h"
#include "platform/image_checksum_openssl.h"
#include "platform/image_file_posix.h"
#include "platform/spooler_cups.h"
#include "printer/image_transfer.h"

namespace {

using quillet::testing::PrivateCupsd;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kAllowedOverhead = 16 * kMiB;

// The child's part: one SendImageFile, as the download page makes it.
int Transfer(const std::string& printer, const std::string& image) {
    quillet::CupsSpooler spooler;
    quillet::PosixImageFiles files;
    quillet::ImageBlock block;
    const quillet::ImageTransfer transfer{files, quillet::NoImageChecksums(), block};
    return quillet::SendImageFile(spooler, transfer, printer, image) == 1 ? 0 : 1;
}

struct Run {
    bool ok = false;
    double spoolSeconds = 0;
    double printerSeconds = 0;
    std::uint64_t peakBytes = 0;
};

// Runs `argv` in `folder` and waits for it and for the `jobs` it sends to
// reach the emulated printer. A program that prints "ok <ns>" and "shown
// <ns>" (the download page's build) is timed between the two instead of
// from its start to its end.
Run RunAndWait(const std::vector<std::string>& argv, const std::string& folder,
               const PrivateCupsd& cupsd, std::size_t jobsBefore, std::size_t jobs) {
    Run run;
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) {
        return run;
    }
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // lp announces its request id; only the figures are wanted.
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        if (::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string printed;
    char buffer[256];
    for (ssize_t got = 0; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        printed.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.spoolSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
             cupsd.WaitForEmulatedJobs(jobsBefore + jobs, std::chrono::minutes(5));
    run.printerSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    long long ok = 0;
    long long shown = 0;
    const std::size_t okAt = printed.find("ok ");
    const std::size_t shownAt = printed.find("shown ");
    if (okAt != std::string::npos && shownAt != std::string::npos) {
        ok = std::atoll(printed.c_str() + okAt + 3);
        shown = std::atoll(printed.c_str() + shownAt + 6);
        run.spoolSeconds = static_cast<double>(shown - ok) / 1e9;
    }
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
    std::size_t jobs = 1;  // jobs per run
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

// The program's folder: its configuration naming the image, and a registry
// file and state folder of its own. It runs without logind.
void PrepareProgramFolder(const std::string& folder, const std::string& image) {
    std::ofstream(folder + "/quillet.txt", std::ios::binary)
        << "K7\r\nTarvane Nimbrel K7\r\nRelease 2.10\r\nFile=" << image << "\r\n";
    ::setenv("QUILLET_REGISTRY_DB", (folder + "/registry.db").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent", 1);
}

void PrintRatios(const char* title, const std::vector<double>& ours,
                 const std::vector<double>& lp) {
    std::printf("ratio %s, run by run:", title);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        std::printf(" %.2f", ours[i] / lp[i]);
    }
    std::printf("\nratio %s (medians): %.2f\n", title, Median(ours) / Median(lp));
}

// Prints the figures; true when every transfer succeeded within its memory.
bool PrintFigures(const Series& wizard, const Series& lp, const Series& page, std::uint64_t size,
                  int runs) {
    std::printf("image: %llu MiB through a private cupsd to the emulated K7, %d runs each\n",
                static_cast<unsigned long long>(size / kMiB), runs);
    std::printf("%-15s %12s %14s %14s\n", "(medians)", "spooled (s)", "at printer (s)",
                "peak RSS (MiB)");
    for (const Series* series : {&wizard, &lp}) {
        std::printf("%-15s %12.3f %14.3f %14.1f%s\n", series->name, Median(series->spooled),
                    Median(series->atPrinter), static_cast<double>(series->peakBytes) / kMiB,
                    series->ok ? "" : "  (FAILED)");
    }
    std::printf("%-15s %12.3f  (OK on the download-ready page to the download page shown)%s\n",
                page.name, Median(page.spooled), page.ok ? "" : "  (FAILED)");
    std::printf("spooled ratio SendImageFile / lp (medians): %.2f\n",
                Median(wizard.spooled) / Median(lp.spooled));
    PrintRatios("SendImageFile / lp at printer", wizard.atPrinter, lp.atPrinter);
    PrintRatios("download page shown / lp spooled", page.spooled, lp.spooled);
    const bool withinMemory = wizard.peakBytes <= size + kAllowedOverhead;
    std::printf("peak memory of SendImageFile: %.1f MiB, limit %.1f MiB: %s\n",
                static_cast<double>(wizard.peakBytes) / kMiB,
                static_cast<double>(size + kAllowedOverhead) / kMiB,
                withinMemory ? "within" : "EXCEEDED");
    return wizard.ok && lp.ok && page.ok && withinMemory;
}

// Whether every image job reached the printer whole and with the same bytes.
bool AllImagesArrived(const PrivateCupsd& cupsd, std::uint64_t size, int runs) {
    auto received = cupsd.EmulatedJobs();
    // The program's commands are not the image.
    std::erase_if(received, [](const auto& job) {
        return job.kind == "test-page" || job.kind == "download-mode";
    });
    const bool allArrived = received.size() == static_cast<std::size_t>(3 * runs) &&
                            std::all_of(received.begin(), received.end(), [&](auto& job) {
                                return job.bytes == size && job.sha256 == received.front().sha256;
                            });
    std::printf("all jobs arrived whole and identical: %s\n", allArrived ? "yes" : "NO");
    return allArrived;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--transfer") == 0) {
        return Transfer(argv[2], argv[3]);
    }
    std::uint64_t sizeMiB = 256;
    int runs = 9;
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

    const std::string folder = cupsd.Folder().string();
    PrepareProgramFolder(folder, image);

    Series wizard{"SendImageFile", {"/proc/self/exe", "--transfer", queue, image}, 1, {}, {}};
    Series lp{"lp -o raw",
              {"lp", "-h", cupsd.Server(), "-d", queue, "-o", "raw", "-t", "My Document", image},
              1,
              {},
              {}};
    // The test page, the download-mode command and the image.
    Series page{"download page", {QUILLET_DOWNLOAD_PROGRAM}, 3, {}, {}};
    std::size_t jobs = 0;
    for (int i = 0; i < runs; ++i) {
        for (Series* series :
             i % 2 ? std::vector{&page, &lp, &wizard} : std::vector{&wizard, &lp, &page}) {
            const Run run = RunAndWait(series->argv, folder, cupsd, jobs, series->jobs);
            jobs += series->jobs;
            series->ok = series->ok && run.ok;
            series->spooled.push_back(run.spoolSeconds);
            series->atPrinter.push_back(run.printerSeconds);
            series->peakBytes = std::max(series->peakBytes, run.peakBytes);
        }
    }
    const bool figuresOk = PrintFigures(wizard, lp, page, size, runs);
    const bool allArrived = AllImagesArrived(cupsd, size, runs);
    const bool digestsAgree = PrintDigestTimes(image, runs);
    return figuresOk && allArrived && digestsAgree ? 0 : 1;
}
