// The printer's two commands, in its own command language. Each is sent
// without its terminating NUL.
#pragma once

namespace quillet {

// ESC & s 8 Z: print the test page (5 bytes).
inline constexpr char TestPrintCommand[] = "\x1b&s8Z";
// ESC * k 7 3 4 2 P: prepare for the upgrade and wait for an image (8 bytes).
inline constexpr char PrepareUpgradeCommand[] = "\x1b*k7342P";

inline constexpr const char* kJobDocumentName = "My Document";
inline constexpr const char* kJobDataType = "RAW";

}  // namespace quillet
