#pragma once
// The exit codes of the project's command-line tools, the same for each.

// The tool did its job (a listing may still be empty).
inline constexpr int ExitSuccess = 0;
// A step failed; the tool said which, with its HRESULT.
inline constexpr int ExitFailure = 1;
// The command line was not understood.
inline constexpr int ExitUsage = 2;
