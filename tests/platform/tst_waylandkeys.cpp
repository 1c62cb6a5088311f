// The keys the Wayland platform reads through xkbcommon give the lock
// window the key codes the X11 platform gives it: the keyCode lines and the
// unlock keys are the same on both.
#include "platform/wayland/waylandkeyboard.h"
#include "platform/zwidget.h"

#include <QTest>
#include <xkbcommon/xkbcommon-keysyms.h>

class TestWaylandKeys : public QObject
{
    Q_OBJECT
private slots:
    void keyCodeOfKeysym_data();
    void keyCodeOfKeysym();
};

void TestWaylandKeys::keyCodeOfKeysym_data()
{
    QTest::addColumn<uint>("keysym");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<bool>("keypad");
    // The unlock keys, from the main keyboard and from the keypad.
    QTest::newRow("Return") << uint(XKB_KEY_Return) << 4100 << false;
    QTest::newRow("KP_Enter") << uint(XKB_KEY_KP_Enter) << 4101 << true;
    QTest::newRow("asterisk") << uint(XKB_KEY_asterisk) << 42 << false;
    QTest::newRow("KP_Multiply") << uint(XKB_KEY_KP_Multiply) << 42 << true;
    // Digits either way, letters by their capitals whatever the shift.
    QTest::newRow("5") << uint(XKB_KEY_5) << 53 << false;
    QTest::newRow("KP_0") << uint(XKB_KEY_KP_0) << 48 << true;
    QTest::newRow("KP_9") << uint(XKB_KEY_KP_9) << 57 << true;
    QTest::newRow("a") << uint(XKB_KEY_a) << 65 << false;
    QTest::newRow("Z") << uint(XKB_KEY_Z) << 90 << false;
    QTest::newRow("numbersign") << uint(XKB_KEY_numbersign) << 35 << false;
    // The phone's other keys.
    QTest::newRow("Escape") << uint(XKB_KEY_Escape) << 4096 << false;
    QTest::newRow("BackSpace") << uint(XKB_KEY_BackSpace) << 4099 << false;
    QTest::newRow("Up") << uint(XKB_KEY_Up) << 4115 << false;
    QTest::newRow("F1") << uint(XKB_KEY_F1) << 4144 << false;
    // Keys with no code on the phone give nothing.
    QTest::newRow("Shift_L") << uint(XKB_KEY_Shift_L) << 0 << false;
    QTest::newRow("NoSymbol") << uint(XKB_KEY_NoSymbol) << 0 << false;
}

void TestWaylandKeys::keyCodeOfKeysym()
{
    QFETCH(uint, keysym);
    QFETCH(int, keyCode);
    QFETCH(bool, keypad);
    QCOMPARE(ZKbMainWidget::keypadCode(WaylandKeyboard::qtKey(keysym)), keyCode);
    QCOMPARE(WaylandKeyboard::isKeypadKey(keysym), keypad);
}

QTEST_APPLESS_MAIN(TestWaylandKeys)
#include "tst_waylandkeys.moc"
