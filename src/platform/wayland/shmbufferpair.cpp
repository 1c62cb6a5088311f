#include "platform/wayland/shmbufferpair.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace {

const wl_buffer_listener bufferListener = {
    &ShmBufferPair::onRelease,
};

} // namespace

void ShmBufferPair::onRelease(void* data, wl_buffer* released)
{
    auto* pair = static_cast<ShmBufferPair*>(data);
    for (Buffer& buffer : pair->m_buffers) {
        if (buffer.buffer.get() == released)
            buffer.held = false;
    }
    if (pair->m_onFree)
        pair->m_onFree();
}

ShmBufferPair::ShmBufferPair(wl_shm* shm, QSize size)
    : m_size(size)
{
    if (size.isEmpty())
        return;
    const int stride = size.width() * 4;
    const size_t oneBuffer = size_t(stride) * size.height();
    m_bytes = oneBuffer * m_buffers.size();
    const int fd = memfd_create("lockapp-frame", MFD_CLOEXEC);
    if (fd < 0)
        return;
    if (ftruncate(fd, off_t(m_bytes)) != 0) {
        close(fd);
        return;
    }
    m_memory = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (m_memory == MAP_FAILED) {
        m_memory = nullptr;
        close(fd);
        return;
    }
    // The buffers keep the memory: the pool goes at the end of this.
    const WaylandProxy<wl_shm_pool> pool = ownProxy(wl_shm_create_pool(shm, fd, int32_t(m_bytes)), wl_shm_pool_destroy);
    close(fd);
    for (size_t i = 0; i < m_buffers.size(); ++i) {
        Buffer& buffer = m_buffers[i];
        // XRGB8888 is QImage's RGB32 on a little-endian machine, and both
        // are what every compositor takes.
        buffer.buffer = ownProxy(wl_shm_pool_create_buffer(pool.get(), int32_t(i * oneBuffer), size.width(),
                                                           size.height(), stride, WL_SHM_FORMAT_XRGB8888),
                                 wl_buffer_destroy);
        buffer.image = QImage(static_cast<uchar*>(m_memory) + i * oneBuffer, size.width(), size.height(), stride,
                              QImage::Format_RGB32);
        wl_buffer_add_listener(buffer.buffer.get(), &bufferListener, this);
    }
}

ShmBufferPair::~ShmBufferPair()
{
    // The buffers go before the memory they show.
    for (Buffer& buffer : m_buffers)
        buffer.buffer.reset();
    if (m_memory)
        munmap(m_memory, m_bytes);
}

int ShmBufferPair::freeBuffer() const
{
    for (size_t i = 0; i < m_buffers.size(); ++i) {
        if (m_buffers[i].buffer && !m_buffers[i].held)
            return int(i);
    }
    return -1;
}

wl_buffer* ShmBufferPair::hand(int index)
{
    m_buffers[index].held = true;
    return m_buffers[index].buffer.get();
}
