#pragma once

#include "app/framedamage.h"
#include "app/secondticker.h"
#include "platform/qcstring.h"
#include "clock/cachedtextline.h"
#include "clock/glyphsettext.h"
#include "platform/buslink.h"
#include "platform/timezonewatch.h"
#include "platform/wallclock.h"
#include "platform/zwidget.h"
#include "skin/skinloading.h"
#include "skin/skinsettings.h"

#include <QColor>
#include <QImage>
#include <QLine>
#include <QList>
#include <QPixmap>
#include <QRegion>
#include <QString>

#include <array>
#include <ctime>
#include <memory>
#include <optional>

class QPainter;
class WallClock;
class ZConfig;

// The lock window: hidden while the phone is in use, raised when the display
// goes off, composing a frame of clock, dates and hint once a second while it
// is up and the display is on, dismissed by the middle key then the star key.
class quelView : public ZKbMainWidget
{
    Q_OBJECT
public:
    // clock: what every layer reads the time from and the tick keeps to;
    // bus: where the system channel is heard (null: nowhere, for a window
    // that is only composed, never raised). Both must outlive the window.
    quelView(const QString& path, const WallClock& clock, BusLink* bus = &BusLink::session());
    ~quelView() override;

    const char* className() const { return "quelView"; }

    // Composes one frame into canvas, exactly as a paint does before the copy
    // to the window.
    void composeFrame();

    // Whether each key pressed is written as a "keyCode:" line (the default).
    // Off where the lines would be kept in a log: keys typed at a lock screen
    // may be a password typed by habit.
    void setKeyLinesWritten(bool written) { keyLinesWritten = written; }

    // For previews of the lock screen without showing it:
    // Loads another skin of the program folder in place of the selected one,
    // as the next start with Skin=name would (a null name: the selected one).
    void useSkin(const QString& name);
    // The skin folder in use, ending in "/".
    const QString& skinFolderInUse() const { return skinDir; }
    // False when the background image could not be loaded: frames are empty.
    bool hasBackground() const { return !bgPixmap.isNull(); }
    // The frame composed now with the unlock armed or not; the window's own
    // armed state is left as it was.
    QImage previewFrame(bool armed);

protected:
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private slots:
    void midKeyTimeOut();
    void LcdMessage(const QCString& msg, const QByteArray& data);

private:
    friend class QuelViewAccess;

