#include "skincheck/skinfilecheck.h"

#include "platform/zconfig.h"
#include "platform/phonescreen.h"
#include "clock/handgeometry.h"
#include "skincheck/checkreport.h"
#include "skincheck/settingsfilescan.h"
#include "skin/clockplacement.h"
#include "skincheck/colourtext.h"
#include "skincheck/configfilecheck.h"
#include "skin/imageprobe.h"
#include "skincheck/namesuggestion.h"
#include "skin/skinfolder.h"
#include "skin/skinkeys.h"
#include "skin/textsize.h"
#include "skin/visibleparts.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {


QString keyName(const SkinKey& key)
{
    return QString::fromLatin1(key.key);
}

// "Key=value" as written in the file.
QString setting(const SkinKey& key, const QString& value)
{
    return keyName(key) + QLatin1Char('=') + shownText(value);
}

// Messages pass every argument as text in one arg() call: a value from the
// file holding "%1" must not be taken for a place holder by a later call.
QString number(qint64 n)
{
    return QString::number(n);
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString colourName(int rgb)
{
    if (rgb == 0)
        return QStringLiteral("black");
    if (rgb == ColourText::Largest)
        return QStringLiteral("white");
    return QLatin1String("as ") + number(rgb);
}

// A file in the image's folder that was likely meant: the name with a slip
// of case or one letter, or the same name with another extension ("face.jpg"
// for "face.png"). Kept with the folder part the skin wrote.
QString closestFile(const QString& skinDir, const QString& name)
{
    const QFileInfo info(skinDir + name);
    if (name.size() > LongestSuggestedName)
        return QString();
    const QStringList files = info.dir().entryList(QDir::Files | QDir::Hidden);
    QString match = closestName(info.fileName(), files, 1);
    for (qsizetype i = 0; match.isNull() && i < qMin(files.size(), MostCandidates); ++i)
        if (QFileInfo(files.at(i)).completeBaseName().compare(info.completeBaseName(), Qt::CaseInsensitive) == 0)
            match = files.at(i);
    if (match.isNull())
        return match;
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    return name.left(slash + 1) + match;
}

// The part of the image the key names that the lock screen decodes.
ImageProbe::VisiblePart visiblePart(const SkinKey& key, const QString& left, const QString& top, QSize face)
{
    const QSize screen(PhoneScreen::Width, PhoneScreen::Height);
    if (key.textField == &SkinSettings::background)
        return VisibleParts::background(screen);
    if (key.textField == &SkinSettings::clockImage)
        return VisibleParts::face(left, top, screen);
    return VisibleParts::cap(ClockPlacement::of(left, top, face), face, screen);
}

} // namespace

struct SkinFileCheck::Context
{
    CheckReport& report;
    QString path;            // skin.cfg as shown in the report
    QSize faceSize { 0, 0 }; // the face as the lock screen loads it
    QString clockLeft;       // the placement as the lock screen reads it,
    QString clockTop;        // which decides what part of the face shows
};

SettingsFileScan::KeySet SkinFileCheck::keySet()
{
    SettingsFileScan::KeySet set { QStringLiteral("skin.cfg"), {} };
    for (const SkinKey& key : skinFileKeys())
        set.keys.append({ QString::fromLatin1(key.group), QString::fromLatin1(key.key) });
    return set;
}

SkinFileCheck::SkinFileCheck(const QString& appDir, const QString& skin)
    : m_skinDir(skinFolder(appDir, skin))
    , m_shownSkinDir(skinFolder(QString(), skin))
{
}

void SkinFileCheck::check(CheckReport& report) const
{
    const QString filePath = m_skinDir + QLatin1String("skin.cfg");
    Context context { report, QDir::cleanPath(filePath), QSize(0, 0), QString(), QString() };

    const QString unreadable = whyUnreadable(filePath);
    if (!unreadable.isEmpty()) {
        report.error(context.path, 1,
                     QStringLiteral("cannot read the skin file (%1): every skin key takes its default, and no "
                                    "frame is drawn at all")
                         .arg(unreadable));
        return;
    }

    const SettingsFileScan scan(IniDocument::fromFile(filePath), context.path, keySet(), ConfigFileCheck::keySet());
    scan.reportLines(report);
    const QString analog = QStringLiteral("Analog");
    if (const IniDocument::Line* left = scan.entry(analog, QStringLiteral("ClockLeft")))
        context.clockLeft = left->value;
    if (const IniDocument::Line* top = scan.entry(analog, QStringLiteral("ClockTop")))
        context.clockTop = top->value;

    QStringList reportedGroups;
    for (const SkinKey& key : skinFileKeys()) {
        const QString group = QString::fromLatin1(key.group);
        const int groupLine = scan.groupLine(group);
        if (groupLine == 0) {
            if (reportedGroups.contains(group))
                continue;
            reportedGroups.append(group);
            QStringList keys;
            for (const SkinKey& k : skinFileKeys())
                if (group == QLatin1String(k.group))
                    keys.append(keyName(k));
            const QString consequence =
                keys.size() == 1
                    ? QStringLiteral("%1 takes its default: %2").arg(keys.first(), key.whenMissing)
                    : QStringLiteral("%1 and %2 take their defaults")
                          .arg(keys.first(keys.size() - 1).join(QLatin1String(", ")), keys.last());
            report.error(context.path, 1, QStringLiteral("group [%1] is missing, so %2").arg(group, consequence));
            continue;
        }
        const IniDocument::Line* line = scan.entry(group, keyName(key));
        if (!line) {
            report.error(context.path, groupLine,
                         QStringLiteral("%1 is missing: %2").arg(keyName(key), key.whenMissing));
            continue;
        }
        checkValue(context, key, *line);
    }
}

