#pragma once
// Creation and destruction of the module's heaps (the allocator itself is
// declared in ServerModule.h).

struct ServerModule;

void ModuleHeapSetup(ServerModule& module);
void ModuleHeapTeardown(ServerModule& module);
