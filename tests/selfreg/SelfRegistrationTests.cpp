// Self-registration on the real platform: regsvr32 registers and removes the
// server in the guest's prefix, and what it leaves behind is read back from
// the registry and compared with the table below.

#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/regscript/TestArea.h"
#include "tests/selfreg/SelfRegistrationSupport.h"
#include "tests/support/ComApartment.h"
#include "tests/support/ImportPatch.h"
#include "tests/support/LoadedServer.h"
#include "tests/support/ServerBitness.h"

namespace {

const std::string Clsid = "{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}";
const std::string LibId = "{C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}";
const std::string CatId = "{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}";
const std::string ProgId = "VrlDiscoveryResES.SpanishResources";
const std::string ClassName = "VrlDiscoverySpanishResources Class";
// The library is hidden (4); the platform adds its disk-image flag (8).
const std::string RegisteredLibraryFlags = "12";

// Everything the server registers, and the category it leaves in place.
const std::string ServerKeys[] = {
    ProgId + ".1", ProgId, "CLSID\\" + Clsid, "TypeLib\\" + LibId, "Component Categories\\" + CatId,
};

// The server's keys below root\classes, each labelled as under HKCR.
std::string RegistrySnapshot(HKEY root = HKEY_CLASSES_ROOT, const std::string& classes = "")
{
    std::string text;
    for (const auto& key : ServerKeys)
        text += SnapshotKey(root, classes + key, "HKCR\\" + key);
    return SortedLines(text);
}

std::string UserSnapshot()
{
    return RegistrySnapshot(HKEY_CURRENT_USER, "Software\\Classes\\");
}

std::string MachineSnapshot()
{
    return RegistrySnapshot(HKEY_LOCAL_MACHINE, "Software\\Classes\\");
}

std::string CategoryLines()
{
    return "HKCR\\Component Categories\\" + CatId + "\n" + "HKCR\\Component Categories\\" + CatId +
        " [409] S Varnel Instrument Discovery Control Localization Resources\n";
}

// The registry after a registration of `server` whose library came from
// `library`, with `helpDirectory`.
std::string ExpectedRegistration(const std::wstring& server, const std::wstring& library,
                                 const std::wstring& helpDirectory, bool enrolled)
{
    const std::string progIdKey = "HKCR\\" + ProgId;
    const std::string classKey = "HKCR\\CLSID\\" + Clsid;
    const std::string libKey = "HKCR\\TypeLib\\" + LibId + "\\1.0";
    std::string text;
    auto line = [&text](const std::string& entry) { text += entry + "\n"; };
    line(progIdKey + ".1");
    line(progIdKey + ".1 [] S " + ClassName);
    line(progIdKey + ".1\\CLSID");
    line(progIdKey + ".1\\CLSID [] S " + Clsid);
    line(progIdKey);
    line(progIdKey + " [] S " + ClassName);
    line(progIdKey + "\\CLSID");
    line(progIdKey + "\\CLSID [] S " + Clsid);
    line(progIdKey + "\\CurVer");
    line(progIdKey + "\\CurVer [] S " + ProgId + ".1");
    line(classKey);
    line(classKey + " [] S " + ClassName);
    if (enrolled) {
        line(classKey + "\\Implemented Categories");
        line(classKey + "\\Implemented Categories\\" + CatId);
    }
    line(classKey + "\\InprocServer32");
    line(classKey + "\\InprocServer32 [] S " + ToAnsi(server));
    line(classKey + "\\InprocServer32 [ThreadingModel] S Apartment");
    line(classKey + "\\ProgID");
    line(classKey + "\\ProgID [] S " + ProgId + ".1");
    line(classKey + "\\Programmable");
    line(classKey + "\\TypeLib");
    line(classKey + "\\TypeLib [] S " + LibId);
    line(classKey + "\\VersionIndependentProgID");
    line(classKey + "\\VersionIndependentProgID [] S " + ProgId);
    line("HKCR\\TypeLib\\" + LibId);
    line(libKey);
    line(libKey + " [] S VrlDiscoveryResES 1.0 Type Library");
    line(libKey + "\\0");
    line(libKey + "\\0\\" + kTypeLibPlatformKey);
    line(libKey + "\\0\\" + kTypeLibPlatformKey + " [] S " + ToAnsi(library));
    line(libKey + "\\FLAGS");
    line(libKey + "\\FLAGS [] S " + RegisteredLibraryFlags);
    line(libKey + "\\HELPDIR");
    line(libKey + "\\HELPDIR [] S " + ToAnsi(helpDirectory));
    return text;
}

std::string Registered(const std::wstring& server)
{
    return SortedLines(ExpectedRegistration(server, server, FolderOf(server), true) + CategoryLines());
}

std::wstring ClassValue(const std::wstring& subkey)
{
    return RegistryText(HKEY_CLASSES_ROOT, L"CLSID\\" + ToWide(Clsid) + L"\\" + subkey);
}

std::wstring LibraryPathValue()
{
    return RegistryText(HKEY_CLASSES_ROOT, L"TypeLib\\" + ToWide(LibId) + L"\\1.0\\0\\" + kTypeLibPlatformKeyW);
}

class SelfRegistration : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Regsvr32(L"/u", BuiltServer()), kRegsvr32Success);
        const std::string left = RegistrySnapshot();
        ASSERT_TRUE(left.empty() || left == SortedLines(CategoryLines())) << left;
    }
    void TearDown() override { Regsvr32(L"/u", BuiltServer()); }
};

