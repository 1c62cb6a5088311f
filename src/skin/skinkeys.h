#pragma once

#include "skin/skinsettings.h"

#include <QList>

// The keys the lock screen reads from skin.cfg, in the order it reads them:
// one table, used by the skin reader (group, key, field, type, default) and
// by the skin checker (what the key is for, and what its default looks like).
struct SkinKey
{
    enum Kind { Text, Colour, Integer };
    // What a key is for, as far as checking its value goes.
    enum Role { Image, PlacementX, PlacementY, HandColour, TextColour, Length, Width, Size, TextX, TextY, Hint };

    const char* group;
    const char* key;
    Kind kind;
    QString SkinSettings::*textField;  // set for Text and Colour keys (default: the null text)
    int SkinSettings::*intField;       // set for Integer keys
    int defaultNumber;                 // what an Integer key gives when absent or not a number
    Role role;
    const char* subject;      // what it sets, as a message names it
    QString whenMissing;      // what the lock screen shows with the default
};

// The 32 keys of skin.cfg, from BACKGROUND to NotifyWord1.
const QList<SkinKey>& skinFileKeys();
