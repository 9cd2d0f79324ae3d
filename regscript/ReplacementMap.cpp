#include "regscript/ReplacementMap.h"

#include <objbase.h>

#include "regscript/AnsiText.h"

namespace {

constexpr int kInitialCapacity = 10;

// A stored name in the ANSI code page, as long as a reference can be.
using ReferenceName = char[kReferenceNameMaxBytes + 1];

// False when the name does not convert or is longer than any reference: it
// can then match none.
bool ConvertName(const wchar_t* name, ReferenceName& converted)
{
    return WideCharToMultiByte(CP_ACP, 0, name, -1, converted, sizeof converted, nullptr, nullptr) > 0;
}

wchar_t* CopyToTaskMemory(const wchar_t* text)
{
    const int units = lstrlenW(text) + 1;
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(units * sizeof(wchar_t)));
    if (copy)
        lstrcpyW(copy, text);
    return copy;
}

}  // namespace

ReplacementMap::ReplacementMap()
    : pairs_(static_cast<Pair**>(CoTaskMemAlloc(kInitialCapacity * sizeof(Pair*)))), capacity_(kInitialCapacity)
{
}

ReplacementMap::~ReplacementMap()
{
    Reset();
    CoTaskMemFree(pairs_);
}

HRESULT ReplacementMap::Insert(const wchar_t* name, const wchar_t* value)
{
    auto* pair = static_cast<Pair*>(CoTaskMemAlloc(sizeof(Pair)));
    if (!pair)
        return E_OUTOFMEMORY;
    pair->name = CopyToTaskMemory(name);
    pair->value = CopyToTaskMemory(value);
    if (!pair->name || !pair->value) {
        CoTaskMemFree(pair->name);
        CoTaskMemFree(pair->value);
        CoTaskMemFree(pair);
        return E_OUTOFMEMORY;
    }
    if (pairs_ && count_ == capacity_) {
        auto* grown = static_cast<Pair**>(CoTaskMemRealloc(pairs_, 2 * capacity_ * sizeof(Pair*)));
        if (grown) {
            pairs_ = grown;
            capacity_ *= 2;
        }
    }
    if (!pairs_ || count_ == capacity_) {
        CoTaskMemFree(pair->name);
        CoTaskMemFree(pair->value);
        CoTaskMemFree(pair);
        return E_OUTOFMEMORY;
    }
    pairs_[count_++] = pair;
    return S_OK;
}

const wchar_t* ReplacementMap::Lookup(const char* name) const
{
    // Converted on the stack: a lookup needs no memory, so "not found" never
    // stands for "out of memory".
    for (int i = 0; i < count_; ++i) {
        ReferenceName storedName;
        if (ConvertName(pairs_[i]->name, storedName) && EqualsIgnoringCase(storedName, name))
            return pairs_[i]->value;
    }
    return nullptr;
}

HRESULT ReplacementMap::Reset()
{
    for (int i = 0; i < count_; ++i) {
        CoTaskMemFree(pairs_[i]->value);
        CoTaskMemFree(pairs_[i]->name);
        CoTaskMemFree(pairs_[i]);
    }
    count_ = 0;
    return S_OK;
}
