#pragma once

#include <QImage>

// Full-screen backgrounds, 240 x 320 like the phone's display. Both stay
// dark where the skins put their text so light text reads well on them.

// Deep blue, lighter behind the clock, with a faint rule above the time.
QImage drawClassicBack();

// Night sky with a crescent moon and stars, hills along the bottom.
QImage drawNightBack();
