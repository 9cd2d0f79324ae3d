#pragma once
// The command-line words that every tool of the project reads alike.

#include <cwchar>

// Whether ARGUMENT is exactly OPTION.
inline bool IsOption(const wchar_t* argument, const wchar_t* option)
{
    return std::wcscmp(argument, option) == 0;
}

// --help, -h or /?.
inline bool AsksForHelp(const wchar_t* argument)
{
    return IsOption(argument, L"--help") || IsOption(argument, L"-h") || IsOption(argument, L"/?");
}
