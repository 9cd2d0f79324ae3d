// What the object layer refuses on its own, whoever calls it: an aggregate
// asked for anything but its IUnknown, and the abstract slots, whose trap
// must never come back.

#include <windows.h>

#include <gtest/gtest.h>

#include "server/AbstractSlotTrap.h"
#include "common/Guids.h"
#include "dll/ResourceObjectForms.h"
#include "server/ServerModule.h"
#include "tests/support/CheckedModuleLife.h"
#include "tests/support/FakeOuter.h"

namespace {
#ifdef _WIN64
auto& InstructionPointer(CONTEXT& context)
{
    return context.Rip;
}
#else
auto& InstructionPointer(CONTEXT& context)
{
    return context.Eip;
}
#endif

LONG WINAPI StepOverBreakpoint(EXCEPTION_POINTERS* exception)
{
    constexpr BYTE kBreakpointInstruction = 0xCC;
    if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_BREAKPOINT)
        return EXCEPTION_CONTINUE_SEARCH;
    auto& instruction = InstructionPointer(*exception->ContextRecord);
    if (*reinterpret_cast<const BYTE*>(instruction) == kBreakpointInstruction)
        ++instruction;
    return EXCEPTION_CONTINUE_EXECUTION;
}

constexpr int kTrapReturned = 3;
}

TEST(ObjectGuards, AnAggregateHandsOutOnlyItsOwnUnknownEvenWhenCalledDirectly)
{
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    FakeOuter outer(FakeOuter::Identity::AnswersNothing);
    for (const IID* iid : {&IID_ILocaleResources, &IID_IDispatch, &IID_IClassFactory}) {
        for (auto create : {CreateResourceObject, CreateAggregated}) {
            void* out = reinterpret_cast<void*>(1);
            EXPECT_EQ(create(&outer, *iid, &out), CLASS_E_NOAGGREGATION);
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(outer.References(), 1);
            EXPECT_EQ(g_module->lockCount, 0) << "no object may be left behind";
        }
    }
    EXPECT_EQ(CreateResourceObject(&outer, IID_IUnknown, nullptr), E_POINTER);
    IUnknown* inner = nullptr;
    ASSERT_EQ(CreateResourceObject(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(g_module->lockCount, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(g_module->lockCount, 0);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}

TEST(ObjectGuardsDeathTest, TheAbstractSlotTrapNeverReturnsEvenWhenTheBreakIsPassedOver)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            AddVectoredExceptionHandler(1, StepOverBreakpoint);
            AbstractSlotTrap();
            ExitProcess(kTrapReturned);
        },
        ::testing::ExitedWithCode(static_cast<int>(kAbstractSlotExitCode)), "");
}
