// The parameter string handed to vorbel.exe, byte for byte, for every set of
// ticked options in each mode and for level names up to the catalogue's 255
// characters.
#include "launcher/parameter_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The game's switches, written out independently of the launcher's table, in
// the order the game expects them after the level part.
struct OptionRow {
    unsigned fBit;
    const char* pszSwitch;
};
const OptionRow kExpectedOrder[] = {
    {kOptionFullScreen, " -fullscreen"}, {kOptionScaleUp, " -scaleup"},
    {kOptionNoSound, " -nosound"},       {kOptionMusicNoSound, " -musicnosound"},
    {kOptionNoGore, " -nogore"},         {kOptionNoFlies, " -noflies"},
    {kOptionMirror, " -mirror"},
};

std::string ExpectedSwitches(unsigned fOptions)
{
    std::string s;
    for (const OptionRow& row : kExpectedOrder) {
        if (fOptions & row.fBit) s += row.pszSwitch;
    }
    return s;
}

struct NameCase {
    const char* pszLabel;
    std::string name;
};

std::vector<NameCase> LevelNames()
{
    std::string longest;
    for (int i = 0; i < 255; ++i) longest += static_cast<char>('a' + i % 26);
    return {
        {"plain", "mylevel"},
        {"blanks", "  my level  with blanks "},
        {"empty", ""},
        {"sixty", std::string(60, 'x')},
        {"catalogue maximum", longest},
        {"Windows-1252 bytes", "ni\xE9veau \xE0 l'\xE9t\xE9"},
        {"path-like characters", "..\\x-dat .dat"},
    };
}

TEST(ParameterString, LevelModeIsLevelPathThenEverySwitchSetInOrder)
{
    for (const NameCase& c : LevelNames()) {
        for (unsigned fOptions = 0; fOptions <= kAllGameOptions; ++fOptions) {
            const std::string expected = " -dat .\\levels\\" + c.name + ".dat" + ExpectedSwitches(fOptions);
            ASSERT_EQ(BuildParameterString(kLaunchLevel, c.name.c_str(), fOptions), expected)
                << c.pszLabel << ", options 0x" << std::hex << fOptions;
        }
    }
}

TEST(ParameterString, FireworksAndOtherModesIgnoreTheLevelName)
{
    struct ModeCase {
        int nMode;
        const char* pszStart;
    };
    const ModeCase modes[] = {{kLaunchFireworks, " -fireworks"}, {2, ""}, {-1, ""}, {0x7FFFFFFF, ""}};
    for (const ModeCase& m : modes) {
        for (const NameCase& c : LevelNames()) {
            for (unsigned fOptions = 0; fOptions <= kAllGameOptions; ++fOptions) {
                const std::string actual = BuildParameterString(m.nMode, c.name.c_str(), fOptions);
                ASSERT_EQ(actual, m.pszStart + ExpectedSwitches(fOptions))
                    << "mode " << m.nMode << ", " << c.pszLabel << ", options 0x" << std::hex << fOptions;
                ASSERT_EQ(actual.find(" -dat "), std::string::npos);
            }
        }
    }
}

TEST(ParameterString, KnownStrings)
{
    const std::string longest(255, 'L');
    const unsigned fDialogMax = kAllGameOptions & ~kOptionNoSound;  // the dialog never ticks both sound boxes
    struct Known {
        int nMode;
        const char* pszName;
        unsigned fOptions;
        std::string expected;
    };
    const Known cases[] = {
        {kLaunchLevel, "mylevel", kOptionFullScreen | kOptionScaleUp,
         " -dat .\\levels\\mylevel.dat -fullscreen -scaleup"},
        {kLaunchFireworks, "mylevel", kOptionNoGore, " -fireworks -nogore"},
        {kLaunchLevel, "mylevel", 0, " -dat .\\levels\\mylevel.dat"},
        {kLaunchLevel, "", 0, " -dat .\\levels\\.dat"},
        {kLaunchLevel, nullptr, 0, " -dat .\\levels\\.dat"},
        {kLaunchFireworks, nullptr, 0, " -fireworks"},
        {3, "mylevel", 0, ""},
        {kLaunchLevel, "a b", kOptionMirror, " -dat .\\levels\\a b.dat -mirror"},
        {kLaunchLevel, "x", fDialogMax,
         " -dat .\\levels\\x.dat -fullscreen -scaleup -musicnosound -nogore -noflies -mirror"},
        {kLaunchLevel, longest.c_str(), kAllGameOptions,
         " -dat .\\levels\\" + longest + ".dat -fullscreen -scaleup -nosound -musicnosound -nogore -noflies -mirror"},
    };
    for (const Known& k : cases) {
        EXPECT_EQ(BuildParameterString(k.nMode, k.pszName, k.fOptions), k.expected)
            << "mode " << k.nMode << ", options 0x" << std::hex << k.fOptions;
    }
}

TEST(ParameterString, BitsBeyondTheSevenOptionsAddNothing)
{
    for (unsigned fExtra : {1u << 7, 1u << 8, 1u << 31, ~kAllGameOptions}) {
        EXPECT_EQ(BuildParameterString(kLaunchLevel, "a", kOptionMirror | fExtra), " -dat .\\levels\\a.dat -mirror");
    }
}

}  // namespace