void SkinFileCheck::checkValue(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    switch (key.role) {
    case SkinKey::Image:
        checkImage(context, key, line);
        break;
    case SkinKey::HandColour:
    case SkinKey::TextColour:
        checkColour(context, key, line);
        break;
    case SkinKey::Length:
    case SkinKey::Width:
    case SkinKey::Size:
    case SkinKey::TextX:
    case SkinKey::TextY:
        checkInteger(context, key, line);
        break;
    case SkinKey::PlacementX:
    case SkinKey::PlacementY:
        checkPlacement(context, key, line);
        break;
    case SkinKey::Hint:
        checkHint(context, key, line);
        break;
    }
}

void SkinFileCheck::checkImage(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    const QString effect = key.whenMissing;
    if (line.value.isEmpty()) {
        context.report.error(context.path, line.number, QStringLiteral("%1 is empty: %2").arg(keyName(key), effect));
        return;
    }

    const QString shownPath = shownText(QDir::cleanPath(m_shownSkinDir + line.value));
    const bool isBackground = key.textField == &SkinSettings::background;
    const ImageProbe image = ImageProbe::of(m_skinDir + line.value,
                                            visiblePart(key, context.clockLeft, context.clockTop, context.faceSize),
                                            ImageProbe::WholeData);
    QString problem;
    switch (image.outcome) {
    case ImageProbe::Loaded:
        break;
    case ImageProbe::Missing: {
        problem = QStringLiteral("names no file (there is no %1)").arg(shownPath);
        const QString match = closestFile(m_skinDir, line.value);
        if (!match.isNull()) {
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1 %2: %3; did you mean %4?")
                                     .arg(setting(key, line.value), problem, effect, quoted(match)));
            return;
        }
        break;
    }
    case ImageProbe::BadName:
        problem = QStringLiteral("holds a NUL byte, which no file name can hold, so no file is opened");
        break;
    case ImageProbe::Loop:
        problem = QStringLiteral("names a symbolic link that leads back to itself (too many levels of links)");
        break;
    case ImageProbe::FileTooLarge:
        problem = QStringLiteral("names a file of more than %1 MiB, which is not read")
                      .arg(number(ImageProbe::MaxFileBytes / (1024 * 1024)));
        break;
    case ImageProbe::Folder:
        problem = QStringLiteral("names a folder, not an image file");
        break;
    case ImageProbe::NotAFile:
        problem = QStringLiteral("names a device, FIFO or socket, not an image file");
        break;
    case ImageProbe::Unreadable:
        problem = QStringLiteral("names a file that cannot be read (permission denied)");
        break;
    case ImageProbe::NotAnImage:
        problem = QStringLiteral("names a file that is not an image the toolkit can read");
        break;
    case ImageProbe::TooLarge:
        if (image.limitMiB > 0)
            problem = QStringLiteral("names an image of %1 x %2 pixels, too large: beyond the toolkit's image "
                                     "allocation limit of %3 MiB, so it is not loaded")
                          .arg(number(image.size.width()), number(image.size.height()), number(image.limitMiB));
        else
            problem = QStringLiteral("names an image of %1 x %2 pixels, too large: more than the %3 x %3 pixels "
                                     "that are loaded, so it is not loaded")
                          .arg(number(image.size.width()), number(image.size.height()), number(ImageProbe::MaxSide));
        break;
    case ImageProbe::Broken:
        problem = image.problem.isEmpty()
                      ? QStringLiteral("names a %1 file whose image data cannot be decoded").arg(image.format)
                      : QStringLiteral("names a %1 file whose image data cannot be decoded (%2)")
                            .arg(image.format, shownText(image.problem));
        break;
    case ImageProbe::Damaged:
        // Drawn all the same: what the decoder cannot read is filled in.
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 names a %2 file whose image data is cut short or damaged (%3): "
                                            "%4 is drawn with what is missing filled in grey")
                                 .arg(setting(key, line.value), image.format, shownText(image.problem),
                                      QLatin1String(key.subject)));
        break;
    }
    if (!problem.isEmpty()) {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 %2: %3").arg(setting(key, line.value), problem, effect));
        return;
    }

    if (key.textField == &SkinSettings::clockImage) {
        context.faceSize = image.size;
    } else if (isBackground && image.size != QSize(PhoneScreen::Width, PhoneScreen::Height)) {
        // Each frame is a copy of the background, drawn at the window's corner.
        const bool covers = image.size.width() >= PhoneScreen::Width && image.size.height() >= PhoneScreen::Height;
        QString effect = covers ? QStringLiteral("only its top-left part is shown")
                                : QStringLiteral("each frame has its size, so part of the screen is never drawn");
        if (image.wasCut)
            effect += QStringLiteral("; it is cut to %1 x %2 when loaded")
                          .arg(number(image.image.width()), number(image.image.height()));
        context.report.warning(context.path, line.number,
                               QStringLiteral("%1 is %2 x %3 pixels, not %4 x %5: %6")
                                   .arg(setting(key, line.value), number(image.size.width()),
                                        number(image.size.height()), number(PhoneScreen::Width), number(PhoneScreen::Height),
                                        effect));
    }
}

