#pragma once
// The exit codes of the project's command-line tools, the same for each.

// The tool did its job (a listing may still be empty).
inline constexpr int kExitSuccess = 0;
// A step failed; the tool said which, with its HRESULT.
inline constexpr int kExitFailure = 1;
// The command line was not understood.
inline constexpr int kExitUsage = 2;