TEST_F(SelfRegistration, Regsvr32WritesEveryKeyAndValueOnceAndRemovesThemAgain)
{
    const std::wstring server = BuiltServer();
    const std::string expected = Registered(server);

    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), expected);

    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), expected) << "a second registration changed the registry";

    ASSERT_EQ(Regsvr32(L"/u", server), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), SortedLines(CategoryLines())) << "only the category may stay";

    EXPECT_EQ(Regsvr32(L"/u", server), kRegsvr32Success) << "removing what is absent is a success";
    EXPECT_EQ(RegistrySnapshot(), SortedLines(CategoryLines()));
}

TEST_F(SelfRegistration, AClientCreatesTheRegisteredClassByProgIdAndByClsid)
{
    const std::wstring server = BuiltServer();
    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    for (const std::string& name : {ProgId, ProgId + ".1", Clsid}) {
        std::string output;
        ASSERT_EQ(RunProcess(L"vrlres-show.exe --registered " + ToWide(name), &output), 0u) << output;
        EXPECT_NE(output.find("Server file: " + ToUtf8(server) + "\n"), std::string::npos) << output;
        EXPECT_NE(output.find("LanguageName: \"Spanish\""), std::string::npos) << output;
        EXPECT_NE(output.find("452\t\"Tama\xC3\xB1o:\""), std::string::npos) << output;
    }
}

// Each copy registers a path that names the copy itself: a quote, a percent
// sign, blanks, a letter of the ANSI code page and one outside it.
TEST_F(SelfRegistration, ServersInAwkwardFoldersRegisterPathsToThemselves)
{
    const wchar_t* const folders[] = {L"It's here", L"100% sure", L"with  two  blanks", L"A\u00F1o", L"\u03A9mega"};
    for (const wchar_t* folder : folders) {
        SCOPED_TRACE(ToUtf8(folder));
        const ScratchFolder scratch(folder);
        const std::wstring copy = scratch.Copy(BuiltServer(), L"VrlDiscoveryResES.dll");
        ASSERT_EQ(Regsvr32(L"", copy), kRegsvr32Success);

        const std::wstring registered = ClassValue(L"InprocServer32");
        EXPECT_TRUE(SameFile(registered, copy)) << ToUtf8(registered);
        EXPECT_TRUE(SameFile(LibraryPathValue(), copy)) << ToUtf8(LibraryPathValue());
        if (SurvivesAnsi(copy))
            EXPECT_EQ(registered, copy);

        std::string output;
        EXPECT_EQ(RunProcess(L"vrlres-show.exe --registered " + ToWide(ProgId), &output), 0u) << output;
        EXPECT_TRUE(SameFile(ToWide(LineAfter(output, "Server file: ")), copy)) << output;

        ASSERT_EQ(Regsvr32(L"/u", copy), kRegsvr32Success);
        EXPECT_EQ(RegistrySnapshot(), SortedLines(CategoryLines()));
    }
}

