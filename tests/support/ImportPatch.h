#pragma once
// Points one imported function of a loaded module at a replacement, by
// rewriting the module's import address table, and puts the original back
// when the patch goes out of scope. This is how the tests reach the calls a
// module makes into the platform without the module offering any hook.

#include <windows.h>

class ImportPatch {
public:
    // dll is matched without regard to case ("kernel32.dll"); when the module
    // does not import the function, the patch is inactive.
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch();

    bool Active() const { return slot_ != nullptr; }
    // Keeps the replacement: for a module whose table is about to go away.
    void Abandon() { slot_ = nullptr; }
    // The function the slot held before.
    const void* Original() const { return original_; }

private:
    void** slot_ = nullptr;
    const void* original_ = nullptr;
};

// The import address table slot of dll!function in module, or null.
void** FindImportSlot(HMODULE module, const char* dll, const char* function);
