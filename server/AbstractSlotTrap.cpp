#include "server/AbstractSlotTrap.h"

ULONG AbstractSlotTrap()
{
    DebugBreak();
    for (;;)
        TerminateProcess(GetCurrentProcess(), kAbstractSlotExitCode);
}
