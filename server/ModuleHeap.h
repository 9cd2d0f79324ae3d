#pragma once
// Creation and destruction of the module's heaps (the allocator itself is
// declared in ServerModule.h).

#include "server/HeapLayout.h"

struct ServerModule;

// Creates the heaps for the platform the module runs on.
void ModuleHeapSetup(ServerModule& module);
// Creates the main heap and, for a multi-heap layout, the extra heaps. When
// the handle array or an extra heap cannot be had, what was made goes again
// and the module runs on the main heap alone; without a main heap every
// allocation fails.
void ModuleHeapCreate(ServerModule& module, HeapLayout layout);
void ModuleHeapTeardown(ServerModule& module);

// The layout for the running platform and its processor count.
HeapLayout PlatformHeapLayout();
