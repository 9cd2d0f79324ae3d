#pragma once
// A growing byte buffer in task memory that the expansion pass writes the
// expanded script into. Its bytes pass to the caller on success, who frees
// them with CoTaskMemFree.

#include <windows.h>

#include "common/Ownership.h"

// The most bytes the buffer ever holds.
constexpr int kExpansionBufferLargest = 0x3FFFFFFF;

class ExpansionBuffer {
public:
    // Room for `capacity` bytes; at least one, so that the NUL always fits.
    bool Allocate(int capacity);
    // Appends `count` bytes (one character), growing the buffer as needed.
    bool Append(const char* bytes, int count);
    // Hands the bytes over; the buffer is empty afterwards.
    char* Detach() { return bytes_.Detach(); }

private:
    bool GrowToHold(int required);

    TaskMemory<char> bytes_;
    int length_ = 0;
    int capacity_ = 0;
};
