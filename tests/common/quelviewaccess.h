#pragma once

#include "app/quelview.h"

// Read and write access to the lock window's state for the tests and the
// per-layer benchmarks only; the window keeps its members private, and the
// tools use its public operations.
class QuelViewAccess
{
public:
    explicit QuelViewAccess(quelView& view) : v(view) {}

    const QString& appDir() const { return v.appDir; }
    const QString& skinDir() const { return v.skinDir; }
    const SkinSettings& settings() const { return v.settings; }
    bool shown() const { return v.shown; }
    bool unlockArmed() const { return v.unlockArmed; }
    bool lcdOn() const { return v.lcdOn; }
    void setUnlockArmed(bool armed) { v.unlockArmed = armed; }
    QPoint clockCorner() const { return { v.clockX, v.clockY }; }
    QPoint clockCentre() const { return { v.centerX, v.centerY }; }
    const QPixmap& background() const { return v.bgPixmap; }
    const QPixmap& face() const { return v.clockPixmap; }
    const QPixmap& cap() const { return v.centerPixmap; }
    // Face and cap as stored; face() and cap() are the parts that can show.
    QSize faceSize() const { return v.facePart.storedSize; }
    QSize capSize() const { return v.capPart.storedSize; }
    const QPixmap& canvas() const { return v.canvas; }
    const struct tm* curTime() const { return v.curTime; }

    // A frame composed whole, as if nothing were known of the last one.
    void composeWholeFrame()
    {
        v.composedContent = quelView::FrameContent();
        v.composeFrame();
    }

    // The date and the hint the next frame shows.
    QString frameText() { return v.dateText() + v.notifyText(); }

    void drawAnalog(QPainter& p) { v.drawAnalog(p); }
    void drawDigital(QPainter& p) { v.drawDigital(p); }
    void drawDate(QPainter& p) { v.drawDate(p); }
    void drawLunar(QPainter& p) { v.drawLunar(p); }
    void drawNotify(QPainter& p) { v.drawNotify(p); }

private:
    quelView& v;
};
