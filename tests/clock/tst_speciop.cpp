#include "clock/SpeciOperation.h"

#include <QList>
#include <QPoint>
#include <QTest>

#include <climits>
#include <cstring>
#include <limits>

// Expected pixels below were worked out apart from this code, with every
// float and double operation rounded correctly in turn; the comment on a row
// gives the exact coordinate where it lies close to a whole pixel.

namespace {

QList<float> elements(const float m[3][3])
{
    return { m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2] };
}

void fill(float m[3][3], const QList<float>& values)
{
    for (int i = 0; i < 9; ++i)
        m[i / 3][i % 3] = values.at(i);
}

const QList<float> identity = { 1, 0, 0, 0, 1, 0, 0, 0, 1 };

} // namespace

class TestSpeciOperation : public QObject
{
    Q_OBJECT

private slots:
    void radiansPerDegreeBits();
    void constructedIsIdentity();
    void matrixPreMultiply_data();
    void matrixPreMultiply();
    void rotateZeroIsIdentity_data();
    void rotateZeroIsIdentity();
    void rotateReplacesEarlier_data();
    void rotateReplacesEarlier();
    void change_data();
    void change();
    void handEnd_data();
    void handEnd();
};

void TestSpeciOperation::radiansPerDegreeBits()
{
    // The double nearest 3.14/180, not pi/180.
    const double k = SpeciOperation::radiansPerDegree;
    quint64 bits = 0;
    std::memcpy(&bits, &k, sizeof bits);
    QCOMPARE(bits, Q_UINT64_C(0x3F91DCF4D98B0955));
}

void TestSpeciOperation::constructedIsIdentity()
{
    SpeciOperation op;
    QCOMPARE(elements(op.matrix), identity);
}

void TestSpeciOperation::matrixPreMultiply_data()
{
    QTest::addColumn<QList<float>>("a");
    QTest::addColumn<QList<float>>("b");
    QTest::addColumn<QList<float>>("product");

    // Small integers keep every product exact; b x a would differ.
    QTest::newRow("a on the left")
        << QList<float>{ 1, 2, 3, 4, 5, 6, 7, 8, 9 }
        << QList<float>{ 2, 0, 1, 1, 3, 0, 0, 1, 4 }
        << QList<float>{ 4, 9, 13, 13, 21, 28, 22, 33, 43 };
    // Each entry is (2^24 + 1) - 2^24: summed left to right in float the 1 is
    // lost and the entry is 0; in any other order, or in double, it is 1.
    QTest::newRow("sums left to right in float")
        << QList<float>{ 16777216, 1, -16777216, 16777216, 1, -16777216, 16777216, 1, -16777216 }
        << QList<float>{ 1, 1, 1, 1, 1, 1, 1, 1, 1 }
        << QList<float>{ 0, 0, 0, 0, 0, 0, 0, 0, 0 };
}

void TestSpeciOperation::matrixPreMultiply()
{
    QFETCH(QList<float>, a);
    QFETCH(QList<float>, b);
    QFETCH(QList<float>, product);

    float ma[3][3];
    float mb[3][3];
    fill(ma, a);
    fill(mb, b);
    SpeciOperation::matrixPreMultiply(ma, mb);
    QCOMPARE(elements(mb), product);
    QCOMPARE(elements(ma), a);
}

void TestSpeciOperation::rotateZeroIsIdentity_data()
{
    QTest::addColumn<float>("cx");
    QTest::addColumn<float>("cy");

    QTest::newRow("origin") << 0.0f << 0.0f;
    QTest::newRow("screen centre") << 120.0f << 160.0f;
    QTest::newRow("negative, fractional") << -7.5f << -1234.25f;
}

void TestSpeciOperation::rotateZeroIsIdentity()
{
    QFETCH(float, cx);
    QFETCH(float, cy);

    SpeciOperation op;
    op.rotate(123.0f, 50.0f, 60.0f);
    op.rotate(0.0f, cx, cy);
    QCOMPARE(elements(op.matrix), identity);
}

void TestSpeciOperation::rotateReplacesEarlier_data()
{
    QTest::addColumn<float>("earlierAngle");
    QTest::addColumn<float>("earlierCx");
    QTest::addColumn<float>("earlierCy");

    QTest::newRow("same turn twice") << 30.0f << 120.0f << 160.0f;
    QTest::newRow("other turn and centre") << 200.0f << -15.0f << 40.0f;
}

void TestSpeciOperation::rotateReplacesEarlier()
{
    QFETCH(float, earlierAngle);
    QFETCH(float, earlierCx);
    QFETCH(float, earlierCy);

    SpeciOperation twice;
    twice.rotate(earlierAngle, earlierCx, earlierCy);
    twice.rotate(30.0f, 120.0f, 160.0f);
    SpeciOperation once;
    once.rotate(30.0f, 120.0f, 160.0f);
    QCOMPARE(elements(twice.matrix), elements(once.matrix));
    QVERIFY(elements(once.matrix) != identity);
}

