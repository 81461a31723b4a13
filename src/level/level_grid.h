#pragma once
// Cell codes, the four cell classes and the operations every rule uses on the
// cell under the cursor (g.cursorX, g.cursorY).
#include "game/game_state.h"

namespace delve {

enum CellCode : int32_t {
    kOutside = 0,
    kOpenDoor = 45,
    kGate = 35,
    kShop = 64,
    kRock = 176,
    kThinWall = 177,
    kFloor = 219,
    kZombie = 224,
    kShadow = 227,
    kChest = 231,
    kHealthPotion = 236,
    kOrc = 240,
    kMysticOrb = 241,
    kViperess = 243,
    kManaPotion = 244,
    kStairs = 247,
    kGold = 248,
    kUnexplored = 249,
    kSnake = 253,
    kLockedDoor = 254,
};

// Sets the four class strings (weights by repetition); done at every game start.
void setCellClasses(Game& g);
// The class (1..3) whose string holds the code, or 0.
int classOfCode(const Game& g, int32_t code);
// cellClass and cellChar of the cell under the cursor; draws nothing.
void classifyCell(Game& g);
// Classifies, then draws the classified character's map tile at the cursor
// (a shop cell is drawn with its own tile, though it classifies as rock).
void drawCell(Game& g);
// Writes a random code of class k at the cursor (one draw, always).
void placeRandomCode(Game& g, int k);
void drawUnexploredTile(Game& g);
// Reveals and redraws the cells next to the party within half its sight.
void sightUpdate(Game& g);

}  // namespace delve
