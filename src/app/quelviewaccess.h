#pragma once

#include "app/quelview.h"

// Read and write access to the lock window's state for the companion tool and
// the tests; the window itself keeps its members private.
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
    const QPixmap& canvas() const { return v.canvas; }
    const struct tm* curTime() const { return v.curTime; }

    // Loads another skin of the program folder in place of the selected one,
    // as the next start with Skin=name would.
    void useSkin(const QString& name)
    {
        const int timeOut = v.settings.timeOut;
        v.settings = SkinSettings();
        v.settings.timeOut = timeOut;
        v.skinDir = v.appDir + QLatin1String("skin/") + name + QLatin1Char('/');
        v.readSkin();
        v.bgPixmap = QPixmap();
        v.clockPixmap = QPixmap();
        v.centerPixmap = QPixmap();
        v.initImg();
    }

    void drawAnalog(QPainter& p) { v.drawAnalog(p); }
    void drawDigital(QPainter& p) { v.drawDigital(p); }
    void drawDate(QPainter& p) { v.drawDate(p); }
    void drawLunar(QPainter& p) { v.drawLunar(p); }
    void drawNotify(QPainter& p) { v.drawNotify(p); }

private:
    quelView& v;
};