void SkinFileCheck::checkColour(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    const QString& value = line.value;
    if (ColourText::isDecimalColour(value))
        return;
    if (value.isEmpty()) {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 is empty: %2").arg(keyName(key), key.whenMissing));
        return;
    }

    const int drawn = ColourText::drawnColour(value);
    const QString outcome = setting(key, value);
    if (ZConfig::toNumber(value)) {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 is outside 0 to %2 and draws %3")
                                 .arg(outcome, number(ColourText::Largest), colourName(drawn)));
        return;
    }
    const std::optional<int> intended = ColourText::intendedColour(value);
    if (intended && *intended == drawn) {
        context.report.warning(context.path, line.number,
                               QStringLiteral("%1 is not a decimal colour; it draws %2 as meant, but write %3")
                                   .arg(outcome, colourName(drawn), number(*intended)));
    } else if (intended) {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 is not a decimal colour and draws %2; write %3")
                                 .arg(outcome, colourName(drawn), number(*intended)));
    } else {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 is not a decimal colour and draws %2; write 65536 x red + 256 x "
                                            "green + blue in decimal, e.g. 16711680 for red")
                                 .arg(outcome, colourName(drawn)));
    }
}

void SkinFileCheck::checkInteger(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    const QString subject = QLatin1String(key.subject);
    const std::optional<int> value = ZConfig::toNumber(line.value);
    if (!value) {
        const QString problem =
            line.value.isEmpty()
                ? QStringLiteral("%1 is empty").arg(keyName(key))
                : QStringLiteral("%1 is not an integer (an optional sign and decimal digits within 32 bits)")
                      .arg(setting(key, line.value));
        context.report.error(context.path, line.number,
                             QStringLiteral("%1, so -1 is used: %2").arg(problem, key.whenMissing));
        return;
    }
    const int n = *value;
    const QString written = setting(key, line.value);
    switch (key.role) {
    case SkinKey::Length:
        if (n <= 0)
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1: a hand length must be 1 or more; %2 %3")
                                     .arg(written, subject,
                                          n == 0 ? QStringLiteral("shows as a dot")
                                                 : QStringLiteral("points away from the time it shows")));
        break;
    case SkinKey::Width:
        if (n <= 0)
            context.report.warning(context.path, line.number,
                                   QStringLiteral("%1: %2 is drawn 1 pixel wide; write 1 if that is meant")
                                       .arg(written, subject));
        else if (handPenWidth(n) != n)
            context.report.warning(context.path, line.number,
                                   QStringLiteral("%1: the toolkit draws no pen wider than %2 pixels, so %3 is drawn "
                                                  "%2 pixels wide")
                                       .arg(written, number(handPenWidth(n)), subject));
        break;
    case SkinKey::Size:
        if (n <= 0)
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1: a text size must be 1 to %2; %3 is drawn in the toolkit's "
                                                "default size")
                                     .arg(written, number(TextSize::Largest), subject));
        else if (!TextSize::inRange(n))
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1: a text size must be 1 to %2, the largest whose line fits the "
                                                "%3-pixel-high screen; %4 is drawn at %2")
                                     .arg(written, number(TextSize::Largest), number(PhoneScreen::Height), subject));
        break;
    case SkinKey::TextX:
        if (n < 0 || n >= PhoneScreen::Width)
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1 starts %2 off the %3-pixel-wide screen (x from 0 to %4)")
                                     .arg(written, subject, number(PhoneScreen::Width), number(PhoneScreen::Width - 1)));
        break;
    case SkinKey::TextY:
        // The letters stand above their baseline: at y = 0 they are all
        // above the screen, at y = 320 they end on its last row.
        if (n <= 0 || n > PhoneScreen::Height)
            context.report.error(context.path, line.number,
                                 QStringLiteral("%1 puts the baseline of %2 off the %3-pixel-high screen (y from 1 "
                                                "to %3)")
                                     .arg(written, subject, number(PhoneScreen::Height)));
        break;
    default:
        break;
    }
}

