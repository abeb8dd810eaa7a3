#include "toolkit/Fonts.h"

#include <QFontDatabase>

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
        if (QFontDatabase::hasFamily(QStringLiteral("Quicksand"))) {
            found.regular = QStringLiteral("Quicksand");
            found.medium = QFontDatabase::hasFamily(QStringLiteral("Quicksand Medium"))
                               ? QStringLiteral("Quicksand Medium")
                               : found.regular;
            found.light = QFontDatabase::hasFamily(QStringLiteral("Quicksand Light"))
                              ? QStringLiteral("Quicksand Light")
                              : found.regular;
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
