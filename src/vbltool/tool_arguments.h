// vbltool's command line as Windows hands it over: in UTF-16, unexpanded
// (cmd leaves wildcards to the program). The one place where arguments become
// the ANSI strings that the rest of vbltool and the file calls take.
#pragma once

#ifdef _WIN32
#include <string>
#include <vector>

// The arguments in the ANSI code page, with * and ? in the last part of a
// path expanded to the matching names, as a Linux shell does (not in the
// sub-command's name, nor in cmdline's level). Each argument and each match
// must convert back unchanged: a name the code page cannot hold is refused
// with its reason, never mapped to a look-alike (Łódź to Lodz) that would
// name another file. A pattern matching nothing is refused too. False, after
// a message on stderr, with the exit status in *pnStatus.
bool TakeArguments(int argc, wchar_t** wargv, std::vector<std::string>* pArgs, int* pnStatus);

// True when this process is the only one on its console: started from
// Explorer (a double click), not from cmd, so that its console closes as
// soon as it ends.
bool AloneOnConsole();
#endif
