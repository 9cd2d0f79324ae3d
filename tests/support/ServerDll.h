#pragma once
// The one server DLL of a test process that shares it between tests.

#include "tests/support/LoadedServer.h"

// Loaded on first use and never freed: the module's state lives on between
// tests and up to the process's end, as it does in a real client.
inline LoadedServer& SharedServer()
{
    static LoadedServer* const server = new LoadedServer();
    return *server;
}
