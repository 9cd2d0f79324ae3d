#include "regscript/ExpansionBuffer.h"

bool ExpansionBuffer::Allocate(int capacity)
{
    if (capacity < 1)
        capacity = 1;
    bytes_.Reset(static_cast<char*>(CoTaskMemAlloc(capacity)));
    length_ = 0;
    capacity_ = bytes_.Get() ? capacity : 0;
    return bytes_.Get() != nullptr;
}

bool ExpansionBuffer::GrowToHold(int required)
{
    int capacity = capacity_ < 1 ? 1 : capacity_;
    while (capacity < required) {
        if (capacity > kExpansionBufferLargest / 2)
            return false;
        capacity *= 2;
    }
    auto* grown = static_cast<char*>(CoTaskMemRealloc(bytes_.Get(), capacity));
    if (!grown)
        return false;
    bytes_.Detach();
    bytes_.Reset(grown);
    capacity_ = capacity;
    return true;
}

bool ExpansionBuffer::Append(const char* bytes, int count)
{
    if (length_ + count > capacity_ && !GrowToHold(length_ + count))
        return false;
    for (int i = 0; i < count; ++i)
        bytes_.Get()[length_ + i] = bytes[i];
    length_ += count;
    return true;
}