    void readConfig();
    void initImg();
    void takeSettings(SkinSettingsRead read);
    void takeImages(SkinImages images);
    // The face, then the hands and the cap over it.
    void drawAnalog(QPainter& painter);
    void drawFace(QPainter& painter);
    // Reads the clock and draws the hands and the cap over them.
    void drawHands(QPainter& painter);
    // One hand as drawn: from the pivot to its free end, with its pen.
    struct HandLine
    {
        QLine line;
        int penWidth = 1;
        QColor colour;
        bool operator==(const HandLine& other) const;
        bool operator!=(const HandLine& other) const;
        // Where the line may touch a pixel.
        QRect inkBox() const;
        // What must be composed anew to draw the line on `screen` exactly
        // as a whole frame does: its box, or the screen if it reaches past.
        QRect drawnWith(const QRect& screen) const;
    };
    using HandLines = std::array<HandLine, 3>;
    // The hour, minute and second hands at the reading in curTime.
    HandLines handLines() const;
    void drawHands(QPainter& painter, const HandLines& hands);
    static void drawHand(QPainter& painter, const HandLine& hand);
    void drawCap(QPainter& painter);
    QRect capArea() const;
    // Brings underSecondHand to the hour and minute hands of `hands`.
    void updateUnderSecondHand(const HandLines& hands);
    // The parts of the canvas a tick composes anew for the hands to move
    // from the last frame's to `hands`, and the digital time: apart from
    // each other, each holding the whole of the second hand if it reaches it.
    QList<QRect> changingParts(const HandLines& hands) const;
    void drawDigital(QPainter& painter);
    void drawDate(QPainter& painter);
    void drawLunar(QPainter& painter);
    void drawLunarText(QPainter& painter, const QString& lunar);
    void drawNotify(QPainter& painter);
    // What a frame shows besides the time of day: when it is the same as the
    // last frame's, only the changing part is composed anew.
    struct FrameContent
    {
        int year = 0;
        int yearDay = 0;
        bool armed = false;
        bool valid = false;
        bool operator==(const FrameContent& other) const;
    };
    FrameContent contentNow();
    void composeChangingPart();
    void keepTextAreas(QPainter& painter);
    QString dateText();
    const QString& notifyText() const;
    // Today's date in the lunar calendar, and its diagnostic line.
    QString lunarToday();
    // The lunar date last converted and the Gregorian day it is for: every
    // frame asks for it, the conversion walks the table from 1900.
    struct LunarDay
    {
        int year = 0;
        int month = 0;
        int day = 0;
        bool valid = false;
        QString text;
    };
    LunarDay lunarDay;
    static void writeLunarLength(const QString& lunar);
    // Runs the one-second tick while the lock screen is shown with the
    // display on, and only then; restart re-aligns it to the next second.
    void keepTicking(bool restart);
    // Reads the wall clock into curTime, as every layer showing the time does.
    void readClock();
    // A tick's frame where the window puts frames on the screen itself:
    // shown at once, only where it differs from the last, past the
    // toolkit's repaint.
    void showTickFrame();
    // update() of the window or of a part of the phone's screen, remembered
    // until the paint: a tick in the same pass of the event loop joins that
    // paint instead of showing a frame of its own.
    void requestRepaint();
    void requestRepaint(const QRegion& phonePart);
    static QRect phoneRect();
    // Whether the canvas hides the whole phone's screen behind it.
    bool frameCoversScreen() const;
    // The squares the hands can sweep, about their pivots.
    QRect handsReach() const;

    const WallClock& wallClock;
    QString appDir;
    bool shown = false;
    bool unlockArmed = false;
    bool lcdOn = true;
    SkinSettings settings;
    std::unique_ptr<ZConfig> configReader;
    int clockX = 0;
    int clockY = 0;
    int centerX = 0;
    int centerY = 0;
    QString skinDir;
    QPixmap bgPixmap;
    // Face and cap: the parts of them that can fall on the screen.
    QPixmap clockPixmap;
    ImagePart facePart;
    QPixmap centerPixmap;
    ImagePart capPart;
    QPixmap canvas;
    // The background, the face and the hour and minute hands, as a frame
    // has them under the second hand: a tick puts it back where the hands
    // moved and the time is drawn. The hour and minute hands in it are
    // drawn anew only when they move. Made by the first tick that needs it.
    QPixmap underSecondHand;
    std::array<HandLine, 2> baseHands;
    // The background the canvas was first copied from.
    qint64 canvasBackground = 0;
    struct tm* curTime = nullptr;
    struct tm clockReading = {};
    // Shaped text kept between frames for the lines that seldom change; the
    // digital time changes every second and is placed from glyphs shaped once.
    GlyphSetText timeLine { QStringLiteral("0123456789:") };
    CachedTextLine dateLine;
    CachedTextLine lunarLine;
    CachedTextLine notifyLine;
    // What the canvas shows and where its text lines may reach.
    FrameContent composedContent;
    // The part of the canvas composed anew since the window last showed it:
    // elsewhere it holds what the window shows.
    QRegion unshownArea;
    // The hands the canvas shows.
    std::optional<HandLines> handsShown;
    QRect timeArea;
    QRect dateArea;
    QRect lunarArea;
    QRect notifyArea;
    SecondTicker ticker;
    FrameDamage damage;
    // The layers read the local time with the zone this keeps current.
    TimeZoneWatch zoneWatch;
    bool keyLinesWritten = true;
    bool repaintRequested = false;
};
