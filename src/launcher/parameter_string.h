// The parameter string handed to vorbel.exe: the level part or the fireworks
// switch, then one switch per ticked option. Portable: used by the launcher
// and by `vbltool cmdline`.
#pragma once

#include <string>

// Launch modes (the launcher's int mode): a named level, or the fireworks.
constexpr int kLaunchLevel = 0;
constexpr int kLaunchFireworks = 1;

// The seven game options, one bit each, in the order their switches follow
// the level part. Bit i selects GameOptionSwitches[i].
constexpr int kGameOptionCount = 7;
constexpr unsigned kOptionFullScreen = 1u << 0;    // "Plein écran"
constexpr unsigned kOptionScaleUp = 1u << 1;       // "Meilleure résolution"
constexpr unsigned kOptionNoSound = 1u << 2;       // "Pas de son"
constexpr unsigned kOptionMusicNoSound = 1u << 3;  // "Musique sans effets"
constexpr unsigned kOptionNoGore = 1u << 4;        // "Pas de sang"
constexpr unsigned kOptionNoFlies = 1u << 5;       // "Pas de mouches"
constexpr unsigned kOptionMirror = 1u << 6;        // "Miroir"
constexpr unsigned kAllGameOptions = (1u << kGameOptionCount) - 1;

// Each switch begins with its separating blank.
extern const char* const GameOptionSwitches[kGameOptionCount];

// Level mode: " -dat .\levels\<name>.dat"; fireworks mode: " -fireworks";
// any other mode: neither. Then the switch of every bit set in fOptions, in
// table order; bits beyond the seven options are ignored. The level name is
// inserted byte for byte, unquoted, whatever its length, and read in level
// mode only (null reads as empty). The result is sized to fit.
std::string BuildParameterString(int nMode, const char* pszLevelName, unsigned fOptions);
