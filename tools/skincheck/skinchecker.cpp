#include "skincheck/skinchecker.h"

#include "skincheck/configfilecheck.h"
#include "skincheck/skinfilecheck.h"
#include "skin/skinfolder.h"

#include <QFileInfo>

SkinChecker::SkinChecker(const QString& appDir, const QString& skin)
    : m_appDir(appDir), m_skin(skin)
{
}

CheckReport SkinChecker::check() const
{
    CheckReport report;
    const bool followConfig = m_skin.isNull();
    const QString configSkin = ConfigFileCheck(m_appDir, followConfig).check(report);

    // The skin folder as the lock screen forms it: a plain concatenation.
    const QString skin = followConfig ? configSkin : m_skin;
    const QString skinDir = skinFolder(m_appDir, skin);
    // A Skin that names no folder, or none at all, has been reported; its
    // skin.cfg is then only checked if the lock screen would find one.
    const bool skinFolderNamed = !skin.isEmpty() && QFileInfo(skinDir).isDir();
    if (!followConfig || skinFolderNamed || QFileInfo::exists(skinDir + QLatin1String("skin.cfg")))
        SkinFileCheck(m_appDir, skin).check(report);
    return report;
}
