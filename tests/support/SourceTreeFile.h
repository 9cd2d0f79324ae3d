#pragma once
// Files of the source tree, read from inside the test machine, where the
// tree is seen at its own path below drive Z:. Tests compare against these
// files instead of keeping copies of their contents.

#include <string>

// The file at `relativePath` (forward slashes, below the top of the tree),
// byte for byte; empty when it cannot be read.
std::string ReadSourceTreeFile(const std::string& relativePath);

// The source language's registry script, as the build wrote it from
// registration/LanguageServer.rgs.in.
std::string ReadServerScript();

// The drive path under which a host path (UTF-8, forward slashes) is seen.
std::wstring HostPathOnDriveZ(const std::string& hostPathUtf8);
