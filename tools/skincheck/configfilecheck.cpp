#include "skincheck/configfilecheck.h"

#include "platform/zconfig.h"
#include "skincheck/checkreport.h"
#include "skincheck/settingsfilescan.h"
#include "skincheck/namesuggestion.h"
#include "skincheck/skinfilecheck.h"
#include "skin/skinfolder.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString General = QStringLiteral("General");
const QString SkinKeyName = QStringLiteral("Skin");
const QString TimeOutKeyName = QStringLiteral("TimeOut");

const char* const NoSkin = "the lock screen reads skin//skin.cfg, so every skin key takes its default";
const char* const NoTimeOut = "the middle key stays armed until an unlock, with no time-out";

// Below this the star key can hardly be reached after the middle key.
constexpr int ShortestTimeOut = 500;

} // namespace

SettingsFileScan::KeySet ConfigFileCheck::keySet()
{
    return { QStringLiteral("config.cfg"), { { General, SkinKeyName }, { General, TimeOutKeyName } } };
}

ConfigFileCheck::ConfigFileCheck(const QString& appDir, bool skinRequired)
    : m_appDir(appDir), m_skinRequired(skinRequired)
{
}

QString ConfigFileCheck::check(CheckReport& report) const
{
    const QString filePath = m_appDir + QLatin1String("config.cfg");
    const QString path = QDir::cleanPath(filePath);

    const QString unreadable = whyUnreadable(filePath);
    if (!unreadable.isEmpty()) {
        report.error(path, 1,
                     QStringLiteral("cannot read the settings file (%1): %2")
                         .arg(unreadable, m_skinRequired ? QLatin1String(NoSkin) + QLatin1String(", and ") + QLatin1String(NoTimeOut)
                                                         : QLatin1String(NoTimeOut)));
        return QString();
    }

    const SettingsFileScan scan(IniDocument::fromFile(filePath), path, keySet(), SkinFileCheck::keySet());
    scan.reportLines(report);
    const int missingLine = qMax(1, scan.groupLine(General));

    QString skin;
    if (const IniDocument::Line* line = scan.entry(General, SkinKeyName)) {
        skin = line->value;
        if (m_skinRequired)
            checkSkin(report, path, *line);
    } else if (m_skinRequired) {
        report.error(path, missingLine, QStringLiteral("Skin is missing: %1").arg(QLatin1String(NoSkin)));
    }

    if (const IniDocument::Line* line = scan.entry(General, TimeOutKeyName))
        checkTimeOut(report, path, *line);
    else
        report.error(path, missingLine, QStringLiteral("TimeOut is missing: %1").arg(QLatin1String(NoTimeOut)));
    return skin;
}

void ConfigFileCheck::checkSkin(CheckReport& report, const QString& path, const IniDocument::Line& line) const
{
    if (line.value.isEmpty()) {
        report.error(path, line.number, QStringLiteral("Skin is empty: %1").arg(QLatin1String(NoSkin)));
        return;
    }
    const QString skinsDir = m_appDir + QLatin1String("skin/");
    if (QFileInfo(skinFolder(m_appDir, line.value)).isDir())
        return;

    QString message = QStringLiteral("Skin=%1 names no folder (there is no %2/): the lock screen finds no skin.cfg, "
                                     "so every skin key takes its default")
                          .arg(shownText(line.value), shownText(QDir::cleanPath(QLatin1String("skin/") + line.value)));
    const QString match = closestName(line.value, QDir(skinsDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot));
    if (!match.isNull())
        message += QStringLiteral("; did you mean \"%1\"?").arg(match);
    report.error(path, line.number, message);
}

void ConfigFileCheck::checkTimeOut(CheckReport& report, const QString& path, const IniDocument::Line& line) const
{
    const std::optional<int> timeOut = ZConfig::toNumber(line.value);
    const QString written = QLatin1String("TimeOut=") + shownText(line.value);
    if (!timeOut) {
        const QString problem =
            line.value.isEmpty()
                ? QStringLiteral("TimeOut is empty")
                : QStringLiteral("%1 is not an integer (an optional sign and decimal digits within 32 bits)").arg(written);
        report.error(path, line.number, QStringLiteral("%1, so -1 is used: %2").arg(problem, QLatin1String(NoTimeOut)));
    } else if (*timeOut <= 0) {
        report.warning(path, line.number,
                       QStringLiteral("%1 is not positive: %2").arg(written, QLatin1String(NoTimeOut)));
    } else if (*timeOut < ShortestTimeOut) {
        QString message = QStringLiteral("%1 leaves only %2 ms to press the star key after the middle key; the "
                                         "time-out is in milliseconds")
                              .arg(written, QString::number(*timeOut));
        if (*timeOut <= 60)
            message += QStringLiteral(" (%1 seconds is %2)").arg(QString::number(*timeOut), QString::number(*timeOut * 1000));
        report.warning(path, line.number, message);
    }
}
