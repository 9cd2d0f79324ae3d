// The allocation-failure walk over the registry engine: the replacement map
// and the expansion pass, with each allocation they make failing in turn. A
// run that meets a failure ends with a failure code and leaves the registry
// as it found it; the run without one registers or removes the whole script.
// Further entry points (the registration exports) walk the same way through
// WalkRegistration.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptEngine.h"
#include "tests/regscript/EngineTestSupport.h"
#include "tests/support/AllocationFaults.h"
#include "tests/support/FailureWalk.h"
#include "tests/support/SourceTreeFile.h"
#include "tests/support/TaskMemoryCount.h"

namespace {
constexpr char kModuleValue[] = "'%MODULE%'";
constexpr int kModuleRepeats = 8;

// The server's script with its module reference said eight times over, so
// that the expansion buffer has to grow.
std::string ClassScriptWithLongModule()
{
    std::string script = ReadServerScript();
    const size_t at = script.find(kModuleValue);
    if (at == std::string::npos)
        return {};
    std::string repeated;
    for (int i = 0; i < kModuleRepeats; ++i)
        repeated += "%MODULE%";
    return script.replace(at, sizeof kModuleValue - 1, "'" + repeated + "'");
}

const wchar_t kLongModulePath[] =
    L"C:\\Program Files\\Varnel\\Instrument Discovery\\Localization\\Spanish\\VrlDiscoveryResES.dll";

HRESULT ApplyWithModule(const std::string& script, ScriptMode mode)
{
    ReplacementMap map;
    HRESULT hr = map.Insert(L"Module", kLongModulePath);
    if (FAILED(hr))
        return hr;
    ScriptLexer lexer(map);
    return ApplyScript(lexer, script.c_str(), mode);
}

// Walks `apply`, which works on the registry from `before`; a failed run must
// leave `before`, the run without a failure `after`.
void WalkRegistration(const std::string& name, const std::function<HRESULT()>& apply, const std::string& before,
                      const std::string& after, const std::function<void()>& prepare)
{
    TestArea& area = EngineArea();
    TaskMemoryCount taskMemory;
    ASSERT_TRUE(taskMemory.Registered());
    const LONG runs = WalkAllocationFailures(name.c_str(), [&](LONG n) {
        prepare();
        const std::string start = area.Snapshot();
        EXPECT_EQ(start, before) << name;
        const LONG taskMemoryBefore = taskMemory.Live();
        HRESULT hr;
        bool injected;
        {
            AllocationFaults faults(GetModuleHandleW(nullptr));
            AllocationFaults::ResetLiveHeapBlocks();
            AllocationFaults::FailNth(n);
            hr = apply();
            injected = AllocationFaults::Injected();
            AllocationFaults::Disarm();
            EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0) << name << ", allocation " << n << " failing";
        }
        EXPECT_EQ(taskMemory.Live(), taskMemoryBefore) << name << ", allocation " << n << " failing";
        // The map's lookup allocates nothing, so a failure is never taken
        // for an unknown reference.
        if (injected) {
            EXPECT_EQ(hr, E_OUTOFMEMORY) << name << ", allocation " << n << " failing: " << HexCode(hr);
            EXPECT_EQ(area.Snapshot(), before) << name << ", allocation " << n << " failing: registry changed";
        } else {
            EXPECT_EQ(hr, S_OK) << name;
            EXPECT_EQ(area.Snapshot(), after) << name;
        }
        return injected;
    });
    EXPECT_GT(runs, 3) << name << ": the map, its strings and the expansion buffer at least";
}
}

TEST(EngineAllocationFailures, RegisterAndUnregisterTheClassScript)
{
    TestArea& area = EngineArea();
    const std::string classScript = ClassScriptWithLongModule();
    ASSERT_FALSE(classScript.empty()) << "the server's script, with its module reference";
    // Registered once and removed again: the protected CLSID key stays.
    auto afterRemoval = [&] {
        area.Reset();
        ApplyWithModule(classScript, ScriptMode::Register);
        ApplyWithModule(classScript, ScriptMode::Unregister);
    };
    auto registeredOnce = [&] {
        area.Reset();
        ApplyWithModule(classScript, ScriptMode::Register);
    };
    afterRemoval();
    const std::string unregistered = area.Snapshot();
    registeredOnce();
    const std::string registered = area.Snapshot();
    ASSERT_NE(registered, unregistered);

    WalkRegistration(
        "register", [&] { return ApplyWithModule(classScript, ScriptMode::Register); }, unregistered, registered,
        afterRemoval);
    WalkRegistration(
        "unregister", [&] { return ApplyWithModule(classScript, ScriptMode::Unregister); }, registered, unregistered,
        registeredOnce);
    area.Reset();
}
