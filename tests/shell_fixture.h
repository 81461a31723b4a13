#pragma once
// A small complete game folder for the program-flow tests: coded tiles (so
// the screen can be read back as text) and a definition of our own.
#include <string>

#include "support/support.h"

namespace delve::test {

inline std::string crlf(const std::string& lines) {
    std::string out;
    for (char c : lines) {
        if (c == '\n') out += "\r\n";
        else out += c;
    }
    return out;
}

inline std::string fixtureDefinition(const std::string& extra = "") {
    std::string d =
        "gametitle=\"the test cave\"\ncopyright=made for tests\nrandomizer=325\n"
        "hud/spell=spell\nhud/knowledge=kn\nhud/experience=xp\n"
        "rose/card/min=1\nrose/card/max=4\nrose/axis/min=1\nrose/axis/max=2\n"
        "rose(1,1)=-1\nrose(1,2)=0\nrose(2,1)=0\nrose(2,2)=1\nrose(3,1)=1\nrose(3,2)=0\nrose(4,1)=0\nrose(4,2)=-1\n"
        "party/count=7\nstat/count=6\nspell/count=6\n";
    const char* stats[] = {"hp", "ap", "dp", "mp", "sight", "range"};
    const char* spells[] = {"warp", "vision", "tinker", "passage", "heal", "flare"};
    for (int s = 1; s <= 6; ++s) d += "stat/" + std::to_string(s) + "/name=" + stats[s - 1] + "\n";
    for (int k = 1; k <= 6; ++k) {
        d += "spell/" + std::to_string(k) + "/name=" + spells[k - 1] + "\n";
        d += "spell/" + std::string(spells[k - 1]) + "/difficulty=10\n";
    }
    const int initial[] = {20, 5, 2, 30, 6, 5};
    for (int i = 1; i <= 7; ++i) {
        const std::string name = "m" + std::to_string(i);
        d += "party/" + std::to_string(i) + "/name=" + name + "\n";
        d += "party/" + name + "/image=mem" + std::to_string(i) + "\n";
        for (int s = 1; s <= 6; ++s) {
            d += "party/" + name + "/stat/" + stats[s - 1] + "/initial=" + std::to_string(initial[s - 1]) + "\n";
            d += "party/" + name + "/stat/" + stats[s - 1] + "/current=" + (s == 1 ? "0" : std::to_string(initial[s - 1])) + "\n";
        }
        for (int k = 1; k <= 6; ++k) {
            d += "party/" + name + "/spell/" + spells[k - 1] + "/knw=1\n";
            d += "party/" + name + "/spell/" + spells[k - 1] + "/exp=5\n";
        }
    }
    return crlf(d + extra);
}

inline void writeFixtureFolder(const ScratchDir& dir, const std::string& extraDefinition = "") {
    writeCodedTiles(dir);
    dir.write("res/gamedata.dat", fixtureDefinition(extraDefinition));
    dir.write("res/stats.dat", crlf("stat/count=6\nstat/1/name=hp\nstat/2/name=ap\nstat/3/name=dp\n"
                                    "stat/4/name=mp\nstat/5/name=sight\nstat/6/name=range"));
    std::string shops;
    for (int n = 1; n <= 18; ++n) {
        const std::string id = std::to_string(1700 + n);
        shops += "m0i/" + id + "/m0s$=shop " + std::to_string(n) + "\nm0i/" + id + "/m1s$=key\nm0i/" + id +
                 "/m1i=20\nm0i/" + id + "/m2i=3\n";
    }
    dir.write("res/shops.dat", crlf(shops));
}

}  // namespace delve::test
