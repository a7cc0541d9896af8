#include "unit_buffer.h"

#include <cstdlib>
#include <limits>

UnitBuffer::~UnitBuffer()
{
    std::free(data_);
}

bool UnitBuffer::Reserve(std::uint64_t capacity)
{
    if (capacity <= capacity_)
        return true;
    if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(char16_t))
        return false;
    const std::size_t units = static_cast<std::size_t>(capacity);
    void* grown = std::realloc(data_, units * sizeof(char16_t));
    if (grown == nullptr)
        return false;
    data_ = static_cast<char16_t*>(grown);
    capacity_ = units;
    return true;
}

char16_t* UnitBuffer::Room(std::size_t count)
{
    const std::uint64_t needed = static_cast<std::uint64_t>(size_) + count;
    if (needed > capacity_) {
        const std::uint64_t grown = static_cast<std::uint64_t>(capacity_) + capacity_ / 2;
        if (!Reserve(needed > grown ? needed : grown) && !Reserve(needed))
            return nullptr;
    }
    return data_ + size_;
}
