// Entry point of vblLM.exe.
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "catalogue/random_choice.h"
#include "main/main_dialog.h"
#include "resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nShowCmd*/)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // The modal run ends when its loop receives the quit message posted on
    // close; its result becomes the exit status.
    return static_cast<int>(DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDlgProc, 0));
}
