#include "platform/displayplatform.h"

DisplayPlatform::DisplayPlatform() = default;

DisplayPlatform::~DisplayPlatform() = default;

void DisplayPlatform::present(const QImage& /*windowImage*/, const QRegion& /*windowPart*/)
{
}

void DisplayPlatform::hold(const QRect& /*geometry*/)
{
}

void DisplayPlatform::beforeHide()
{
}

void DisplayPlatform::release()
{
}
