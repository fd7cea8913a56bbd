// Resource and control identifiers shared by the resource script and the code.
#pragma once

#define IDD_MAIN 101
// The main dialog's size in dialog units: its width with the viewer off.
#define IDD_MAIN_WIDTH 175
#define IDD_MAIN_HEIGHT 166
#define IDI_APP 1

#define IDC_LEVELLIST 1000
#define IDC_PLAY 2000
#define IDC_COUNT 2001
#define IDC_RANDOM 2002
#define IDC_ABOUT 2003
#define IDC_FULLSCREEN 3000
#define IDC_VIEWER 3001
#define IDC_FIREWORKS 3002
#define IDC_SCALEUP 3003
#define IDC_NOSOUND 3004
#define IDC_MUSICNOSOUND 3005
#define IDC_NOGORE 3006
#define IDC_NOFLIES 3007
#define IDC_MIRROR 3008
