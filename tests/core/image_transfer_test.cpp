// SendImageFile over the POSIX back end on real files. The calls on every
// failure path are the fault injection's in tests/qt/pages_test.cpp.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "emulator/temp_dir.h"
#include "platform/image_file_posix.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;

class PosixImageFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        doubles_.spooler.printers = {"K7"};
        dir_ = folder_.Path();
    }

    fs::path Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }
    int Send(const fs::path& path) {
        PlatformServices services = doubles_.Services();
        PlatformServices real{services.userLanguage,
                              services.platformVersion,
                              services.messageBoxes,
                              services.spooler,
                              files_,
                              services.registry};
        NoPages pages;
        UpgradeApp app(real, pages);
        return app.SendImageFile("K7", path.string());
    }

    TempDir folder_{"quillet-image"};
    fs::path dir_;
    PlatformDoubles doubles_;
    PosixImageFiles files_;
};

TEST_F(PosixImageFilesTest, SendsTheWholeFileUnchanged) {
    std::string image(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 131) >> 3);
    }
    EXPECT_EQ(Send(Write("fw.bin", image)), 1);
    ASSERT_EQ(doubles_.spooler.jobs.size(), 1u);
    EXPECT_TRUE(doubles_.spooler.jobs[0].ended && doubles_.spooler.jobs[0].data == image);
}

TEST_F(PosixImageFilesTest, UnusablePathsGiveZeroAndNoJob) {
    Write("empty.bin", "");
    fs::create_directory(dir_ / "folder");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    for (const fs::path& path :
         {fs::path(), dir_ / "missing.bin", dir_ / "empty.bin", dir_ / "folder", dir_ / "fifo"}) {
        EXPECT_EQ(Send(path), 0) << path;
    }
    EXPECT_TRUE(doubles_.spooler.jobs.empty());
}

TEST_F(PosixImageFilesTest, UnreadableFileGivesZero) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads any file";
    }
    const fs::path path = Write("locked.bin", "data");
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(Send(path), 0);
    EXPECT_TRUE(doubles_.spooler.jobs.empty());
}

TEST_F(PosixImageFilesTest, BlockIsExactlyTheSizeAndLockable) {
    PosixImageFiles files;
    EXPECT_EQ(files.AllocateBlock(0), nullptr);
    const size_t size = 5 * 1024 * 1024 + 3;
    void* block = files.AllocateBlock(size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(files.LockBlock(block, size));
    static_cast<char*>(block)[size - 1] = 'x';
    files.UnlockBlock(block, size);
    files.ReleaseBlock(block, size);
}

}  // namespace
}  // namespace quillet::testing
