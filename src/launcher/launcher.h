// Starting the game from the main dialog.
#pragma once
#include <windows.h>

#include "launcher/parameter_string.h"  // kLaunchLevel, kLaunchFireworks

// Builds the parameter string from the mode, the level name and the option
// boxes of hDlg, and asks the shell to start vorbel.exe with it in ".".
// Reports a failed start in an error box. Always returns 1.
int CallvblProgram(LPCSTR lpszLevelName, HWND hDlg, HWND hList, int nMode);

// "&Jouer !" (also Enter and a double-click in the list): the selected level.
void PlayCommand(HWND hDlg);
// "&Feux d'artifice": the fireworks mode, whatever is selected.
void FireworksCommand(HWND hDlg);
