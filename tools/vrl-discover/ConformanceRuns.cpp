#include "tools/vrl-discover/ConformanceRuns.h"

#include "common/Ownership.h"
#include "common/Win32Result.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"

namespace {

inline constexpr wchar_t kCheckToolName[] = L"vrl-conform.exe";

using ProcessHandle = UniqueHandle<HANDLE, CloseHandle>;

std::wstring CheckToolPath()
{
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + kCheckToolName;
}

// The check's exit code, or a failure of its own when it cannot be started.
HRESULT RunCheck(const std::wstring& tool, const std::wstring& serverFile, DWORD& exitCode)
{
    std::wstring commandLine = L"\"" + tool + L"\" \"" + serverFile + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started))
        return LastErrorResult();
    const ProcessHandle process(started.hProcess);
    const ProcessHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    if (!GetExitCodeProcess(process.Get(), &exitCode))
        return LastErrorResult();
    return S_OK;
}

}  // namespace

size_t CheckServers(const CategoryListing& listing)
{
    const std::wstring tool = CheckToolPath();
    size_t failed = 0;
    for (const LanguageServer& server : listing.servers) {
        WriteUtf8(L"\n== conformance of " + server.clsid + L"\n");
        if (server.serverFile.empty()) {
            WriteUtf8(L"no server file is registered for the class\n");
            ++failed;
            continue;
        }
        DWORD exitCode = kExitFailure;
        const HRESULT hr = RunCheck(tool, server.serverFile, exitCode);
        if (FAILED(hr))
            WriteUtf8(L"the check cannot be started (" + tool + L"): " + Hex(hr) + L"\n");
        if (FAILED(hr) || exitCode != kExitSuccess)
            ++failed;
    }
    WriteUtf8(L"\n" + std::to_wstring(failed) + L" of " + std::to_wstring(listing.servers.size()) +
              L" servers failed the conformance check.\n");
    return failed;
}
