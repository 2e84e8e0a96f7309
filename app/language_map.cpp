#include "app/language_map.h"

namespace quillet {

std::int32_t LanguageBaseFor(std::uint16_t languageId) {
    switch (languageId) {
        case 0x0405:
            return 2000;  // Czech
        case 0x0406:
            return 3000;  // Danish
        case 0x0407:
        case 0x0807:
        case 0x0C07:
        case 0x1007:
        case 0x1407:
            return 4000;  // German
        case 0x0413:
        case 0x0813:
            return 5000;  // Dutch
        case 0x040B:
            return 7000;  // Finnish
        case 0x040C:
        case 0x080C:
        case 0x0C0C:
        case 0x100C:
        case 0x140C:
        case 0x180C:
            return 8000;  // French
        case 0x040E:
            return 9000;  // Hungarian
        case 0x0410:
        case 0x0810:
            return 10000;  // Italian
        case 0x0414:
        case 0x0814:
            return 11000;  // Norwegian
        case 0x0416:
        case 0x0816:
            return 12000;  // Portuguese
        case 0x0415:
            return 13000;  // Polish
        case 0x0419:
            return 14000;  // Russian
        case 0x041D:
            return 15000;  // Swedish
        default:
            break;
    }
    // Spanish: the twenty ids 0x040A, 0x080A, ... 0x500A.
    if ((languageId & 0x03FF) == 0x000A && languageId >= 0x040A && languageId <= 0x500A) {
        return 6000;
    }
    return kEnglishBase;
}

}  // namespace quillet
