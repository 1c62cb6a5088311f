#include "clock/textstyle.h"

#include "skin/settingcolour.h"
#include "skin/textsize.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPen>

#include <algorithm>

const char* const TextFamily = "AMCSL";

namespace {
// DejaVu Sans has digits of one width, so the time does not jitter from one
// second to the next; WenQuanYi Micro Hei brings the CJK glyphs.
void registerSubstitutions()
{
    static const bool done = [] {
        QFont::insertSubstitutions(QString::fromLatin1(TextFamily), textFontFamilies());
        return true;
    }();
    Q_UNUSED(done);
}
} // namespace

QStringList textFontFamilies()
{
    return { QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei") };
}

bool textFontsAvailable()
{
    const QStringList families = textFontFamilies();
    return std::any_of(families.begin(), families.end(),
                       [](const QString& family) { return QFontDatabase::hasFamily(family); });
}

QFont textFont(int pointSize)
{
    registerSubstitutions();
    // A size of zero or less is handed on; QFont then keeps its default
    // size. One beyond what the screen can show is drawn at the largest.
    return QFont(QString::fromLatin1(TextFamily), TextSize::drawn(pointSize), QFont::Normal, false);
}

void applyTextStyle(QPainter& painter, int pointSize, const QString& colour)
{
    painter.setFont(textFont(pointSize));
    painter.setPen(QPen(colourFromSetting(colour), 1, Qt::SolidLine));
}
