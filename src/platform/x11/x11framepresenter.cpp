#include "platform/x11/x11framepresenter.h"

#include "platform/x11/x11connection.h"
#include "platform/x11reply.h"

#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QSysInfo>
#include <QWidget>

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Opaque windows take the screen's depth: 24 bits of colour, kept by the
// server in 32-bit words, the layout of an RGB32 image.
constexpr uint8_t WindowDepth = 24;

bool serverTakesRgb32(xcb_connection_t* connection)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const uint8_t hostOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? XCB_IMAGE_ORDER_LSB_FIRST
                                                                             : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder)
        return false;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem || screens.data->root_depth != WindowDepth)
        return false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == WindowDepth)
            return formats.data->bits_per_pixel == 32;
    }
    return false;
}

// Memory is shared by handing the server a file descriptor, which needs
// MIT-SHM 1.2 and a local (Unix-domain) connection.
bool serverTakesDescriptors(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!shm || !shm->present)
        return false;
    sockaddr_storage address = {};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address), &length) != 0
        || address.ss_family != AF_UNIX)
        return false;
    const X11Reply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr));
    return version && (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
}

} // namespace

bool X11FramePresenter::isAvailable()
{
    xcb_connection_t* connection = x11Connection();
    // Frames are put pixel for pixel: with the toolkit scaling windows
    // (QT_SCALE_FACTOR, a high-density screen) its backing store does the
    // scaling instead.
    return connection && qFuzzyCompare(qGuiApp->devicePixelRatio(), 1.0) && serverTakesRgb32(connection);
}

X11FramePresenter::X11FramePresenter(QWidget* window)
    : m_window(window)
    , m_connection(x11Connection())
{
}

X11FramePresenter::~X11FramePresenter()
{
    if (!m_connection)
        return;
    releaseSegment();
    if (m_gc)
        xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

void X11FramePresenter::present(const QImage& frame, const QRegion& region, uint32_t mirror)
{
    const auto window = static_cast<uint32_t>(m_window->winId());
    const QRegion part = region & frame.rect();
    if (!m_connection || !window || part.isEmpty())
        return;

    // The server reads rows of exactly the frame's width.
    const bool native = (frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32_Premultiplied)
            && frame.bytesPerLine() == qsizetype(frame.width()) * 4;
    const QImage pixels = native ? frame : frame.convertToFormat(QImage::Format_RGB32).copy();

    if (m_gcWindow != window) {
        if (m_gc)
            xcb_free_gc(m_connection, m_gc);
        m_gc = xcb_generate_id(m_connection);
        const uint32_t noExposures = 0;
        xcb_create_gc(m_connection, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        m_gcWindow = window;
    }

    const auto stride = static_cast<std::size_t>(pixels.bytesPerLine());
    std::size_t partBytes = 0;
    for (const QRect& rect : part)
        partBytes += static_cast<std::size_t>(rect.width()) * static_cast<std::size_t>(rect.height()) * 4;
    // A small part over the connection: no answer to wait for or to wake on.
    // The server takes requests in order, so a put from the segment before
    // it cannot land over it.
    if (partBytes <= SocketPutBytes || !ensureSegment(stride * static_cast<std::size_t>(pixels.height()))) {
        putOverSocket(pixels, part, window);
        if (mirror)
            putOverSocket(pixels, part, mirror);
        xcb_flush(m_connection);
        return;
    }
    waitForServer();
    auto* segment = static_cast<uchar*>(m_memory);
    for (const QRect& rect : part) {
        const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const std::size_t offset = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(rect.left()) * 4;
            std::memcpy(segment + offset, pixels.constBits() + offset, rowBytes);
        }
        putFromSegment(pixels, rect, window);
        if (mirror)
            putFromSegment(pixels, rect, mirror);
    }
    // Answered only after the puts before it: when the answer is in, the
    // server no longer reads the segment.
    m_fence = xcb_get_input_focus(m_connection).sequence;
    m_fencePending = true;
    xcb_flush(m_connection);
}

void X11FramePresenter::putFromSegment(const QImage& frame, const QRect& rect, uint32_t window)
{
    xcb_shm_put_image(m_connection, window, m_gc, static_cast<uint16_t>(frame.width()),
                      static_cast<uint16_t>(frame.height()), static_cast<uint16_t>(rect.x()),
                      static_cast<uint16_t>(rect.y()), static_cast<uint16_t>(rect.width()),
                      static_cast<uint16_t>(rect.height()), static_cast<int16_t>(rect.x()),
                      static_cast<int16_t>(rect.y()), WindowDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_segment, 0);
}

bool X11FramePresenter::ensureSegment(std::size_t bytes)
{
    if (m_memory && m_bytes >= bytes)
        return true;
    if (m_segmentFailed)
        return false;
    releaseSegment();
    if (!serverTakesDescriptors(m_connection)) {
        m_segmentFailed = true;
        return false;
    }

    // Handed to the server as a file descriptor: no System V identifier,
    // which a server in another IPC namespace would take for another segment.
    const int fd = memfd_create("lockapp-frame", MFD_CLOEXEC);
    void* memory = MAP_FAILED;
    if (fd != -1 && ftruncate(fd, static_cast<off_t>(bytes)) == 0)
        memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        if (fd != -1)
            close(fd);
        m_segmentFailed = true;
        return false;
    }
    const uint32_t segment = xcb_generate_id(m_connection);
    // The connection closes the descriptor once it is sent.
    const X11Reply<xcb_generic_error_t> error(
            xcb_request_check(m_connection, xcb_shm_attach_fd_checked(m_connection, segment, fd, 0)));
    if (error) {
        munmap(memory, bytes);
        m_segmentFailed = true;
        return false;
    }
    m_segment = segment;
    m_memory = memory;
    m_bytes = bytes;
    return true;
}

