#include "framepreview.h"

#include "app/quelview.h"
#include "app/quelviewaccess.h"
#include "platform/diagnostics.h"
#include "platform/wallclock.h"

#include <QDir>

namespace {
time_t previewTime = 0;
time_t previewClock()
{
    return previewTime;
}
} // namespace

FramePreview::FramePreview(const QString& appDir, const QString& skin)
{
    m_view = std::make_unique<quelView>(QDir(appDir).absolutePath() + QLatin1String("/lockapp"));
    if (!skin.isEmpty())
        QuelViewAccess(*m_view).useSkin(skin);
}

FramePreview::~FramePreview()
{
    m_view.reset();
    setWallClockSource(nullptr);
}

QString FramePreview::skinDir() const
{
    return QuelViewAccess(*m_view).skinDir();
}

bool FramePreview::hasFrame() const
{
    return !QuelViewAccess(*m_view).background().isNull();
}

QImage FramePreview::frame(time_t at, bool armed)
{
    previewTime = at;
    setWallClockSource(previewClock);
    QuelViewAccess access(*m_view);
    access.setUnlockArmed(armed);
    m_view->composeFrame();
    setWallClockSource(nullptr);
    return access.canvas().toImage();
}
