// The real kernel32 keeps no count of _lread calls.
#include "tool_input.h"

long ReadCallCount()
{
    return -1;
}
