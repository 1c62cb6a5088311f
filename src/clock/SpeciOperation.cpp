#include "clock/SpeciOperation.h"

#include <climits>
#include <cmath>

// Every coordinate is defined operation by operation in float (or double for
// the translation column) and then truncated, so one fused multiply-add can
// move a hand by a pixel. GCC does not fuse in ISO C++ mode; clang does by
// default unless told not to here.
#ifdef __clang__
#pragma STDC FP_CONTRACT OFF
#endif

// The factor must be exactly the double nearest to 3.14/180.
static_assert(SpeciOperation::radiansPerDegree == 0x1.1dcf4d98b0955p-6,
              "radiansPerDegree must have the bit pattern 0x3F91DCF4D98B0955");

namespace {

// Truncation toward zero. A plain float-to-int conversion is undefined for
// NaN and for values outside int, which a far-off point or centre can reach.
int truncateToInt(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0f) // 2^31, the first float above INT_MAX
        return INT_MAX;
    if (v < -2147483648.0f) // -2^31 itself still fits
        return INT_MIN;
    return static_cast<int>(v);
}

} // namespace

SpeciOperation::SpeciOperation()
{
    matrixSetIdentity(matrix);
}

SpeciOperation::~SpeciOperation() = default;

void SpeciOperation::matrixSetIdentity(float m[3][3])
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            m[i][j] = (i == j) ? 1.0f : 0.0f;
    }
}

void SpeciOperation::matrixPreMultiply(const float a[3][3], float b[3][3])
{
    // Into a temporary first: b's columns are still read after the first row.
    float t[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            t[i][j] = (a[i][0] * b[0][j] + a[i][1] * b[1][j]) + a[i][2] * b[2][j];
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            b[i][j] = t[i][j];
    }
}

void SpeciOperation::rotate(float angle, float cx, float cy)
{
    matrixSetIdentity(matrix);
    float r[3][3];
    matrixSetIdentity(r);

    const float theta = static_cast<float>(static_cast<double>(angle) * radiansPerDegree);

    r[0][0] = cosf(theta);
    r[0][1] = -sinf(theta);
    r[1][0] = sinf(theta);
    r[1][1] = cosf(theta);

    // The translation column is worked out in double and only then rounded.
    const double t = theta;
    const double cxd = cx;
    const double cyd = cy;
    r[0][2] = static_cast<float>(cxd * (1.0 - std::cos(t)) + cyd * std::sin(t));
    r[1][2] = static_cast<float>(cyd * (1.0 - std::cos(t)) - cxd * std::sin(t));

    matrixPreMultiply(r, matrix);
}

void SpeciOperation::Change(int& x, int& y, int mode)
{
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const float (&m)[3][3] = matrix;

    switch (mode) {
    case 1:
        x = truncateToInt(fx + m[0][2]);
        y = truncateToInt(fy + m[1][2]);
        break;
    case 2:
        x = truncateToInt(fx * m[0][0] + m[0][2]);
        y = truncateToInt(fy * m[1][1] + m[1][2]);
        break;
    case 3: {
        // Both results come from the input point.
        const float nx = (fx * m[0][0] + fy * m[0][1]) + m[0][2];
        const float ny = (fx * m[1][0] + fy * m[1][1]) + m[1][2];
        x = truncateToInt(nx);
        y = truncateToInt(ny);
        break;
    }
    default:
        break;
    }
}

void SpeciOperation::Change(QPoint& p1, QPoint& p2, int mode)
{
    Change(p1.rx(), p1.ry(), mode);
    Change(p2.rx(), p2.ry(), mode);
}
