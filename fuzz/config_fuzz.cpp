// A "quillet.txt". The reader takes a path, so each input is written to an
// in-memory file and read back through its /proc name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/upgrade_app.h"
#include "platform/image_file_posix.h"
#include "platform/platform_version_linux.h"
#include "platform/user_language_posix.h"

namespace {

using namespace quillet;

// The services that reading the file never calls.
struct Unused : MessageBoxes, Spooler, Registry, FirstPages {
    void ShowMessage(DialogPage*, const std::string&, const std::string*, MessageIcon) override {}
    bool OpenPrinter(const std::string&, PrinterHandle&) override { return false; }
    bool StartDocPrinter(PrinterHandle, const DocInfo&) override { return false; }
    bool StartPagePrinter(PrinterHandle) override { return false; }
    bool WritePrinter(PrinterHandle, const void*, std::uint32_t, std::uint32_t&) override {
        return false;
    }
    bool EndPagePrinter(PrinterHandle) override { return false; }
    bool EndDocPrinter(PrinterHandle) override { return false; }
    bool AbortPrinter(PrinterHandle) override { return false; }
    void ClosePrinter(PrinterHandle) override {}
    std::vector<std::string> EnumLocalPrinters() override { return {}; }
    bool OpenKey(const std::string&, RegistryAccess, RegistryKey&) override { return false; }
    bool QueryValue(RegistryKey, const std::string&, std::uint32_t&, std::uint8_t*,
                    std::uint32_t&) override {
        return false;
    }
    bool SetValue(RegistryKey, const std::string&, std::uint32_t, const std::uint8_t*,
                  std::uint32_t) override {
        return false;
    }
    void CloseKey(RegistryKey) override {}
    int RunWelcomePage(UpgradeApp&) override { return 2; }
    int RunSelectPrinterPage(UpgradeApp&) override { return 2; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("quillet.txt", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        __builtin_trap();
    }

    static PosixUserLanguage language;
    static LinuxPlatformVersion version;
    static PosixImageFiles files;
    static Unused unused;
    UpgradeApp app({language, version, unused, unused, files, unused}, unused);
    if (app.LoadConfigFrom(path) == 1 &&
        (app.ImagePathCount < 0 || app.ImagePathCount > kImagePathSlots)) {
        __builtin_trap();
    }
    return 0;
}