void TestSpeciOperation::change_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<float>("cx");
    QTest::addColumn<float>("cy");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPoint>("p1");
    QTest::addColumn<QPoint>("p2");
    QTest::addColumn<QPoint>("want1");
    QTest::addColumn<QPoint>("want2");

    QTest::newRow("turn 0")
        << 0.0f << 120.0f << 160.0f << 3
        << QPoint(5, 7) << QPoint(-300, 1000) << QPoint(5, 7) << QPoint(-300, 1000);
    // sin of 1.57 rad is just below 1: 99.99997 truncates to 99, -99.99997 to -99.
    QTest::newRow("turn 90 about origin")
        << 90.0f << 0.0f << 0.0f << 3
        << QPoint(100, 0) << QPoint(0, 100) << QPoint(0, 99) << QPoint(-99, 0);
    // x: -39.99986 and 59.99986.
    QTest::newRow("turn 270 about (10,100)")
        << 270.0f << 10.0f << 100.0f << 3
        << QPoint(10, 50) << QPoint(10, 150) << QPoint(-39, 100) << QPoint(59, 99);
    // 6.28 rad falls short of a full turn: x 119.84, then 169.99975 and 159.84.
    QTest::newRow("turn 360 about (120,160)")
        << 360.0f << 120.0f << 160.0f << 3
        << QPoint(120, 110) << QPoint(170, 160) << QPoint(119, 110) << QPoint(169, 159);
    // Translation column (279.904, 39.873), cos 0.000796: the modes differ.
    QTest::newRow("turn 90 about (120,160), full")
        << 90.0f << 120.0f << 160.0f << 3
        << QPoint(100, 50) << QPoint(-200, -100) << QPoint(229, 139) << QPoint(379, -160);
    QTest::newRow("turn 90 about (120,160), translation only")
        << 90.0f << 120.0f << 160.0f << 1
        << QPoint(100, 50) << QPoint(-200, -100) << QPoint(379, 89) << QPoint(79, -60);
    QTest::newRow("turn 90 about (120,160), diagonal and translation")
        << 90.0f << 120.0f << 160.0f << 2
        << QPoint(100, 50) << QPoint(-200, -100) << QPoint(279, 39) << QPoint(279, 39);
    for (int mode : { 0, 4, -1 }) {
        QTest::addRow("mode %d leaves points", mode)
            << 30.0f << 120.0f << 160.0f << mode
            << QPoint(100, 50) << QPoint(-200, -100) << QPoint(100, 50) << QPoint(-200, -100);
    }
    // INT_MAX becomes 2^31 as a float, one past what int holds.
    QTest::newRow("saturates at the limits of int")
        << 0.0f << 0.0f << 0.0f << 1
        << QPoint(INT_MAX, INT_MIN) << QPoint(INT_MIN, INT_MAX)
        << QPoint(INT_MAX, INT_MIN) << QPoint(INT_MIN, INT_MAX);
    QTest::newRow("angle not a number")
        << std::numeric_limits<float>::quiet_NaN() << 0.0f << 0.0f << 3
        << QPoint(100, 50) << QPoint(-200, -100) << QPoint(0, 0) << QPoint(0, 0);
}

void TestSpeciOperation::change()
{
    QFETCH(float, angle);
    QFETCH(float, cx);
    QFETCH(float, cy);
    QFETCH(int, mode);
    QFETCH(QPoint, p1);
    QFETCH(QPoint, p2);
    QFETCH(QPoint, want1);
    QFETCH(QPoint, want2);

    SpeciOperation op;
    op.rotate(angle, cx, cy);

    int x = p1.x();
    int y = p1.y();
    op.Change(x, y, mode);
    QCOMPARE(QPoint(x, y), want1);
    x = p2.x();
    y = p2.y();
    op.Change(x, y, mode);
    QCOMPARE(QPoint(x, y), want2);

    op.Change(p1, p2, mode);
    QCOMPARE(p1, want1);
    QCOMPARE(p2, want2);
}

void TestSpeciOperation::handEnd_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<QPoint>("end");

    // A hand of length 50 about (120, 160), turned from straight up.
    QTest::newRow("0") << 0.0f << QPoint(120, 110);
    QTest::newRow("360, short of a full turn") << 360.0f << QPoint(119, 110);
    // x is 169.99998 exactly and 169.99997 in float; a translation column
    // worked out in float instead of double gives 170.
    QTest::newRow("90") << 90.0f << QPoint(169, 159);
    // y: 209.99994.
    QTest::newRow("180") << 180.0f << QPoint(120, 209);
    // x: 70.00014.
    QTest::newRow("270") << 270.0f << QPoint(70, 160);
    // The hour hand at 11:59: 116.05, 110.16.
    QTest::newRow("11:59 hour") << static_cast<float>(11 * 30.0 + 59 / 2.3) << QPoint(116, 110);
    // The minute hand at minute 7 before and after second 13.
    QTest::newRow("42") << 42.0f << QPoint(153, 122);
    QTest::newRow("43") << 43.0f << QPoint(154, 123);
}

void TestSpeciOperation::handEnd()
{
    QFETCH(float, angle);
    QFETCH(QPoint, end);

    const int px = 120;
    const int py = 160;
    int x = px;
    int y = py - 50;
    SpeciOperation op;
    op.rotate(angle, static_cast<float>(px), static_cast<float>(py));
    op.Change(x, y, 3);
    QCOMPARE(QPoint(x, y), end);
}

QTEST_APPLESS_MAIN(TestSpeciOperation)
#include "tst_speciop.moc"
