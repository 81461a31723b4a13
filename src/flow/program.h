#pragma once
// The program as a sequence of stages: start-up, the title screen, the start
// of a game, making a level, and turn after turn (a frame, then a key). Each
// call of advanceProgram runs one stage, so the game, the replay tool and the
// tests all drive the same code and can look at the game between stages.
#include <string>

#include "game/game_state.h"

namespace delve {

enum class Stage {
    StartUp,    // data files, definition overview, title texts, start-up seed
    Title,      // title screen and its key loop
    StartGame,  // join, intro picture
    MakeLevel,  // a new level behind the progress panel
    Frame,      // draw and show one turn's frame
    Key,        // read one key and act on it
    Ended
};

struct Program {
    Stage stage = Stage::StartUp;
    // The message line as the last frame showed it, before it was emptied.
    std::string shownMessage;
};

void advanceProgram(Game& g, Program& program);

// Runs stages until the program ends (Escape) or the backend has no more keys
// to give; returns the exit status, always 0.
int runProgram(Game& g);

}  // namespace delve