TEST_F(SelfRegistration, ALibraryFileBesideAServerWithoutOneIsRegistered)
{
    const ScratchFolder scratch(L"fallback");
    const std::wstring copy =
        scratch.Copy(FolderOf(BuiltServer()) + L"without-typelib\\VrlDiscoveryResES.dll", L"VrlDiscoveryResES.dll");
    ITypeLib* library = nullptr;
    const HRESULT loaded = LoadTypeLibEx(copy.c_str(), REGKIND_NONE, &library);
    if (library)
        library->Release();
    ASSERT_TRUE(FAILED(loaded)) << "the copy still holds its library";
    const std::wstring tlb = scratch.Copy(FolderOf(BuiltServer()) + L"VrlDiscoveryResES.tlb", L"VrlDiscoveryResES.tlb");

    ASSERT_EQ(Regsvr32(L"", copy), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), SortedLines(ExpectedRegistration(copy, tlb, scratch.Path(), true) + CategoryLines()));

    ASSERT_EQ(Regsvr32(L"/u", copy), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), SortedLines(CategoryLines()));
}

// regsvr32 /n /i:user writes the user's classes only, and takes them away
// again; a command line it does not know changes nothing.
TEST_F(SelfRegistration, PerUserInstallationWritesTheUsersClassesOnly)
{
    const std::wstring server = BuiltServer();
    const std::string machine = MachineSnapshot();
    const std::string userBefore = UserSnapshot();
    ASSERT_TRUE(userBefore.empty() || userBefore == SortedLines(CategoryLines())) << userBefore;

    EXPECT_NE(Regsvr32(L"/n /i:everyone", server), kRegsvr32Success);
    EXPECT_NE(Regsvr32(L"/u /n /i:everyone", server), kRegsvr32Success);
    EXPECT_EQ(UserSnapshot(), userBefore);
    EXPECT_EQ(MachineSnapshot(), machine);

    ASSERT_EQ(Regsvr32(L"/n /i:user", server), kRegsvr32Success);
    EXPECT_EQ(UserSnapshot(), Registered(server));
    EXPECT_EQ(MachineSnapshot(), machine) << "nothing may go to the machine's classes";

    ASSERT_EQ(Regsvr32(L"/u /n /i:user", server), kRegsvr32Success);
    EXPECT_EQ(UserSnapshot(), SortedLines(CategoryLines())) << "only the user's category may stay";
    EXPECT_EQ(MachineSnapshot(), machine);
    EXPECT_EQ(Regsvr32(L"/u /n /i:user", server), kRegsvr32Success);
    RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Classes\\" + ServerKeys[4]).c_str());
}

// What a client gets after regsvr32 /n /i:user. Windows merges the user's
// classes into HKEY_CLASSES_ROOT; this Wine does not, so a client finds the
// class by neither ProgID nor CLSID, nor in the category, and reaches the
// server only through the file that the user's class key names. The day
// Wine merges them, this test fails, and the README and the platform notes
// must say so.
TEST_F(SelfRegistration, APerUserRegistrationReachesAClientOnlyThroughTheUsersClassKey)
{
    constexpr DWORD kToolFailed = 1;
    const std::wstring server = BuiltServer();
    ASSERT_EQ(Regsvr32(L"/n /i:user", server), kRegsvr32Success);
    struct Removal {
        ~Removal()
        {
            Regsvr32(L"/u /n /i:user", BuiltServer());
            RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Classes\\" + ServerKeys[4]).c_str());
        }
    } removal;

    const std::wstring userServer =
        RegistryText(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + ToWide(Clsid) + L"\\InprocServer32");
    ASSERT_TRUE(SameFile(userServer, server)) << ToUtf8(userServer);
    std::string output;
    ASSERT_EQ(RunProcess(L"vrlres-show.exe \"" + userServer + L"\"", &output), 0u) << output;
    EXPECT_NE(output.find("LanguageName: \"Spanish\""), std::string::npos) << output;

    const char* const merged = "Wine now shows the user's classes to clients: update the README and the notes";
    EXPECT_EQ(ClassValue(L"InprocServer32"), L"") << merged;
    EXPECT_EQ(RunProcess(L"vrlres-show.exe --registered " + ToWide(ProgId), &output), kToolFailed) << merged;
    EXPECT_NE(output.find("CLSIDFromProgID failed: 0x800401F3"), std::string::npos) << output;
    EXPECT_EQ(RunProcess(L"vrlres-show.exe --registered " + ToWide(Clsid), &output), kToolFailed) << merged;
    EXPECT_NE(output.find("CoCreateInstance failed: 0x80040154"), std::string::npos) << output;
    ASSERT_EQ(RunProcess(L"vrl-discover.exe", &output), 0u) << output;
    EXPECT_EQ(output.find(Clsid), std::string::npos) << merged << "\n" << output;
}

