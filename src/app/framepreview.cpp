#include "framepreview.h"

#include "app/quelview.h"
#include "app/quelviewaccess.h"
#include "platform/diagnostics.h"

#include <QDir>

FramePreview::FramePreview(const QString& appDir, const QString& skin)
{
    m_view = std::make_unique<quelView>(QDir(appDir).absolutePath() + QLatin1String("/lockapp"), m_clock);
    if (!skin.isEmpty())
        QuelViewAccess(*m_view).useSkin(skin);
}

FramePreview::~FramePreview()
{
    m_view.reset();
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
    m_clock.set(at);
    QuelViewAccess access(*m_view);
    access.setUnlockArmed(armed);
    m_view->composeFrame();
    return access.canvas().toImage();
}
