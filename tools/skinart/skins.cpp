#include "skins.h"

#include "backdrops.h"
#include "cap.h"
#include "dial.h"

namespace {

// classic: a 151 px silver-rimmed blue dial centred at the top. Its hands
// (white, white, red) reach 40, 60 and 70 px, so the marks stop at 68.
QImage classicFace()
{
    DialStyle s;
    s.size = 151;
    s.radius = 74.5;
    s.centreFill = QColor(0x2e, 0x48, 0x78);
    s.edgeFill = QColor(0x13, 0x20, 0x3c);
    s.rim = QColor(0xc9, 0xd2, 0xe0);
    s.rimWidth = 3.5;
    s.innerRing = QColor(0x6a, 0x80, 0xaa);
    s.innerRingRadius = 69.5;
    s.minute = {DialMark::Bar, 63.5, 68, 1.2, QColor(0xa8, 0xb6, 0xd0)};
    s.hour = {DialMark::Bar, 57, 68, 3, QColor(0xf2, 0xf5, 0xfa)};
    s.quarter = {DialMark::Bar, 52, 68, 5, QColor(0xff, 0xff, 0xff)};
    return drawDial(s);
}

QImage classicCap()
{
    CapStyle s;
    s.size = 21;
    s.light = QColor(0xf6, 0xf8, 0xfc);
    s.shade = QColor(0x86, 0x92, 0xa8);
    s.outline = QColor(0x2c, 0x38, 0x52);
    s.outlineWidth = 1;
    s.dot = QColor(0xd8, 0x1c, 0x1c);
    s.dotRadius = 3;
    return drawCap(s);
}

// night: a smaller dark dial in the top right corner with amber marks. The
// dial leaves a transparent margin inside the image, so "right" placement
// keeps it off the screen edge. Hands reach 30, 42 and 50 px.
QImage nightFace()
{
    DialStyle s;
    s.size = 131;
    s.radius = 58;
    s.centreFill = QColor(0x1a, 0x1e, 0x38, 235);
    s.edgeFill = QColor(0x08, 0x0a, 0x18, 235);
    s.rim = QColor(0x4f, 0xd1, 0xc5, 210);
    s.rimWidth = 2;
    s.minute = {DialMark::Dot, 52, 0, 1.8, QColor(0x70, 0x7c, 0x98)};
    s.hour = {DialMark::Dot, 51, 0, 4.5, QColor(0xff, 0xb3, 0x47)};
    s.quarter = {DialMark::Bar, 43, 54, 3, QColor(0xff, 0xb3, 0x47)};
    return drawDial(s);
}

QImage nightCap()
{
    CapStyle s;
    s.size = 15;
    s.light = QColor(0x2a, 0x2e, 0x48);
    s.shade = QColor(0x0c, 0x0e, 0x1c);
    s.outline = QColor(0xff, 0xb3, 0x47);
    s.outlineWidth = 2;
    s.dot = QColor(0x4f, 0xd1, 0xc5);
    s.dotRadius = 2;
    return drawCap(s);
}

} // namespace

QVector<SkinArt> bundledSkins()
{
    return {
        {QStringLiteral("classic"),
         {{QStringLiteral("back.png"), drawClassicBack},
          {QStringLiteral("face.png"), classicFace},
          {QStringLiteral("cap.png"), classicCap}}},
        {QStringLiteral("night"),
         {{QStringLiteral("sky.png"), drawNightBack},
          {QStringLiteral("dial.png"), nightFace},
          {QStringLiteral("pin.png"), nightCap}}},
    };
}
