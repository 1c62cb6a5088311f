#pragma once

#include "skincheck/settingsfilescan.h"

#include <QSize>
#include <QString>

class CheckReport;
struct SkinKey;

// Checks one skin.cfg and the images it names, as the lock screen reads
// them from appDir + "skin/" + skin + "/".
class SkinFileCheck
{
public:
    // The keys the lock screen reads from skin.cfg.
    static SettingsFileScan::KeySet keySet();

    SkinFileCheck(const QString& appDir, const QString& skin);

    void check(CheckReport& report) const;

private:
    struct Context;

    void checkValue(Context& context, const SkinKey& key, const IniDocument::Line& line) const;
    void checkImage(Context& context, const SkinKey& key, const IniDocument::Line& line) const;
    void checkColour(Context& context, const SkinKey& key, const IniDocument::Line& line) const;
    void checkInteger(Context& context, const SkinKey& key, const IniDocument::Line& line) const;
    void checkPlacement(Context& context, const SkinKey& key, const IniDocument::Line& line) const;
    void checkHint(Context& context, const SkinKey& key, const IniDocument::Line& line) const;

    QString m_skinDir;
    QString m_shownSkinDir;  // relative to the program folder, for messages
};
