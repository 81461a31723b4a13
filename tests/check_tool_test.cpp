// delve-check on copies of the staged game folder, each broken the way a
// content author might break it.
#include <gtest/gtest.h>

#ifdef _WIN32
// Reported as skipped, so that the Windows run says what it leaves out.
TEST(CheckTool, ReportsEachKindOfMistakeAndPassesTheStagedFolder) {
    GTEST_SKIP() << "runs the tool through a POSIX shell; its checks are delve_core's, run natively";
}
#else

#include <cstdlib>
#include <filesystem>

#include "support/support.h"

namespace delve {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

// The exit status and everything the tool printed.
std::pair<int, std::string> runCheck(const std::string& args, const std::string& in = ".") {
    const ScratchDir out;
    const std::string command =
        "cd '" + in + "' && " DELVE_TOOL_DIR "/delve-check " + args + " >" + out.path() + "/out 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.read("out")};
}

// Every `from` in the file becomes `to`; an empty `from` replaces the whole
// file, and kRemove as its `to` deletes it.
struct Edit {
    std::string file, from, to;
};
const std::string kRemove = "\x7f";

// Edits that break the folder, and texts that must all be in the report.
using Mistake = std::pair<std::vector<Edit>, std::vector<std::string>>;

// Each kind of mistake is reported (exit 1); the staged folder passes (exit 0);
// a folder that cannot be checked gives exit 2.
TEST(CheckTool, ReportsEachKindOfMistakeAndPassesTheStagedFolder) {
    const std::string D = "res/gamedata.dat", S = "res/stats.dat", H = "res/shops.dat";
    const std::string shortTile = test::encodeTile(std::vector<uint8_t>(64), 8, 8).substr(0, 20);
    const std::vector<Mistake> mistakes = {
        {{{D, "party/Wynne/stat/Mp/initial=44\r\n", ""}, {D, "hud/knowledge=know\r\n", ""}},
         {D + ": missing key 'party/Wynne/stat/Mp/initial'; the game reads 0",
          "missing key 'hud/knowledge'; the game shows \"%%\""}},
        {{{D, "party/count=7", "party/count=6"}, {D, "spell/count=6", "spell/count=70000"},
          {S, "stat/count=6", "stat/count=4"}},
         {D + ":54: party/count is 6, but the rules need at least 7 members",
          D + ":37: spell/count is 70000; the game reads it as 99",
          S + ":1: stat/count is 4; the stat panel then shows only 4 of the 6 stats"}},
        {{{D, "party/Wynne/image", "party/Wyne/image"}, {D, "spell/Flare/", "spell/Flair/"}},
         {"'party/Wyne/image': names the member 'wyne', which no party/<n>/name defines",
          "names the spell 'flair', which no spell/<n>/name defines"}},
        {{{D, "rose/card/max=4", "rose/card/max=3"}, {D, "rose(2,2)=1\r\n", ""}},
         {D + ":8: the rose table holds cards 1 to 3, but monsters step by cards 1 to 4",
          D + ": missing key 'rose(2,2)'"}},
        {{{H, "m0i/1705/", "m0i/9705/"}, {H, "m0i/1718/m2i", "m0i/1718/m3i"}},
         {H + ": shop record 1705 is missing", "missing key 'm0i/1718/m2i'"}},
        {{{S, "stat/count=", "stat/count ="}, {S, "stat/1/name=", "stat/1/name= "}},
         {S + ":1: blank around '=': the key is 'stat/count '",
          S + ":2: blank around '=': the value of 'stat/1/name' is ' "}},
        {{{D, "\r\n", "\r"}, {H, "\r\n", "\n"}, {S, "\r\nstat/2/", "\nstat/2/"}},
         {D + ":1: lines end with CR alone", H + ":1: lines end with LF alone",
          S + ":2: line ends with a lone LF"}},
        {{{D, "/stat/Hp/current=0\r\n", "/stat/Hp/current=10\r\n"}}, {"no member starts fallen"}},
        {{{D, "gametitle=\"Delve: the hollow stair\"", "gametitle=the long and winding stair of delving"}},
         {D + ":2: the framed title '{ The Long And Winding Stair Of Delving }' is 41 characters"}},
        // A finding about a value names the line it stands on, in the editor's count.
        {{{D, "party/5/name=korvash", "party/5/name=korvash of the eastern marches"}},
         {D + ":59: the member name 'Korvash Of The Eastern Marches' is 30 characters; the spell panel has room for 16"}},
        {{{"tiles/map/map_219.til", "", kRemove}, {"tiles/party/garr_001.til", "", kRemove},
          {"tiles/font/font_065.til", "", "not a tile"}, {"tiles/font/font_067.til", "", shortTile}},
         {"tiles/map/map_219.til: missing (floor)",
          "tiles/party/GARR_001.TIL: missing (the portrait of Garran)",
          "tiles/font/font_065.til: not a tile file (first byte 0x6E, not 0xFD)",
          "tiles/font/font_067.til: its pixel data ends early (20 of 43 bytes)"}},
        {{{H, "", kRemove}}, {H + ": missing"}},
    };
    for (const auto& [edits, findings] : mistakes) {
        const ScratchDir dir;
        for (const std::string part : {"/res", "/tiles"})
            fs::copy(test::stagedGameDir() + part, dir.path() + part, fs::copy_options::recursive);
        for (const Edit& e : edits) {
            std::string text = e.from.empty() ? e.to : dir.read(e.file);
            for (size_t i = 0; !e.from.empty() && (i = text.find(e.from, i)) != text.npos; i += e.to.size())
                text.replace(i, e.from.size(), e.to);
            if (e.to == kRemove) fs::remove(dir.path() + "/" + e.file);
            else dir.write(e.file, text);
        }
        const auto [status, output] = runCheck("'" + dir.path() + "'");
        EXPECT_EQ(status, 1) << output;
        for (const std::string& finding : findings)
            EXPECT_NE(output.find(finding), std::string::npos) << finding << "\nin:\n" << output;
        for (const Edit& e : edits)
            EXPECT_FALSE(e.to == kRemove && dir.exists(e.file)) << "the check must not create " << e.file;
    }
    const auto [status, output] = runCheck("", test::stagedGameDir());  // the current folder by default
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(runCheck("/nonexistent/folder").first, 2);
    EXPECT_EQ(runCheck("'" + ScratchDir().path() + "'").first, 2) << "no res folder";
}

}  // namespace
}  // namespace delve
#endif
