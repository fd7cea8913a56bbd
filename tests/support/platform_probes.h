// What the code under test left open or allocated, and allocation faults on
// demand, for the Linux builds of the core tests and the fuzz targets. The
// calls are wrapped at link time (--wrap), so the stand-in in src/ stays free
// of test code.
#pragma once

long ProbeOpenFiles();                  // files opened and not yet closed
long ProbeLiveBlocks();                 // global blocks not yet freed
unsigned long ProbeAllocations();       // GlobalAlloc calls since start, failed ones too
unsigned long long ProbeLargestAsk();   // bytes of the largest GlobalAlloc asked since start
unsigned long ProbeMessageBoxes();      // MessageBoxA calls since start
const char* ProbeLastMessageText();     // text of the last one, "" if none
void ProbeFailAllocation(int nthNext);  // the nth GlobalAlloc from now fails (1 = next); 0 = none
void ProbeFailLock(int nthNext);        // the nth GlobalLock from now fails (1 = next); 0 = none
