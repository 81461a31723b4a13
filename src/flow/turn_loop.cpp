#include "flow/turn_loop.h"

#include "level/level_grid.h"
#include "render/text_printer.h"
#include "render/tile_drawing.h"
#include "rules/area_effects.h"
#include "rules/monsters.h"
#include "rules/movement.h"
#include "rules/party.h"
#include "rules/pickups.h"
#include "rules/shops.h"
#include "rules/status_display.h"
#include "data/play_screen.h"
#include "rules/spells.h"

namespace delve {

namespace {

int32_t codeUnderParty(const Game& g) { return g.levelMap.get(partyColumn(g), partyRow(g)); }

void runPickup(Game& g) {
    if (g.lastKey != " ") return;
    // The cell is read again before each test; a pickup leaves floor behind,
    // so at most one fires.
    if (codeUnderParty(g) == kManaPotion) pickUpManaPotion(g);
    if (codeUnderParty(g) == kGold) pickUpGold(g);
    if (codeUnderParty(g) == kHealthPotion) pickUpHealthPotion(g);
    if (codeUnderParty(g) == kChest) pickUpChest(g);
    if (codeUnderParty(g) == kMysticOrb) pickUpMysticOrb(g);
}

bool isMoveKey(const std::string& key) {
    return key == "8" || key == "6" || key == "2" || key == "4";
}

}  // namespace

std::string drawTurnFrame(Game& g) {
    redrawPlayScreen(g);
    viewDraw(g);
    sightUpdate(g);
    g.cursorX = partyColumn(g);
    g.cursorY = partyRow(g);
    classifyCell(g);
    if (activeStat(g, kHp) > 0)
        drawCellTile(g.io, partyColumn(g), partyRow(g), g.memberImage.get(g.activeMember));
    else
        printMarkup(g.io, partyRow(g), partyColumn(g), "x");
    showStatus(g);
    g.turnCount = addSaturated(g.turnCount, 1);
    copyPage(g.io, 0, 1);
    sightUpdate(g);
    std::string shown = std::move(g.messageLine);
    g.messageLine.clear();
    g.lastKey.clear();
    return shown;
}

TurnOutcome handleTurnKey(Game& g) {
    g.lastKey = readKey(g.io);
    if (g.lastKey == "\x1b") {
        openWindow(g.io, 960, 720);
        setPages(g.io, 0, 0);
        return TurnOutcome::Quit;
    }
    if (g.lastKey == "~") return TurnOutcome::NewGame;
    if (g.lastKey == "+" || g.lastKey == "-") switchMember(g, g.lastKey[0]);
    if (activeStat(g, kHp) != 0) {
        if (g.lastKey == " " && codeUnderParty(g) == kStairs) return TurnOutcome::NewLevel;
        if (isMoveKey(g.lastKey)) moveParty(g);
        castSpellForKey(g);
        useBomb(g);
        runPickup(g);
        monsterTurn(g);
        if (codeUnderParty(g) == kShop) shopOffer(g);
    }
    limitActiveStats(g);
    return TurnOutcome::NextTurn;
}

}  // namespace delve
