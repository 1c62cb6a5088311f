#include "app/quelview.h"

#include "platform/diagnostics.h"
#include "platform/zconfig.h"
#include "skin/skinfolder.h"
#include "skin/skinkeys.h"

// Reads config.cfg, then the selected skin's skin.cfg, into the settings.
// Nothing is validated: a missing file, group or key leaves the default.
void quelView::readConfig()
{
    configReader = std::make_unique<ZConfig>(appDir + QLatin1String("config.cfg"), true);
    const QString skin = configReader->readEntry(QStringLiteral("General"), QStringLiteral("Skin"), QString());
    settings.timeOut = configReader->readNumEntry(QStringLiteral("General"), QStringLiteral("TimeOut"), -1);

    // A plain concatenation: an absent Skin gives ".../skin//".
    skinDir = skinFolder(appDir, skin);
    readSkin();

    writeDiagnostic("\nconfig!\n");
}

// Reads skinDir's skin.cfg into the skin fields, through a reader that then
// stays in configReader.
void quelView::readSkin()
{
    configReader = std::make_unique<ZConfig>(skinDir + QLatin1String("skin.cfg"), true);
    for (const SkinKey& key : skinFileKeys()) {
        const QString group = QString::fromLatin1(key.group);
        const QString name = QString::fromLatin1(key.key);
        if (key.kind == SkinKey::Integer)
            settings.*key.intField = configReader->readNumEntry(group, name, key.defaultNumber);
        else
            settings.*key.textField = configReader->readEntry(group, name, QString());
    }
}
