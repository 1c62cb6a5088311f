#pragma once

#include "skin/skinsettings.h"

#include <QList>

// The keys the lock screen reads, in the order it reads them, each tied to
// its field of SkinSettings. The skin reader and the skin checker share it.
struct SkinKey
{
    enum Kind { Text, Colour, Integer };
    enum File { SettingsFile, SkinFile };

    File file;
    const char* group;
    const char* key;
    Kind kind;
    QString SkinSettings::*textField;  // set for Text and Colour keys
    int SkinSettings::*intField;       // set for Integer keys
};

// The 32 keys of skin.cfg, from BACKGROUND to NotifyWord1.
const QList<SkinKey>& skinFileKeys();
