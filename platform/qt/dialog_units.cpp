#include "platform/qt/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace quillet {

namespace {

constexpr int kDialogFontPoints = 8;

}  // namespace

int MulDivRound(int value, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    const long long rounded = ((product < 0) != (denominator < 0)) ? (product - half) / denominator
                                                                   : (product + half) / denominator;
    return static_cast<int>(rounded);
}

QFont DialogFont() {
    // Not installed: the system's own sans font at the layout's size rather
    // than whatever the font matcher picks for an unknown name. Looked up in
    // the font list: asking the matcher for a missing font would sort every
    // font and load a fallback on the way to the first page.
    const QString family = QStringLiteral("MS Sans Serif");
    const QStringList installed = QFontDatabase::families();
    const bool isInstalled =
        std::any_of(installed.begin(), installed.end(), [&](const QString& name) {
            // A family some foundries share is listed as "Family [Foundry]".
            return name.compare(family, Qt::CaseInsensitive) == 0 ||
                   name.startsWith(family + QStringLiteral(" ["), Qt::CaseInsensitive);
        });
    QFont font =
        isInstalled ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(kDialogFontPoints);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits units;
    units.x = std::max(1, (width / 26 + 1) / 2);
    units.y = std::max(1, metrics.height());
    return units;
}

}  // namespace quillet
