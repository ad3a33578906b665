#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>

namespace attractor {

// Zeroed memory for bitmaps and counting buffers of many megabytes. The
// chaos game stores to them at random, so with ordinary pages nearly every
// store also misses the address translation cache; where the system offers
// huge pages these buffers ask for them. Empty when memory is short.
class LargeBuffer
{
public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t bytes);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer &&other) noexcept;
    LargeBuffer &operator=(LargeBuffer &&other) noexcept;
    LargeBuffer(const LargeBuffer &) = delete;
    LargeBuffer &operator=(const LargeBuffer &) = delete;

    void *data() const { return _data; }
    std::size_t size() const { return _size; }
    explicit operator bool() const { return _data != nullptr; }

private:
    void release();

    void *_data = nullptr;
    std::size_t _size = 0;
    bool _mapped = false;
};

// An image of this size and format whose pixels live in a LargeBuffer (zeroed),
// or a null image when the size is not positive or memory is short. It shares
// and detaches like any other image.
QImage largeImage(QSize size, QImage::Format format);

} // namespace attractor