// The class key, and the reg tool's switches for the other registry view.
const std::wstring ClassKeyName = L"HKCR\\CLSID\\" + ToWide(Clsid);
const std::wstring OtherView = sizeof(void*) == sizeof(DWORD) ? L" /f /reg:64" : L" /f /reg:32";

// The same class key in each hive's own classes.
const std::wstring MachineClassKeyName = L"HKLM\\Software\\Classes\\CLSID\\" + ToWide(Clsid);
const std::wstring UserClassKeyName = L"HKCU\\Software\\Classes\\CLSID\\" + ToWide(Clsid);
// The type library's key, which both views share, and the other view's file.
const std::wstring LibraryKeyName = L"HKCR\\TypeLib\\" + ToWide(LibId);
const std::wstring OtherPlatformKey = sizeof(void*) == sizeof(DWORD) ? L"win64" : L"win32";

class OtherViewRegistration : public SelfRegistration {
protected:
    void TearDown() override
    {
        for (const std::wstring& key : {ClassKeyName, MachineClassKeyName, UserClassKeyName, LibraryKeyName})
            RunProcess(L"reg delete " + key + OtherView);
        Regsvr32(L"/u /n /i:user", BuiltServer());
        RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Classes\\" + ServerKeys[4]).c_str());
        SelfRegistration::TearDown();
    }
};

// Only a registration in the hive being removed from shares its ProgIDs: one
// in the other hive would keep them for ever, since nothing else removes them.
TEST_F(OtherViewRegistration, TheOtherHivesRegistrationKeepsNoProgIds)
{
    const std::wstring server = BuiltServer();
    ASSERT_EQ(RunProcess(L"reg add " + UserClassKeyName + L"\\InprocServer32" + OtherView), 0u);
    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    ASSERT_EQ(Regsvr32(L"/u", server), kRegsvr32Success);
    EXPECT_EQ(MachineSnapshot(), SortedLines(CategoryLines())) << "a user's registration kept the machine's ProgIDs";
    ASSERT_EQ(RunProcess(L"reg delete " + UserClassKeyName + OtherView), 0u);

    ASSERT_EQ(RunProcess(L"reg add " + MachineClassKeyName + L"\\InprocServer32" + OtherView), 0u);
    ASSERT_EQ(Regsvr32(L"/n /i:user", server), kRegsvr32Success);
    ASSERT_EQ(Regsvr32(L"/u /n /i:user", server), kRegsvr32Success);
    EXPECT_EQ(UserSnapshot(), SortedLines(CategoryLines())) << "the machine's registration kept the user's ProgIDs";
}

// The ProgID keys are shared by both views: removing this bitness keeps them
// while the other still registers the class, and the last removal takes them.
TEST_F(OtherViewRegistration, KeepsTheProgIdsUntilTheLastRemoval)
{
    ASSERT_EQ(RunProcess(L"reg add " + ClassKeyName + L"\\InprocServer32" + OtherView), 0u);
    if (RegistrySnapshot().find("CLSID") != std::string::npos)
        GTEST_SKIP() << "the platform has one registry view only";
    const std::wstring server = BuiltServer();

    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    ASSERT_EQ(Regsvr32(L"/u", server), kRegsvr32Success);
    const std::string kept = RegistrySnapshot();
    EXPECT_EQ(kept.find("HKCR\\CLSID"), std::string::npos) << kept;
    for (const std::string& key : {ProgId + ".1", ProgId + "\\CurVer"})
        EXPECT_NE(kept.find("HKCR\\" + key + " [] S "), std::string::npos) << kept;

    ASSERT_EQ(RunProcess(L"reg delete " + ClassKeyName + OtherView), 0u);
    ASSERT_EQ(Regsvr32(L"/u", server), kRegsvr32Success);
    EXPECT_EQ(RegistrySnapshot(), SortedLines(CategoryLines()));
}

