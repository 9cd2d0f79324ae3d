#pragma once
// The server's creatable classes.

#include "server/ServerModule.h"

extern ClassEntry g_classTable[];