void SkinFileCheck::checkPlacement(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    const bool across = key.role == SkinKey::PlacementX;
    const char* start = across ? "left" : "top";
    const char* end = across ? "right" : "bottom";
    const QStringList keywords { QLatin1String(start), QLatin1String(end), QStringLiteral("center") };
    const QStringList otherKeywords = across ? QStringList { QStringLiteral("top"), QStringLiteral("bottom") }
                                             : QStringList { QStringLiteral("left"), QStringLiteral("right") };
    const int screen = across ? PhoneScreen::Width : PhoneScreen::Height;
    const int face = across ? context.faceSize.width() : context.faceSize.height();
    const QString axis = across ? QStringLiteral("x") : QStringLiteral("y");
    const QString written = setting(key, line.value);
    // The placement exactly as the lock screen computes it.
    const ClockPlacement placement = across ? ClockPlacement::of(line.value, QString(), context.faceSize)
                                            : ClockPlacement::of(QString(), line.value, context.faceSize);
    const int position = across ? placement.clockX : placement.clockY;
    const int pivot = across ? placement.centerX : placement.centerY;

    if (!keywords.contains(line.value) && !ZConfig::toNumber(line.value)) {
        const QString problem = line.value.isEmpty()
                                    ? QStringLiteral("%1 is empty").arg(keyName(key))
                                    : QStringLiteral("%1 is no keyword (%2) and no integer")
                                          .arg(written, keywords.join(QLatin1String(", ")));
        QString message = QStringLiteral("%1, so the clock face is placed at %2 = %3").arg(problem, axis, number(position));
        const QString match = closestName(line.value, keywords);
        if (!match.isNull())
            message += QStringLiteral("; did you mean %1?").arg(quoted(match));
        else if (otherKeywords.contains(line.value))
            message += QStringLiteral("; %1 is a keyword of %2").arg(quoted(line.value),
                                                                     across ? QStringLiteral("ClockTop")
                                                                            : QStringLiteral("ClockLeft"));
        context.report.error(context.path, line.number, message);
        return;
    }

    // The hands turn about the middle of the face; with no face, about the
    // placement point itself.
    const QString extent = across ? QStringLiteral("%1-pixel-wide").arg(screen)
                                  : QStringLiteral("%1-pixel-high").arg(screen);
    if (pivot < 0 || pivot >= screen) {
        context.report.error(context.path, line.number,
                             QStringLiteral("%1 puts the clock centre at %2 = %3, off the %4 screen")
                                 .arg(written, axis, number(pivot), extent));
    } else if (face > 0 && (position < 0 || qint64(position) + face > screen)) {
        const QString edge = position < 0 && qint64(position) + face > screen ? QStringLiteral("both edges")
                             : position < 0 ? (across ? QStringLiteral("the left edge") : QStringLiteral("the top edge"))
                                            : (across ? QStringLiteral("the right edge") : QStringLiteral("the bottom edge"));
        context.report.warning(context.path, line.number,
                               QStringLiteral("%1 puts the clock face at %2 = %3 to %4, past %5 of the %6 screen")
                                   .arg(written, axis, number(position), number(qint64(position) + face - 1), edge,
                                        extent));
    }
}

void SkinFileCheck::checkHint(Context& context, const SkinKey& key, const IniDocument::Line& line) const
{
    // The reader keeps quotes; the hint would show them.
    const QString& value = line.value;
    if (value.size() >= 2 && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
                              || (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\''))))) {
        context.report.warning(context.path, line.number,
                               QStringLiteral("%1: the quotes are shown as part of %2; values need no quotes")
                                   .arg(keyName(key), QLatin1String(key.subject)));
    }
}