// The help folder is one key for both views: once this bitness is removed, it
// names the folder of the other bitness's library, which stays.
TEST_F(OtherViewRegistration, TheHelpFolderNamesTheLibraryThatStays)
{
    const std::wstring server = BuiltServer();
    const std::wstring otherFile = L"C:\\other bitness\\VrlDiscoveryResES.dll";
    ASSERT_EQ(Regsvr32(L"", server), kRegsvr32Success);
    ASSERT_EQ(RunProcess(L"reg add \"" + LibraryKeyName + L"\\1.0\\0\\" + OtherPlatformKey + L"\" /ve /d \"" +
                         otherFile + L"\"" + OtherView),
              0u);
    ASSERT_EQ(Regsvr32(L"/u", server), kRegsvr32Success);

    const std::wstring library = L"TypeLib\\" + ToWide(LibId) + L"\\1.0\\";
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, library + L"0\\" + OtherPlatformKey), otherFile);
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, library + L"HELPDIR"), FolderOf(otherFile));
}

namespace {
// The platform as it was before it registered type libraries per user: the
// server looks the functions up, and finds nothing.
FARPROC WINAPI LookUpWithoutPerUserLibraries(HMODULE module, LPCSTR name)
{
    const bool byName = HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0;
    if (byName && (lstrcmpA(name, "RegisterTypeLibForUser") == 0 || lstrcmpA(name, "UnRegisterTypeLibForUser") == 0))
        return nullptr;
    return GetProcAddress(module, name);
}
}  // namespace

// Where the platform lacks the per-user library functions, the server still
// loads, and per-user installation fails before it writes anything.
TEST_F(SelfRegistration, PerUserInstallationFailsCleanlyWithoutThePlatformsPerUserLibraryFunctions)
{
    LoadedServer server(BuiltServer());
    ASSERT_TRUE(server.Loaded());
    using InstallExport = HRESULT(WINAPI*)(BOOL install, LPCWSTR commandLine);
    const auto install =
        reinterpret_cast<InstallExport>(reinterpret_cast<void (*)()>(GetProcAddress(server.Module(), "DllInstall")));
    ASSERT_NE(install, nullptr);
    ImportPatch lookup(server.Module(), "kernel32.dll", "GetProcAddress",
                       reinterpret_cast<const void*>(&LookUpWithoutPerUserLibraries));
    ASSERT_TRUE(lookup.Active());

    const std::string machine = MachineSnapshot();
    const std::string user = UserSnapshot();
    const HRESULT missing = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(install(TRUE, L"user"), missing);
    EXPECT_EQ(UserSnapshot(), user) << "a failed per-user installation leaves nothing behind";
    EXPECT_EQ(install(FALSE, L"user"), missing);
    EXPECT_EQ(UserSnapshot(), user);
    EXPECT_EQ(MachineSnapshot(), machine);
}

// Run in a process of its own: the categories manager must never have been
// created there.
TEST(NoCategoryManager, RegistrationAndRemovalReportTheCategoryStep)
{
    // Whether an earlier run left the category or not, it is not touched here.
    const std::string category = SnapshotKey(HKEY_CLASSES_ROOT, ServerKeys[4], "HKCR\\" + ServerKeys[4]);
    const HiddenCategoriesManager hidden;
    ASSERT_TRUE(hidden.IsHidden());
    const ComApartment apartment;
    ASSERT_TRUE(SUCCEEDED(apartment.Result()));
    LoadedServer server(BuiltServer());
    ASSERT_TRUE(server.Loaded());

    EXPECT_EQ(server.Register(), SELFREG_E_CLASS);
    const std::wstring built = BuiltServer();
    EXPECT_EQ(RegistrySnapshot(), SortedLines(ExpectedRegistration(built, built, FolderOf(built), false) + category))
        << "the script and the type library stay registered";

    EXPECT_EQ(server.Unregister(), SELFREG_E_CLASS);
    EXPECT_EQ(RegistrySnapshot(), category) << "the script and the type library are removed all the same";
}

}  // namespace
