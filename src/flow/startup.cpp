#include "flow/startup.h"

#include <cmath>

#include "data/game_definition.h"
#include "level/level_grid.h"
#include "render/prompt.h"
#include "render/text_printer.h"
#include "rules/party.h"
#include "data/play_screen.h"

namespace delve {

namespace {

const std::string kBullet = std::string(1, static_cast<char>(254)) + " ";

void titleLine(Game& g, const std::string& text) {
    const int row = textCursorRow(g.io), column = textCursorColumn(g.io);
    printMarkup(g.io, row, column, text);
    setTextCursor(g.io, row + 1, column);
}

// Centred on column 20 of the intro picture, halves rounding to even.
void introText(Game& g, int row, const std::string& text) {
    const int column = roundHalfEven(20.0 - static_cast<double>(text.size()) / 2.0);
    drawFontText(g.io, 8 * (column - 1), 8 * (row - 1), text);
}

}  // namespace

void startUp(Game& g) {
    // Read whole and not used; a missing or unreadable file is no error.
    (void)readGameFile(g.io.files, "drivers\\mouse.bin");
    loadStoreFile(g.io.files, ".\\res\\gamedata.dat", g.gameData);
    loadGameDefinition(g);
    g.gameTitle = toDisplayName(lookupValue("gametitle", g.gameData));
    g.creditLine = toDisplayName(lookupValue("copyright", g.gameData));
    setWindowTitle(g.io, g.gameTitle);
    loadStoreFile(g.io.files, "res\\shops.dat", g.shopData);
    g.partySize = 7;
    g.activeMember = 1;
    openWindow(g.io, 960, 720);
    setPages(g.io, 0, 0);
    g.randomizer = readInteger(lookupValue("randomizer", g.gameData));
    const double t1 = timerSeconds(g.io);
    const double t2 = timerSeconds(g.io);
    const double seed = std::trunc((t1 - std::trunc(t2)) * static_cast<double>(g.randomizer));
    g.seed = toSingle(seed);
}

void showTitleScreen(Game& g) {
    setTextCursor(g.io, 1, 1);
    titleLine(g, "Timer:");
    titleLine(g, kBullet + doubleText(timerSeconds(g.io)));
    titleLine(g, kBullet + "initialized");
    titleLine(g, kBullet + "activated");
    seedRandom(g.io, g.seed);
    titleLine(g, kBullet + "randomized " + singleText(g.seed));
    titleLine(g, "Time:");
    titleLine(g, kBullet + clockTime(g.io));
    titleLine(g, "Date:");
    titleLine(g, kBullet + clockDate(g.io));
    titleLine(g, "Press the spacebar to start...");
}

bool titleKeyLoop(Game& g) {
    std::string key;
    while (key != " ") {
        key = pollKey(g.io);
        if (key == "\x1b") return false;
        if (key == "@") {
            openWindow(g.io, 320, 200);
            setPages(g.io, 0, 0);
            g.seed = promptNumber(g.io, "seed:");
            seedRandom(g.io, g.seed);
            openWindow(g.io, 320, 200);
            setPages(g.io, 0, 1);
            key = " ";
        }
    }
    return true;
}

void startGame(Game& g) {
    for (int i = 0; i < 2; ++i) {
        openWindow(g.io, 960, 720);
        setPages(g.io, 0, 1);
    }
    setCellClasses(g);
    joinMembers(g);
    // Until somebody has ever joined there is no last member: the active
    // member then stays as it was (1 at the first game).
    if (g.lastJoinedMember != 0) g.activeMember = roundHalfEven(g.lastJoinedMember);
    g.gold = 0;
    g.keys = 0;
    g.bombs = 0;
    g.shopIndex = 1;
    redrawPlayScreen(g);
    introText(g, 12, "{ " + g.gameTitle + " }");
    introText(g, 14, g.creditLine);
    copyPage(g.io, 0, 2);
    copyPage(g.io, 0, 1);
    waitForKeyPress(g.io);
}

}  // namespace delve