void X11FramePresenter::releaseSegment()
{
    waitForServer();
    if (!m_memory)
        return;
    xcb_shm_detach(m_connection, m_segment);
    munmap(m_memory, m_bytes);
    m_memory = nullptr;
    m_segment = 0;
    m_bytes = 0;
}

void X11FramePresenter::waitForServer()
{
    if (!m_fencePending)
        return;
    m_fencePending = false;
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (!xcb_poll_for_reply(m_connection, m_fence, &reply, &error))
        reply = xcb_wait_for_reply(m_connection, m_fence, &error);
    // Only the wait counts, not what came back.
    const X11Reply<void> heldReply(reply);
    const X11Reply<xcb_generic_error_t> heldError(error);
}

void X11FramePresenter::putOverSocket(const QImage& frame, const QRegion& region, uint32_t window)
{
    // Each request within the server's limit, header included.
    const std::size_t maxBytes = static_cast<std::size_t>(xcb_get_maximum_request_length(m_connection)) * 4 - 24;
    const uchar* const pixels = frame.constBits();
    const auto stride = static_cast<std::size_t>(frame.bytesPerLine());
    for (const QRect& rect : region) {
        const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
        const int rowsPerPut = std::max<int>(1, static_cast<int>(maxBytes / rowBytes));
        for (int top = rect.top(); top <= rect.bottom(); top += rowsPerPut) {
            const int count = std::min(rowsPerPut, rect.bottom() + 1 - top);
            const std::size_t bytes = rowBytes * static_cast<std::size_t>(count);
            // Grown only: the rows are written over, never read unwritten.
            if (m_rows.size() < bytes)
                m_rows.resize(bytes);
            for (int row = 0; row < count; ++row)
                std::memcpy(m_rows.data() + rowBytes * static_cast<std::size_t>(row),
                            pixels + static_cast<std::size_t>(top + row) * stride + static_cast<std::size_t>(rect.left()) * 4,
                            rowBytes);
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, m_gc, static_cast<uint16_t>(rect.width()),
                          static_cast<uint16_t>(count), static_cast<int16_t>(rect.x()), static_cast<int16_t>(top), 0,
                          WindowDepth, static_cast<uint32_t>(bytes), m_rows.data());
        }
    }
}
