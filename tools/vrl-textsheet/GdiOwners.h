#pragma once
// Owners of the GDI objects that the text sheet draws with: each is deleted
// on destruction, and one selected into a device context is selected out
// again first.

#include "common/Ownership.h"

#include <windows.h>

// A memory device context: DeleteDC on destruction.
using MemoryDc = UniqueHandle<HDC, DeleteDC>;

// A font, a bitmap or a brush: DeleteObject on destruction.
template <class Handle>
using GdiObject = UniqueHandle<Handle, DeleteObject>;

// An object selected into a device context for one scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
