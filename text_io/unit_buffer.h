// A growing block of UTF-16 code units for a whole input.
#ifndef TEXT_IO_UNIT_BUFFER_H
#define TEXT_IO_UNIT_BUFFER_H

#include <cstddef>
#include <cstdint>

// Grows with realloc, which moves a large block by remapping its pages where
// the system can, so an input of unknown size (a pipe) never needs its old and
// its new block at once. Allocation failures are results, not exceptions.
class UnitBuffer {
public:
    UnitBuffer() = default;
    UnitBuffer(const UnitBuffer&) = delete;
    UnitBuffer& operator=(const UnitBuffer&) = delete;
    ~UnitBuffer();

    // Makes room for `capacity` units in all; false when there is no memory.
    bool Reserve(std::uint64_t capacity);
    // Room for `count` more units after size(), or null when there is no memory.
    char16_t* Room(std::size_t count);
    // Keeps `count` more units written into the room.
    void Grow(std::size_t count) { size_ += count; }
    void Shrink(std::size_t size) { size_ = size; }

    char16_t* data() { return data_; }
    const char16_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    char16_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

#endif
