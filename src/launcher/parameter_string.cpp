#include "launcher/parameter_string.h"

const char* const GameOptionSwitches[kGameOptionCount] = {
    " -fullscreen", " -scaleup", " -nosound", " -musicnosound", " -nogore", " -noflies", " -mirror",
};

namespace {

// The level archive's path relative to the game's working directory.
const char kLevelPrefix[] = " -dat .\\levels\\";
const char kLevelSuffix[] = ".dat";
const char kFireworksSwitch[] = " -fireworks";

}  // namespace

std::string BuildParameterString(int nMode, const char* pszLevelName, unsigned fOptions)
{
    const char* pszName = pszLevelName != nullptr ? pszLevelName : "";
    // Grows to whatever the name needs: no fixed-size block to overflow.
    std::string params;
    if (nMode == kLaunchLevel) {
        params += kLevelPrefix;
        params += pszName;
        params += kLevelSuffix;
    } else if (nMode == kLaunchFireworks) {
        params += kFireworksSwitch;
    }
    for (int i = 0; i < kGameOptionCount; ++i) {
        if (fOptions & (1u << i)) params += GameOptionSwitches[i];
    }
    return params;
}
