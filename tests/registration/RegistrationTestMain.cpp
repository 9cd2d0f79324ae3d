// The registration tests run with the module started, as the engine's
// allocations come from the module heap.

#include <gtest/gtest.h>

#include "server/ServerModule.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    ModuleStart(nullptr, GetModuleHandleW(nullptr));
    const int result = RUN_ALL_TESTS();
    ModuleStop();
    return result;
}
