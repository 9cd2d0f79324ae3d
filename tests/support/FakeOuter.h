#pragma once
// A stand-in for the outer object of an aggregate, living on the stack of a
// test. It counts its references and the queries it is asked, answers
// IUnknown with itself when told to, and passes every other query on to the
// inner object it holds, when it holds one. Its counts are interlocked, so
// threads may share one.

#include <windows.h>
#include <unknwn.h>

#include "common/Ownership.h"

class FakeOuter : public IUnknown {
public:
    enum class Identity {
        // Every query fails, IUnknown too: an outer object that the inner one
        // must never need to ask.
        AnswersNothing,
        // IUnknown is answered with the outer object itself.
        AnswersItsOwnUnknown,
    };

    explicit FakeOuter(Identity identity = Identity::AnswersItsOwnUnknown) : identity_(identity) {}
    FakeOuter(const FakeOuter&) = delete;
    FakeOuter& operator=(const FakeOuter&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    // Never frees: the test owns the object.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references_)); }

    // Starts at one: the test's own reference.
    LONG References() const { return references_; }
    LONG Queries() const { return queries_; }

    // The inner object's non-delegating IUnknown, for queries the outer
    // object does not answer itself; the out parameter of CreateInstance.
    ComRef<IUnknown> inner;

private:
    Identity identity_;
    volatile LONG references_ = 1;
    volatile LONG queries_ = 0;
};
