// Registration benchmark: the server's own registry script applied and
// removed by the engine, against the same keys and values made and deleted
// with direct registry calls; and a script ten times as long against one of
// N keys, which shows whether the engine stays linear.
//
// Everything happens below a scratch key that HKEY_CLASSES_ROOT is redirected
// to for this process.

#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/Comparison.h"
#include "common/ResourceIds.h"
#include "regscript/ReplacementMap.h"
#include "registration/ScratchClassesRoot.h"
#include "regscript/ScriptEngine.h"
#include "regscript/ScriptLexer.h"
#include "server/ServerModule.h"

namespace {

constexpr wchar_t kScratchKeyPrefix[] = L"Software\\VrlDiscoveryBench ";
constexpr double kScriptGoal = 1.3;
constexpr double kLinearGoal = 11.0;
constexpr int kKeysPerScript = 20;
constexpr int kScaleFactor = 10;
constexpr Repetition kScriptRepetition{20, 15};
constexpr Repetition kScaleRepetition{2, 7, 2 * kScaleFactor};
constexpr char kModulePath[] = "C:\\Program Files\\Varnel\\VrlDiscoveryResES.dll";
constexpr char kClassKey[] = "CLSID\\{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}";
constexpr char kProgId[] = "VrlDiscoveryResES.SpanishResources";
constexpr char kClassName[] = "VrlDiscoverySpanishResources Class";
constexpr char kClsid[] = "{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}";

// The script as the server carries it, read from the built DLL.
std::string ServerScript()
{
    const HMODULE server = LoadLibraryExW(L"VrlDiscoveryResES.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC resource =
        server ? FindResourceW(server, MAKEINTRESOURCEW(kServerScriptResourceId), kScriptResourceType) : nullptr;
    std::string text;
    if (resource)
        text.assign(static_cast<const char*>(LockResource(LoadResource(server, resource))),
                    SizeofResource(server, resource));
    if (server)
        FreeLibrary(server);
    return text;
}

// A root body of `keys` keys, each with a default value and a named one.
std::string GeneratedScript(int keys)
{
    std::string text = "HKCR\r\n{\r\n\tNoRemove Bench\r\n\t{\r\n";
    for (int i = 0; i < keys; ++i) {
        const std::string name = "Key" + std::to_string(i);
        text +=
            "\t\t" + name + " = s 'Value of " + name + "'\r\n\t\t{\r\n\t\t\tval Named = s 'Named value'\r\n\t\t}\r\n";
    }
    return text + "\t}\r\n}\r\n";
}

void SetString(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), lstrlenA(text) + 1);
}

// One key with its default value, closed again.
void CreateWithDefault(const std::string& path, const char* text, const char* named = nullptr,
                       const char* namedText = nullptr)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (text)
        SetString(key, nullptr, text);
    if (named)
        SetString(key, named, namedText);
    RegCloseKey(key);
}

// What the server's script makes, made and deleted key by key.
void DirectRegistration()
{
    const std::string progId = kProgId;
    const std::string versioned = progId + ".1";
    const std::string classKey = kClassKey;
    CreateWithDefault(versioned, kClassName);
    CreateWithDefault(versioned + "\\CLSID", kClsid);
    CreateWithDefault(progId, kClassName);
    CreateWithDefault(progId + "\\CLSID", kClsid);
    CreateWithDefault(progId + "\\CurVer", versioned.c_str());
    CreateWithDefault(classKey, kClassName);
    CreateWithDefault(classKey + "\\ProgID", versioned.c_str());
    CreateWithDefault(classKey + "\\VersionIndependentProgID", kProgId);
    CreateWithDefault(classKey + "\\Programmable", nullptr);
    CreateWithDefault(classKey + "\\InprocServer32", kModulePath, "ThreadingModel", "Apartment");
    CreateWithDefault(classKey + "\\TypeLib", "{C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}");
    const std::string deepestFirst[] = {
        versioned + "\\CLSID",
        versioned,
        progId + "\\CLSID",
        progId + "\\CurVer",
        progId,
        classKey + "\\ProgID",
        classKey + "\\VersionIndependentProgID",
        classKey + "\\Programmable",
        classKey + "\\InprocServer32",
        classKey + "\\TypeLib",
        classKey,
    };
    for (const auto& path : deepestFirst)
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
}

class ScriptRun {
public:
    explicit ScriptRun(std::string text) : text_(std::move(text)), lexer_(map_)
    {
        wchar_t path[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, kModulePath, -1, path, MAX_PATH);
        map_.Insert(L"Module", path);
    }
    void operator()()
    {
        ApplyScript(lexer_, text_.c_str(), ScriptMode::Register);
        ApplyScript(lexer_, text_.c_str(), ScriptMode::Unregister);
    }

private:
    std::string text_;
    ReplacementMap map_;
    ScriptLexer lexer_;
};

}  // namespace

int main()
{
    ModuleStart(nullptr, GetModuleHandleW(nullptr));
    const ScratchClassesRoot scratch(kScratchKeyPrefix);
    CreateWithDefault("CLSID", nullptr);
    CreateWithDefault("Bench", nullptr);

    const std::string serverScript = ServerScript();
    if (serverScript.empty()) {
        std::printf("the server's registry script cannot be read\n");
        return 1;
    }
    {
        // The runs hold module memory: they end before the module stops.
        ScriptRun serverRun(serverScript);
        ScriptRun smallRun(GeneratedScript(kKeysPerScript));
        ScriptRun largeRun(GeneratedScript(kKeysPerScript * kScaleFactor));

        const ComparisonResult results[] = {
            Compare(
                "server script: register + unregister", [&serverRun] { serverRun(); },
                "the same keys and values made and deleted with direct registry calls", DirectRegistration,
                kScriptRepetition, kScriptGoal),
            Compare(
                "script of 200 keys: register + unregister", [&largeRun] { largeRun(); }, "script of 20 keys",
                [&smallRun] { smallRun(); }, kScaleRepetition, kLinearGoal),
        };
        std::printf("Fastest of several passes, both sides alternating, below a redirected HKEY_CLASSES_ROOT.\n\n");
        PrintTable(results, static_cast<int>(sizeof results / sizeof results[0]));
    }
    ModuleStop();
    return 0;
}
