#include "app/framepreview.h"

#include "app/quelview.h"
#include "platform/diagnostics.h"

#include <QDir>

FramePreview::FramePreview(const QString& appDir, const QString& skin)
{
    // A preview hears no channel: it needs no session bus at all.
    m_view = std::make_unique<quelView>(QDir(appDir).absolutePath() + QLatin1String("/lockapp"), m_clock, nullptr);
    if (!skin.isEmpty())
        m_view->useSkin(skin);
}

FramePreview::~FramePreview()
{
    m_view.reset();
}

QString FramePreview::skinDir() const
{
    return m_view->skinFolderInUse();
}

bool FramePreview::hasFrame() const
{
    return m_view->hasBackground();
}

QImage FramePreview::frame(time_t at, bool armed)
{
    m_clock.set(at);
    return m_view->previewFrame(armed);
}
