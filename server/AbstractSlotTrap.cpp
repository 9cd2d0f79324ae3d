#include "server/AbstractSlotTrap.h"

ULONG AbstractSlotTrap()
{
    DebugBreak();
    return 0;
}
