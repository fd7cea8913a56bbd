// The sub-commands of vbltool. Each takes the arguments after its own name
// and returns the process's exit status: 0 done, 1 failed, 2 bad usage.
#pragma once

int RunPcx2Bmp(int argc, char** argv);
int RunPreview(int argc, char** argv);
int RunList(int argc, char** argv);
int RunPack(int argc, char** argv);
int RunUnpack(int argc, char** argv);
int RunCheck(int argc, char** argv);
int RunCmdline(int argc, char** argv);
int RunPicture(int argc, char** argv);
