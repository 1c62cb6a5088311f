#pragma once

#include "platform/wayland/waylandproxy.h"

#include <QImage>
#include <QSize>

#include <array>
#include <functional>

struct wl_buffer;
struct wl_shm;

// Two buffers of one size in memory shared with the compositor: one can be
// painted while the compositor still reads the other. A buffer is reused
// once the compositor releases it.
class ShmBufferPair
{
public:
    ShmBufferPair(wl_shm* shm, QSize size);
    ~ShmBufferPair();
    Q_DISABLE_COPY_MOVE(ShmBufferPair)

    bool isValid() const { return m_buffers[0].buffer != nullptr; }
    QSize size() const { return m_size; }

    // The index of a buffer the compositor does not hold, or -1.
    int freeBuffer() const;
    // The picture in buffer `index`, painted straight into shared memory.
    QImage& image(int index) { return m_buffers[index].image; }
    // Buffer `index`, marked held by the compositor until it releases it.
    wl_buffer* hand(int index);

    // Called when the compositor gives a buffer back.
    void setOnFree(std::function<void()> onFree) { m_onFree = std::move(onFree); }

    static void onRelease(void* data, wl_buffer* buffer);

private:
    struct Buffer
    {
        WaylandProxy<wl_buffer> buffer;
        QImage image;
        bool held = false;
    };

    QSize m_size;
    void* m_memory = nullptr;
    size_t m_bytes = 0;
    std::array<Buffer, 2> m_buffers;
    std::function<void()> m_onFree;
};
