// vrl-discover: lists the language servers of the instrument-discovery control
// as the control finds them, through the localization component category.
//
//   vrl-discover.exe [--texts] [--json | --check]
//
// Exit codes: 0 when the category was read (also when it lists nothing),
// 1 when the platform's category manager cannot be used or, with --check,
// when a server failed its conformance check, 2 for a usage error.

#include <windows.h>
#include <objbase.h>

#include <cwchar>

#include "common/Guids.h"
#include "tools/console/Arguments.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "tools/vrl-discover/CategoryScan.h"
#include "tools/vrl-discover/ConformanceRuns.h"
#include "tools/vrl-discover/Reports.h"

namespace {

constexpr wchar_t kUsage[] = L"Usage: vrl-discover [--texts] [--json | --check]\n"
                             L"Lists the language servers enrolled in the component category of the\n"
                             L"instrument-discovery control's localization resources: for each class its\n"
                             L"CLSID, ProgID and server file, and the language name, language ids and\n"
                             L"version its object reports. A class that cannot be created or asked is\n"
                             L"listed with the failing step and its HRESULT.\n"
                             L"\n"
                             L"  --texts  also every text of the server's string table, as GetString gives it\n"
                             L"  --json   one JSON document instead of text\n"
                             L"  --check  also run the conformance check (vrl-conform) on each server file\n"
                             L"  --help   this text\n"
                             L"\n"
                             L"Output is UTF-8. Exit codes: 0 the category was read (even when it lists\n"
                             L"nothing), 1 the component category manager cannot be used or a server\n"
                             L"failed its conformance check, 2 usage error.\n";

struct Options {
    TextsWanted texts = TextsWanted::No;
    bool json = false;
    bool check = false;
    bool help = false;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        if (IsOption(argv[i], L"--texts")) {
            options.texts = TextsWanted::Yes;
        } else if (IsOption(argv[i], L"--json")) {
            options.json = true;
        } else if (IsOption(argv[i], L"--check")) {
            options.check = true;
        } else if (AsksForHelp(argv[i])) {
            options.help = true;
        } else {
            WriteUtf8(L"vrl-discover: unknown argument \"" + std::wstring(argv[i]) + L"\"\n", STD_ERROR_HANDLE);
            return false;
        }
    }
    if (options.json && options.check) {
        WriteUtf8(L"vrl-discover: --check writes text; it cannot go with --json\n", STD_ERROR_HANDLE);
        return false;
    }
    return true;
}

int Discover(const Options& options)
{
    CategoryListing listing;
    const HRESULT result = ScanCategory(CATID_LocalizationCategory, options.texts, listing);
    if (FAILED(result)) {
        WriteUtf8(L"vrl-discover: the component category manager cannot be used: " + Hex(result) + L"\n",
                  STD_ERROR_HANDLE);
        return kExitFailure;
    }
    WriteUtf8(options.json ? JsonReport(listing, options.texts) : PlainReport(listing, options.texts));
    if (options.check && CheckServers(listing) > 0)
        return kExitFailure;
    return kExitSuccess;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        WriteUtf8(kUsage, STD_ERROR_HANDLE);
        return kExitUsage;
    }
    if (options.help) {
        WriteUtf8(kUsage);
        return kExitSuccess;
    }
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(initialised)) {
        WriteUtf8(L"vrl-discover: CoInitializeEx failed: " + Hex(initialised) + L"\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    const int status = Discover(options);
    CoUninitialize();
    return status;
}
