#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class QImage;
class QRect;
class QRegion;
class QWidget;
struct xcb_connection_t;

// Puts finished frames into an X11 window through a shared-memory segment of
// its own, in place of the toolkit's backing store; over the connection when
// the server cannot share memory with this process (another machine, an
// MIT-SHM older than 1.2).
//
// The toolkit, before each paint into its shared-memory image, waits for the
// X server to answer a round trip whenever the server may still be reading
// the part about to be painted. A clock repaints the same rectangle every
// second, so every frame paid that round trip: a second wake-up of the main
// thread and one more of the server. Here a request with a reply follows
// each frame's put; the server answers it once it is done with the segment,
// and by the next frame, a second later, the answer has long been read and
// is collected without waiting. Only a server still busy with the last frame
// is waited for.
//
// That answer still wakes the toolkit's thread that reads the connection.
// A clock's tick changes a few thousand pixels: parts that small go over the
// connection itself, which asks for no answer; the segment carries larger
// ones (a whole frame at a raise or a new day, frames scaled to a screen).
class X11FramePresenter
{
public:
    // The largest part, in bytes, put over the connection when memory is
    // shared: a tick's change is 2-7 KiB, a whole frame 300. (Scaled twice,
    // a tick's 40 KiB over the connection had the main thread sleep up to
    // twice a frame.)
    static constexpr std::size_t SocketPutBytes = 16 * 1024;

    // True on the xcb platform, with windows not scaled by the toolkit, when
    // the server keeps 24-bit pixels in 32-bit words in this machine's byte
    // order, the layout of the frames handed in.
    static bool isAvailable();

    explicit X11FramePresenter(QWidget* window);
    ~X11FramePresenter();

    X11FramePresenter(const X11FramePresenter&) = delete;
    X11FramePresenter& operator=(const X11FramePresenter&) = delete;

    // Shows the part region of frame (window coordinates, the frame's
    // top-left at the window's) in the window, and in `mirror` (a window of
    // the same depth laid over the same place, the keyguard's overlay) when
    // given. The frame is opaque, 32 bits a pixel; other formats are
    // converted first.
    void present(const QImage& frame, const QRegion& region, uint32_t mirror = 0);

    // Whether frames go through shared memory (known after the first part
    // larger than SocketPutBytes).
    bool sharesMemory() const { return m_memory != nullptr; }

private:
    bool ensureSegment(std::size_t bytes);
    void releaseSegment();
    void waitForServer();
    void putOverSocket(const QImage& frame, const QRegion& region, uint32_t window);
    void putFromSegment(const QImage& frame, const QRect& rect, uint32_t window);

    QWidget* m_window;
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_gc = 0;
    uint32_t m_gcWindow = 0;
    uint32_t m_segment = 0;
    void* m_memory = nullptr;
    std::size_t m_bytes = 0;
    bool m_segmentFailed = false;
    unsigned int m_fence = 0;
    bool m_fencePending = false;
    // The rows of one put over the connection, kept from frame to frame.
    std::vector<unsigned char> m_rows;
};
