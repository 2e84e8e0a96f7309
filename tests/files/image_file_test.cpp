// The image files on POSIX, on real files: what a read counts, and a writer
// that comes along while the image is opened or read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "emulator/open_descriptors.h"
#include "emulator/temp_dir.h"
#include "platform/image_file_posix.h"

namespace quillet::testing {
namespace {

// A writer that opens the image after it was opened, or any change to it,
// spoils the read; where no lease is granted, only the change shows. Large
// images are read as two halves at once: they arrive byte for byte, an odd
// size included.
TEST(PosixImageFiles, ImageReadsWholeUnlessChangedAfterTheOpen) {
    TempDir folder("quillet-image");
    const std::string path = folder.File("firmware.bin");
    const std::uint32_t large = (32u << 20) + 4097;
    const std::pair<std::uint32_t, std::function<void()>> rows[] = {
        {5, [] {}},
        {large, [] {}},
        {0, [&] { ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)); }},
        {0, [&] { ::chmod(path.c_str(), 0640); }},
    };
    for (const auto& [expected, change] : rows) {
        std::string image(std::max(expected, 5u), '\0');
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i % 251);
        }
        std::ofstream(path, std::ios::binary) << image;
        PosixImageFiles files;
        FileHandle file = 0;
        ASSERT_TRUE(files.OpenFile(path, file));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // past the time stamp
        change();
        std::string block(image.size(), 'x');
        EXPECT_EQ(files.ReadFile(file, block.data(), static_cast<std::uint32_t>(block.size())),
                  expected);
        EXPECT_TRUE(expected == 0 || block == image) << expected;
        files.CloseFile(file);
    }
}

// A writer may open the image at any moment, also while the open is still
// taking the lease, before which the lease's break would end the program.
TEST(PosixImageFiles, WriterOpeningTheImageDuringTheOpenIsOutlived) {
    TempDir folder("quillet-image");
    const std::string path = folder.File("firmware.bin");
    std::ofstream(path, std::ios::binary) << "image";
    const std::size_t open = OpenDescriptors();  // before the writer opens any
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) {
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        }
    });
    PosixImageFiles files;
    for (int i = 0; i < 20000; ++i) {
        FileHandle file = 0;
        if (files.OpenFile(path, file)) {
            files.CloseFile(file);
        }
    }
    done = true;
    writer.join();
    EXPECT_EQ(OpenDescriptors(), open) << "an image was left open";
}

}  // namespace
}  // namespace quillet::testing
