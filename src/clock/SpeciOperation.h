#pragma once

#include <QPoint>

// A 2-D affine transform in homogeneous coordinates: a 3x3 single-precision
// matrix set to a turn about a centre point and applied to integer pixels.
// The clock turns its hands with it.
class SpeciOperation
{
public:
    // Degrees to radians with 3.14 standing in for pi, so a full turn of 360
    // degrees comes to 6.28 radians, a little short of 2*pi. The clock's hands
    // are drawn with this factor; keep it.
    static constexpr double radiansPerDegree = 3.14 / 180.0;

    // Starts as the identity, so a Change() before any rotate() reads no
    // undefined values and leaves points where they are.
    SpeciOperation();
    virtual ~SpeciOperation();

    // Sets m to the identity.
    static void matrixSetIdentity(float m[3][3]);
    // Replaces b by a x b (a on the left); a is left as it is.
    static void matrixPreMultiply(const float a[3][3], float b[3][3]);

    // Sets the transform to a clockwise turn (y grows downwards) by angle
    // degrees about (cx, cy), replacing whatever was set before.
    void rotate(float angle, float cx, float cy);

    // Maps (x, y) in place. Mode 1 applies the translation column only,
    // mode 2 the diagonal and the translation, mode 3 the full transform;
    // any other mode leaves the point as it is. Results are truncated toward
    // zero, saturating at the limits of int (NaN gives 0).
    void Change(int& x, int& y, int mode);
    // The same mapping applied to p1 and to p2.
    void Change(QPoint& p1, QPoint& p2, int mode);

    // Row-major: row 0 produces x, row 1 produces y, row 2 is (0, 0, 1).
    float matrix[3][3];
};
