// Walking by click: the path finder on crafted levels, the walk's stop rules,
// and a whole walk through the program, which must be the same game as typing
// its keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "game/trace.h"
#include "platform/frame_fit.h"
#include "level/level_grid.h"
#include "rules/walk_path.h"
#include "walk/mouse_walk.h"
#include "flow/program.h"
#include "walk/walk_backend.h"
#include "support/support.h"

namespace delve::test {
namespace {

// The flow tests' folder: seven members with Hp 20 and sight 6.
void writeFixtureFolder(const ScratchDir& dir) {
    std::string d = "gametitle=\"walk\"\r\nrandomizer=325\r\nparty/count=7\r\nspell/count=6\r\n"
                    "stat/count=6\r\nstat/1/name=hp\r\nstat/4/name=mp\r\nstat/5/name=sight\r\n"
                    "stat/6/name=range\r\nrose/card/min=1\r\nrose/card/max=4\r\nrose/axis/min=1\r\n"
                    "rose/axis/max=2\r\nrose(1,1)=-1\r\nrose(2,2)=1\r\nrose(3,1)=1\r\nrose(4,2)=-1\r\n";
    for (int i = 1; i <= 7; ++i) {
        const std::string n = std::to_string(i), stat = "party/m" + n + "/stat/";
        d += "party/" + n + "/name=m" + n + "\r\n" + stat + "hp/initial=20\r\n" + stat + "sight/initial=6\r\n";
    }
    writeCodedTiles(dir);
    dir.write("res/gamedata.dat", d);
    dir.write("res/shops.dat", "");
}

// Rows of a crafted level: '#' rock, '.' floor, ' ' unseen floor, 'L' locked
// door, 'G' gate, 'T' thin wall, 'D' open door, '>' stairs, '$' gold,
// 'O' orc, 'S' shop, '@' the party on floor. Row 0 of the picture is map row
// 2, column 0 is map column 2; everything around is seen rock.
void craft(Game& g, const std::vector<std::string>& rows) {
    for (int y = 0; y < kGridRows; ++y)
        for (int x = 0; x < kGridColumns; ++x) {
            g.levelMap.set(x, y, kRock);
            g.seenMap.set(x, y, 1);
        }
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const int x = static_cast<int>(c) + 2, y = static_cast<int>(r) + 2;
            int32_t code = kFloor;
            switch (rows[r][c]) {
                case '#': code = kRock; break;
                case 'L': code = kLockedDoor; break;
                case 'G': code = kGate; break;
                case 'T': code = kThinWall; break;
                case 'D': code = kOpenDoor; break;
                case '>': code = kStairs; break;
                case '$': code = kGold; break;
                case 'O': code = kOrc; break;
                case 'S': code = kShop; break;
                case ' ': g.seenMap.set(x, y, 0); break;
                case '@':
                    g.partyX = static_cast<float>(x);
                    g.partyY = static_cast<float>(y);
                    break;
                default: break;
            }
            g.levelMap.set(x, y, code);
        }
}

std::string joined(const std::vector<std::string>& keys) {
    std::string s;
    for (const std::string& k : keys) s += k;
    return s;
}

struct PathCase {
    const char* what;
    std::vector<std::string> rows;
    int32_t x, y;  // target, in picture coordinates
    std::string keys;
};

TEST(WalkPath, ShortestFreePathThroughSeenCellsOrNone) {
    HeadlessGame hg;
    Game& g = hg.game;
    setCellClasses(g);
    const std::vector<PathCase> cases = {
        {"straight", {"@...."}, 4, 0, "6666"},
        {"around rock, first key of a tie wins", {".....", "@.#..", "....."}, 4, 1, "866662"},
        {"items, stairs and open doors are free", {"@$>D."}, 4, 0, "6666"},
        {"a locked door is not crossed", {"@.L.."}, 4, 0, ""},
        {"a locked door is walked around", {"@.L..", "....."}, 4, 0, "626686"},
        {"gate, thin wall, shop and monster block", {"@G...", "T####", ".S.O."}, 4, 0, ""},
        {"unseen cells are not used", {"@. ..", "#####"}, 4, 0, ""},
        {"an unseen target is not walked to", {"@.. "}, 3, 0, ""},
        {"the party's own cell", {"@..."}, 0, 0, ""},
        {"rock is no target", {"@.#"}, 2, 0, ""},
    };
    for (const PathCase& c : cases) {
        craft(g, c.rows);
        EXPECT_EQ(joined(walkKeys(g, c.x + 2, c.y + 2)), c.keys) << c.what;
    }
    // The edges a move key refuses are never planned.
    craft(g, {});
    for (int y = 1; y <= 25; ++y) g.levelMap.set(1, y, kFloor), g.levelMap.set(2, y, kFloor);
    g.partyX = 2;
    g.partyY = 2;
    EXPECT_EQ(joined(walkKeys(g, 2, 5)), "222");
    EXPECT_EQ(joined(walkKeys(g, 1, 2)), "");
    EXPECT_EQ(joined(walkKeys(g, 2, 25)), "");
}

TEST(WalkPath, FramePixelsToCellsAndMonstersInSight) {
    int32_t x = 0, y = 0;
    ASSERT_TRUE(cellAtFramePixel(0, 0, x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(1, 1));
    ASSERT_TRUE(cellAtFramePixel(16 * 9 + 15, 16 * 4, x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(10, 5));
    EXPECT_TRUE(cellAtFramePixel(16 * 40 - 1, 16 * 25 - 1, x, y));
    EXPECT_FALSE(cellAtFramePixel(16 * 40, 10, x, y));
    EXPECT_FALSE(cellAtFramePixel(10, 16 * 25, x, y));
    EXPECT_FALSE(cellAtFramePixel(-1, 10, x, y));

    HeadlessGame hg;
    Game& g = hg.game;
    setCellClasses(g);
    g.activeMember = 1;
    g.statCurrent.resize(1, 1, 1, 6);
    g.statCurrent.set(1, kSight, 6);  // reach 3
    craft(g, {"@..O"});
    EXPECT_TRUE(monsterInSight(g));
    craft(g, {"@...O", ".....", "...O."});  // both just past a reach of 3
    EXPECT_FALSE(monsterInSight(g));
    g.statCurrent.set(1, kSight, 2147483647);  // a huge sight still only looks at the grid
    EXPECT_TRUE(monsterInSight(g));
}

TEST(MouseWalk, StopsOnArrivalReportHpChangeMonsterOrNoPath) {
    HeadlessGame hg;
    Game& g = hg.game;
    setCellClasses(g);
    g.activeMember = 1;
    g.statCurrent.resize(1, 1, 1, 6);
    g.statCurrent.set(1, kSight, 2);
    g.statCurrent.set(1, kHp, 10);
    craft(g, {"@...", "...."});
    MouseWalk walk;
    ASSERT_EQ(startWalk(walk, g, 5, 2), "6");
    g.partyX += 1;
    EXPECT_EQ(nextWalkKey(walk, g, ""), "6");
    EXPECT_EQ(nextWalkKey(walk, g, "[Found 3 Gold]"), "") << "a report stops it";
    EXPECT_FALSE(walk.active);
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "and it stays stopped";

    craft(g, {"@...", "...."});
    ASSERT_EQ(startWalk(walk, g, 5, 2), "6");
    g.partyX += 1;
    setActiveStat(g, kHp, 9);
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "Hp changed";

    craft(g, {"@...", "...."});
    ASSERT_EQ(startWalk(walk, g, 5, 2), "6");
    g.partyX += 1;
    g.levelMap.set(3, 3, kOrc);
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "a monster came within sight";
    g.levelMap.set(3, 3, kFloor);

    craft(g, {"@...", "...."});
    ASSERT_EQ(startWalk(walk, g, 5, 2), "6");
    g.partyX += 1;
    g.levelMap.set(4, 2, kLockedDoor);
    g.levelMap.set(4, 3, kLockedDoor);
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "no path remains";

    craft(g, {"@...", "...."});
    ASSERT_EQ(startWalk(walk, g, 5, 2), "6");
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "the key did not move the party";

    craft(g, {"@.", ".."});
    ASSERT_EQ(startWalk(walk, g, 3, 2), "6");
    g.partyX += 1;
    EXPECT_EQ(nextWalkKey(walk, g, ""), "") << "arrived";

    EXPECT_EQ(startWalk(walk, g, 40, 20), "") << "no path: nothing happens";
    EXPECT_FALSE(walk.active);
    setActiveStat(g, kHp, 0);
    EXPECT_EQ(startWalk(walk, g, 2, 3), "") << "the fallen do not walk";
}

// A whole program: after the level is made it is replaced by a crafted one;
// a walk's keys are fed to the queue one per turn as the window does.
struct Session {
    explicit Session(const std::string& keys) : hg(dir.path()) {
        writeFixtureFolder(dir);
        hg.backend = HeadlessBackend(keys);
    }
    void untilFrame() {
        while (program.stage != Stage::Frame) advanceProgram(hg.game, program);
    }
    // One frame and its trace line; the program then waits for a key.
    std::string frame() {
        advanceProgram(hg.game, program);
        trace += traceLine(hg.game, program.shownMessage) + "\n";
        return program.shownMessage;
    }
    void key(const std::string& k) {
        pushKey(hg.platform.keys, k);
        advanceProgram(hg.game, program);
    }
    ScratchDir dir;
    HeadlessGame hg;
    Game& g = hg.game;
    Program program;
    std::string trace;
};

const std::vector<std::string> kLevel = {"#######", "#@..#.#", "#.#...#", "#...#.#", "###L###"};

TEST(MouseWalk, AWalkIsTheSameGameAsTypingItsKeys) {
    Session walked("@17\rx"), typed("@17\rx");
    for (Session* r : {&walked, &typed}) {
        r->untilFrame();
        craft(r->g, kLevel);
        setActiveStat(r->g, kHp, 20);  // the fixture's members start fallen
        r->frame();
        advanceProgram(r->g, r->program);  // the key that ended the intro is read again as the first command
        ASSERT_FALSE(hasKey(r->hg.platform.keys));
        r->frame();
    }
    MouseWalk walk;
    std::string keys;
    ASSERT_GT(activeStat(walked.g, kHp), 0);
    ASSERT_EQ(joined(walkKeys(walked.g, 7, 5)), "662662");
    std::string key = startWalk(walk, walked.g, 7, 5);  // "." right of the middle rock
    while (!key.empty() && keys.size() < 20) {
        keys += key;
        walked.key(key);  // the turn before it has drawn its frame already
        key = nextWalkKey(walk, walked.g, walked.frame());
    }
    EXPECT_EQ(keys, "662662") << "around the rocks";
    EXPECT_EQ(std::pair(partyColumn(walked.g), partyRow(walked.g)), std::pair(7, 5));

    // The typed game: the same keys read one by one from the backend.
    for (char c : keys) {
        typed.hg.backend.addKey(std::string(1, c));
        ASSERT_FALSE(hasKey(typed.hg.platform.keys));
        advanceProgram(typed.g, typed.program);
        typed.frame();
    }
    EXPECT_EQ(walked.trace, typed.trace);
    EXPECT_EQ(walked.g.io.rng.state, typed.g.io.rng.state);
}

// A window stand-in: each pump brings the next click, else the next key;
// its clock moves a twentieth of a second per reading. It keeps the longest
// sleep a walk asked of it and the messages it was shown.
class ClickSource final : public Backend {
public:
    std::deque<std::pair<int, int>> clicks;
    std::deque<std::string> keys;
    void windowOpened(int, int) override {}
    void setTitle(const std::string&) override {}
    void present(const Screen&) override {}
    void pumpKeys(KeyQueue& queue, KeyWait) override {
        if (!clicks.empty()) {
            click_ = clicks.front();
            clicks.pop_front();
            clicked_ = true;
        } else if (!keys.empty()) {
            pushKey(queue, keys.front());
            keys.pop_front();
        }
    }
    void pumpKeysWithin(KeyQueue& queue, double seconds) override {
        longestSleep = std::max(longestSleep, seconds);
        pumpKeys(queue, KeyWait::Brief);
    }
    void messageShown(const std::string& text) override { messages.push_back(text); }
    bool takeClick(int& x, int& y) override {
        if (!clicked_) return false;
        clicked_ = false;
        std::tie(x, y) = click_;
        return true;
    }
    double timerSeconds() override { return now += 0.05; }
    std::string clockTime() override { return ""; }
    std::string clockDate() override { return ""; }
    double now = 0;
    double longestSleep = 0;
    std::vector<std::string> messages;

private:
    bool clicked_ = false;
    std::pair<int, int> click_;
};

// The centre of map cell (x, y) in frame pixels.
std::pair<int, int> cellCentre(int x, int y) { return {16 * (x - 1) + 8, 16 * (y - 1) + 8}; }

TEST(WalkBackend, ClicksWalkOnlyAtATurnsKeyPacedAndAKeyTakesOver) {
    HeadlessGame hg;
    Game& g = hg.game;
    setCellClasses(g);
    g.activeMember = 1;
    g.statCurrent.resize(1, 1, 1, 6);
    g.statCurrent.set(1, kHp, 10);
    craft(g, {"@...", "...."});
    ClickSource source;
    WalkBackend walker(source);
    KeyQueue q;

    source.clicks = {cellCentre(5, 2)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_FALSE(hasKey(q)) << "no game yet";
    walker.messageShown("[Gold +1]");
    EXPECT_EQ(source.messages, std::vector<std::string>{"[Gold +1]"}) << "the backend hears each report";
    walker.setGame(&g);
    source.clicks = {cellCentre(5, 2)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_FALSE(hasKey(q)) << "not waiting for a turn's key: the click is dropped";

    walker.setTurnKeyNext(true);
    source.clicks = {{2, 2}};  // rock
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_FALSE(hasKey(q) || walker.walking()) << "no path: nothing";
    source.clicks = {cellCentre(5, 2)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_EQ(takeKey(q), "6");
    g.partyX += 1;
    walker.messageShown("");
    walker.setTurnKeyNext(true);
    const double before = source.now;
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_EQ(takeKey(q), "6");
    EXPECT_GE(source.now - before, kWalkStepSeconds) << "steps are paced";
    EXPECT_GT(source.longestSleep, 0);
    EXPECT_LE(source.longestSleep, kWalkStepSeconds) << "no sleep past the step";
    g.partyX += 1;
    walker.messageShown("");
    walker.setTurnKeyNext(true);
    source.keys = {"q"};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_EQ(takeKey(q), "q") << "the player's key acts as typed";
    EXPECT_FALSE(walker.walking());

    craft(g, {"@...", "...."});
    walker.setTurnKeyNext(true);
    source.clicks = {cellCentre(5, 2)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_EQ(takeKey(q), "6");
    g.partyX += 1;
    walker.messageShown("");
    walker.setTurnKeyNext(true);
    source.clicks = {cellCentre(2, 3)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_FALSE(hasKey(q) || walker.walking()) << "a click stops a walk and starts none";

    walker.setTurnKeyNext(true);
    source.clicks = {cellCentre(5, 2)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_EQ(takeKey(q), "6");
    source.clicks = {cellCentre(5, 3)};
    walker.pumpKeys(q, KeyWait::Block);
    EXPECT_FALSE(hasKey(q) || walker.walking()) << "a prompt later in the same turn gets no walk";
}

}  // namespace
}  // namespace delve::test
