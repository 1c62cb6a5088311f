#pragma once

#include "skincheck/settingsfilescan.h"

#include <QString>

class CheckReport;

// Checks config.cfg: its lines, the Skin it selects and the TimeOut.
class ConfigFileCheck
{
public:
    // The keys the lock screen reads from config.cfg.
    static SettingsFileScan::KeySet keySet();

    // With `skinRequired` false a missing Skin is no problem (another skin
    // is being checked).
    ConfigFileCheck(const QString& appDir, bool skinRequired);

    // Reports on config.cfg. Returns the Skin value as the lock screen reads
    // it, null when absent.
    QString check(CheckReport& report) const;

private:
    void checkTimeOut(CheckReport& report, const QString& path, const IniDocument::Line& line) const;
    void checkSkin(CheckReport& report, const QString& path, const IniDocument::Line& line) const;

    QString m_appDir;
    bool m_skinRequired;
};
