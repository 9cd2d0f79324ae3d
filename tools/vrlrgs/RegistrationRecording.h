#pragma once
// What the server's registration would write into the classes root, recorded
// instead of written: the registry script from the server file's resources,
// the type library embedded in it, and the category rows. Installer packages
// are made from these rows.
//
// The classes root of this process is redirected to a scratch key of this
// process for the recording, and the scratch key is deleted again.

#include <windows.h>

#include <string>

struct RecordingTargets {
    const wchar_t* serverFile;  // the file to read the script and library from
    const wchar_t* installedPath;  // the path written for the server, e.g. "[#ServerFile]"
    const wchar_t* helpDirectory;  // the library's help folder, e.g. "[INSTALLFOLDER]"
};

// One line per row, tab-separated:
//   key   PATH                    a key that holds nothing
//   value PATH NAME TYPE DATA     TYPE sz, dword (decimal) or binary (hex);
//                                 NAME empty for the default value
HRESULT RecordRegistration(const RecordingTargets& targets, std::wstring& rows);
