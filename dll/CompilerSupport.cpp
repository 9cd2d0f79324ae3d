// What the compiler may call on its own in a DLL linked without any runtime:
// the memory primitives for block copies and fills, and the target of pure
// virtual slots, which the abstract forms of the classes route to the trap.

#include <windows.h>

#include "server/AbstractSlotTrap.h"

extern "C" {

void* memset(void* destination, int value, size_t count)
{
    auto* bytes = static_cast<volatile unsigned char*>(destination);
    while (count--)
        *bytes++ = static_cast<unsigned char>(value);
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count)
{
    auto* to = static_cast<volatile unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    while (count--)
        *to++ = *from++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t count)
{
    auto* to = static_cast<volatile unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        while (count--)
            *to++ = *from++;
    } else {
        while (count--)
            to[count] = from[count];
    }
    return destination;
}

int memcmp(const void* left, const void* right, size_t count)
{
    const auto* a = static_cast<const unsigned char*>(left);
    const auto* b = static_cast<const unsigned char*>(right);
    for (; count; --count, ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
    }
    return 0;
}

void __cxa_pure_virtual()
{
    AbstractSlotTrap();
}
}
