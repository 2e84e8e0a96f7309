// Start-up benchmark: the time from starting a program until its first
// dialog has been painted, for the wizard (its benchmark build, which prints
// "shown" at its first page) and for two minimal Qt programs: one that shows
// a dialog with one line of text and an OK button, and one that shows an
// empty dialog, which never loads a font. The three start in turn in the
// same run on the offscreen platform. Prints each and the wizard's ratio to
// both.
//
//   quillet_startup_bench [RUNS]   (default 20 each)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Starts `program` (with `argument`, if not empty) in `folder`, returns the
// milliseconds until it printed a line, and waits for it to end. Negative on
// failure.
double TimeToFirstLine(const std::string& program, const std::string& folder,
                       const std::string& argument = {}) {
    int out[2];
    if (::pipe(out) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string chdirAndRun = "cd \"$1\" && shift && exec \"$0\" \"$@\"";
    std::vector<char*> argv = {
        const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(chdirAndRun.c_str()),
        const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str())};
    if (!argument.empty()) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawnp(&pid, "sh", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return -1;
    }
    char byte = 0;
    bool gotLine = false;
    while (::read(out[0], &byte, 1) == 1) {
        if (byte == '\n') {
            gotLine = true;
            break;
        }
    }
    const auto shown = Clock::now();
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!gotLine) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(shown - start).count();
}

struct Summary {
    double median = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
};

Summary Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    Summary summary;
    const std::size_t n = samples.size();
    summary.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(n);
    summary.min = samples.front();
    summary.max = samples.back();
    return summary;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    // Offscreen unless the caller names a platform (xcb under Xvfb, say).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // The wizard reads quillet.txt from its folder before its first page.
    char pattern[] = "/tmp/quillet-startup-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern;
    std::ofstream(folder + "/quillet.txt", std::ios::binary)
        << "K7\r\nTarvane Nimbrel K7\r\nBenchmark\r\nFile=firmware.bin\r\n";

    struct Program {
        const char* label;
        std::string path;
        std::string argument;
        std::vector<double> times;
    };
    Program programs[] = {{"quillet (welcome page)", QUILLET_STARTUP_PROGRAM, {}, {}},
                          {"minimal dialog with text", QUILLET_MINIMAL_DIALOG, "text", {}},
                          {"minimal empty dialog", QUILLET_MINIMAL_DIALOG, {}, {}}};
    // One run of each first, unmeasured, so that all start from warm caches.
    for (Program& program : programs) {
        TimeToFirstLine(program.path, folder, program.argument);
    }
    for (int i = 0; i < runs; ++i) {
        for (Program& program : programs) {
            const double ms = TimeToFirstLine(program.path, folder, program.argument);
            if (ms < 0) {
                std::fprintf(stderr, "%s did not show its dialog (run %d)\n", program.label, i + 1);
                std::filesystem::remove_all(folder);
                return 1;
            }
            program.times.push_back(ms);
        }
    }
    std::filesystem::remove_all(folder);

    std::printf("Start-up to the first dialog painted, %s, %d runs each (ms)\n",
                std::getenv("QT_QPA_PLATFORM"), runs);
    double medians[3] = {};
    for (int k = 0; k < 3; ++k) {
        const Summary s = Summarise(programs[k].times);
        medians[k] = s.median;
        std::printf("  %-26s median %7.1f  mean %7.1f  min %7.1f  max %7.1f\n", programs[k].label,
                    s.median, s.mean, s.min, s.max);
    }
    std::printf("  ratio quillet / dialog with text (medians): %.2f\n", medians[0] / medians[1]);
    std::printf("  ratio quillet / empty dialog (medians):     %.2f\n", medians[0] / medians[2]);
    return 0;
}
