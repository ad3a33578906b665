#include "engine/LargeBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace attractor {

namespace {

// Below this a buffer gains nothing from huge pages: it comes from the heap.
constexpr std::size_t kMappedFrom = std::size_t(2) << 20;

} // namespace

LargeBuffer::LargeBuffer(std::size_t bytes)
{
    if (bytes == 0)
        return;
#if defined(__linux__)
    if (bytes >= kMappedFrom) {
        // Placed on huge page boundaries and rounded up to whole huge pages,
        // so that huge pages cover all of it: the system then takes one fault
        // per 2 MB instead of one per 4 KB.
        const std::size_t huge = kMappedFrom;
        const std::size_t length = (bytes + huge - 1) & ~(huge - 1);
        void *mapped = mmap(nullptr, length + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            return;
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + huge - 1) & ~std::uintptr_t(huge - 1);
        if (aligned > start)
            munmap(mapped, aligned - start);
        if (start + huge > aligned)
            munmap(reinterpret_cast<void *>(aligned + length), start + huge - aligned);
        // Only advice: where huge pages are off or short, ordinary ones serve.
        madvise(reinterpret_cast<void *>(aligned), length, MADV_HUGEPAGE);
        _data = reinterpret_cast<void *>(aligned);
        _size = length;
        _mapped = true;
        return;
    }
#endif
    _data = std::calloc(bytes, 1);
    _size = _data ? bytes : 0;
}

LargeBuffer::~LargeBuffer()
{
    release();
}

LargeBuffer::LargeBuffer(LargeBuffer &&other) noexcept
    : _data(std::exchange(other._data, nullptr))
    , _size(std::exchange(other._size, 0))
    , _mapped(std::exchange(other._mapped, false))
{
}

LargeBuffer &LargeBuffer::operator=(LargeBuffer &&other) noexcept
{
    if (this != &other) {
        release();
        _data = std::exchange(other._data, nullptr);
        _size = std::exchange(other._size, 0);
        _mapped = std::exchange(other._mapped, false);
    }
    return *this;
}

void LargeBuffer::release()
{
    if (!_data)
        return;
#if defined(__linux__)
    if (_mapped)
        munmap(_data, _size);
    else
        std::free(_data);
#else
    std::free(_data);
#endif
    _data = nullptr;
    _size = 0;
}

QImage largeImage(QSize size, QImage::Format format)
{
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Rows padded to 4 bytes, as QImage lays out its own.
    const qsizetype bytesPerLine = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    auto *buffer = new LargeBuffer(static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(size.height()));
    if (!*buffer) {
        delete buffer;
        return {};
    }
    return QImage(
        static_cast<uchar *>(buffer->data()), size.width(), size.height(), bytesPerLine, format,
        [](void *info) { delete static_cast<LargeBuffer *>(info); }, buffer);
}

} // namespace attractor
