// Read-call figures on Linux come from the platform stand-in's counter.
#include "tool_input.h"

long ReadCallCount()
{
    return static_cast<long>(StandinReadCalls());
}
