#include "toolkit/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// Quicksand ships each weight but Bold as a family of its own ("Quicksand Medium",
// "Quicksand Light"), so a weight is reached through the family name.
struct RoundedFamilies {
    QString regular;
    QString medium;
    QString light;
};

const RoundedFamilies &roundedFamilies()
{
    static const RoundedFamilies families = [] {
        RoundedFamilies found;
        // One look at the installed families: asking for each by name runs the font
        // configuration's substitutions every time, which is slow at start-up.
        const QStringList installed = QFontDatabase::families();
        if (installed.contains(QStringLiteral("Quicksand"))) {
            found.regular = QStringLiteral("Quicksand");
            const auto orRegular = [&](const QString &family) {
                return installed.contains(family) ? family : found.regular;
            };
            found.medium = orRegular(QStringLiteral("Quicksand Medium"));
            found.light = orRegular(QStringLiteral("Quicksand Light"));
        }
        return found;
    }();
    return families;
}

// The system font in its default design.
QFont standardFont(qreal pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(weight);
    return font;
}

} // namespace

namespace Fonts {

QFont rounded(qreal pixelSize, QFont::Weight weight)
{
    const RoundedFamilies &families = roundedFamilies();
    if (families.regular.isEmpty())
        return standardFont(pixelSize, weight);

    QFont font(families.regular);
    if (weight <= QFont::Light) {
        font.setFamily(families.light);
        font.setWeight(QFont::Normal);
    } else if (weight < QFont::Medium) {
        font.setWeight(QFont::Normal);
    } else if (weight < QFont::DemiBold) {
        font.setFamily(families.medium);
        font.setWeight(families.medium == families.regular ? QFont::Medium : QFont::Normal);
    } else {
        font.setWeight(QFont::Bold);
    }
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    return font;
}

} // namespace Fonts
