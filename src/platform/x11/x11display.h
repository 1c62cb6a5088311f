#pragma once

#include "platform/displayplatform.h"

#include <memory>

class X11FramePresenter;
class X11Keyguard;

// The X11 display platform: an override-redirect lock window that the
// keyguard holds over everything, and frames put into it (and the Composite
// overlay) past the toolkit's backing store by the frame presenter.
class X11Display : public DisplayPlatform
{
    Q_OBJECT
public:
    // Null unless the toolkit runs on its xcb platform.
    static std::unique_ptr<DisplayPlatform> create(QWidget* window);
    ~X11Display() override;

    Qt::WindowFlags windowFlags() const override;
    bool presentsFrames() const override;
    void present(const QImage& windowImage, const QRegion& windowPart) override;
    void hold(const QRect& geometry) override;
    void beforeHide() override;
    void release() override;

private:
    explicit X11Display(QWidget* window);

    X11Keyguard* m_keyguard;
    std::unique_ptr<X11FramePresenter> m_presenter;
};
