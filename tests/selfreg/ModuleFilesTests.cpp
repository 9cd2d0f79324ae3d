// Reading the module's own files, in process: the script resource and the
// type library, found (or not) the way registration finds them.

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registration/ModuleScript.h"
#include "registration/ServerRegistration.h"
#include "registration/TypeLibRegistration.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"
#include "tests/selfreg/SelfRegistrationSupport.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/LoadedServer.h"

namespace {

ServerModule ModuleOf(HMODULE file)
{
    ServerModule module{};
    module.moduleInstance = file;
    module.typeLibInstance = file;
    return module;
}

TEST(HelpDirectory, EndsAfterTheLastSeparatorOfAnyKind)
{
    EXPECT_EQ(HelpDirLength(L"C:\\Program Files\\Dir\\VrlDiscoveryResES.dll"), 21u);
    EXPECT_EQ(HelpDirLength(L"D:/Dir/Server.dll"), 7u);
    EXPECT_EQ(HelpDirLength(L"C:Server.dll"), 2u);
    EXPECT_EQ(HelpDirLength(L"Server.dll"), 0u);
    EXPECT_EQ(HelpDirLength(L""), 0u);
}

TEST(EscapeQuotes, DoublesEverySingleQuote)
{
    const struct {
        const wchar_t* source;
        const wchar_t* escaped;
    } cases[] = {
        {L"C:\\Program Files\\It's\\server.dll", L"C:\\Program Files\\It''s\\server.dll"},
        {L"C:\\plain\\path.dll", L"C:\\plain\\path.dll"},
        {L"''", L"''''"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t destination[80];
        EscapeQuotes(destination, c.source);
        EXPECT_STREQ(destination, c.escaped);
    }
}

// A module without the script resource is an error, never a success that
// registered nothing.
TEST(ModuleScript, AModuleWithoutTheScriptReportsThePlatformsError)
{
    ModuleStart(nullptr, GetModuleHandleW(nullptr));
    for (const RegistryUpdate update :
         {RegistryUpdate::Register, RegistryUpdate::Unregister, RegistryUpdate::UnregisterOwnView}) {
        const HRESULT hr =
            ApplyModuleScript(ModuleOf(GetModuleHandleW(nullptr)), kServerScriptResourceId, update, nullptr);
        EXPECT_TRUE(FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32) << std::hex << hr;
    }
    ModuleStop();
}

constexpr CLSID kUnregisteredClass = {0x6b1e0f52, 0x93c4, 0x4d8a, {0xb2, 0x7e, 0x15, 0x0c, 0x4f, 0x9a, 0xd3, 0x61}};

// A class whose registry hook writes nothing.
ClassEntry UnregisteredClassRow()
{
    return {&kUnregisteredClass, [](RegistryUpdate) { return S_OK; }, nullptr, nullptr, nullptr, nullptr, nullptr};
}

// A class row registers and unregisters through its registry hook alone: the
// component category is enrolled by the registration sequence, not by a row.
TEST(ClassRegistration, AClassRowRegistersAndUnregistersThroughItsHook)
{
    ClassEntry table[] = {UnregisteredClassRow(), {}};
    ServerModule module = ModuleOf(GetModuleHandleW(nullptr));
    module.classTable = table;
    EXPECT_EQ(ModuleRegisterClasses(module), S_OK);
    EXPECT_EQ(ModuleUnregisterServer(module, false, RegistrationScope::Machine), S_OK);
}

// The automation functions that removal looked up, by name. None is found, so
// that nothing is removed from the test's prefix.
std::vector<std::string> g_lookedUp;

FARPROC WINAPI RecordAutomationLookUp(HMODULE module, LPCSTR name)
{
    const bool byName = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0;
    if (byName && module == GetModuleHandleW(L"oleaut32.dll")) {
        g_lookedUp.emplace_back(name);
        return nullptr;
    }
    return GetProcAddress(module, name);
}

// A per-user removal takes the type library away from the user's classes
// only: the machine's registration of the same library is not the user's.
TEST(TypeLibraryRemoval, APerUserRemovalUsesTheUsersRemovalOnly)
{
    const LoadedServer server(BuiltServer());
    ASSERT_TRUE(server.Loaded());
    ClassEntry table[] = {UnregisteredClassRow(), {}};
    ServerModule module = ModuleOf(server.Module());
    module.moduleInstance = GetModuleHandleW(nullptr);
    module.classTable = table;
    g_lookedUp.clear();
    {
        const ImportPatch lookup(GetModuleHandleW(nullptr), "kernel32.dll", "GetProcAddress",
                                 reinterpret_cast<const void*>(&RecordAutomationLookUp));
        ASSERT_TRUE(lookup.Active());
        EXPECT_EQ(ModuleUnregisterServer(module, true, RegistrationScope::User), S_OK);
    }
    EXPECT_EQ(g_lookedUp, std::vector<std::string>{"UnRegisterTypeLibForUser"});
}

// Only the file name's extension is replaced: a dot in a folder name is no
// extension, and a library beside that folder is never taken.
TEST(TypeLibraryFallback, ReplacesOnlyTheFileNamesExtension)
{
    const ScratchFolder outer(L"fallback.outer");
    const ScratchFolder folder(L"fallback.outer\\My.Dir");
    const std::wstring built = FolderOf(BuiltServer());
    const std::wstring copy = folder.Copy(built + L"without-typelib\\VrlDiscoveryResES.dll", L"Server");
    const std::wstring library = folder.Copy(built + L"VrlDiscoveryResES.tlb", L"Server.tlb");
    const std::wstring decoy = outer.Copy(built + L"VrlDiscoveryResES.tlb", L"My.tlb");

    // The trailing dot keeps the loader from appending ".dll".
    const LoadedServer server(copy + L".");
    ASSERT_TRUE(server.Loaded());
    const ServerModule module = ModuleOf(server.Module());
    UniqueBstr path;
    ComRef<ITypeLib> loaded;
    ASSERT_EQ(ModuleLoadTypeLib(module, path.Put(), loaded.Put()), S_OK);
    EXPECT_STREQ(path.Get(), library.c_str());
    EXPECT_TRUE(loaded);
    DeleteFileW(decoy.c_str());
}

}  // namespace
