// The 32-bit program starts on Windows XP. GCC's C++ runtime, linked
// statically, brings the POSIX thread runtime with it, whose timed waits read
// the clock through kernel32's GetTickCount64: an import that Windows XP
// lacks, so the loader would refuse the whole program. Nothing here starts a
// thread or waits with a time-out, yet the import is there all the same.
// Defining its import slot in the program itself keeps it out of the import
// table: the runtime calls TickCount64 below, which hands over to the real
// GetTickCount64 wherever kernel32 has it.
#include <windows.h>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

// Milliseconds since Windows started.
ULONGLONG WINAPI TickCount64()
{
    // Looked up on each call: nothing cached, so nothing shared between threads.
    const FARPROC pfnReal = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64");
    if (pfnReal != nullptr) {
        return reinterpret_cast<TickCount64Fn>(reinterpret_cast<void (*)()>(pfnReal))();
    }
    return GetTickCount();  // before Vista: wraps to 0 every 49.7 days
}

}  // namespace

// The slot through which the runtime calls GetTickCount64: __imp_ plus the
// function's stdcall name, as the 32-bit import libraries spell it.
extern "C" const TickCount64Fn g_pfnImpGetTickCount64 __asm__("__imp__GetTickCount64@0");
extern "C" const TickCount64Fn g_pfnImpGetTickCount64 = TickCount64;
