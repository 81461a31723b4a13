#include "flow/program.h"

#include "level/level_generator.h"
#include "flow/startup.h"
#include "flow/turn_loop.h"

namespace delve {

void advanceProgram(Game& g, Program& program) {
    switch (program.stage) {
        case Stage::StartUp:
            startUp(g);
            program.stage = Stage::Title;
            break;
        case Stage::Title:
            showTitleScreen(g);
            program.stage = titleKeyLoop(g) ? Stage::StartGame : Stage::Ended;
            break;
        case Stage::StartGame:
            startGame(g);
            program.stage = Stage::MakeLevel;
            break;
        case Stage::MakeLevel:
            makeLevel(g);
            program.stage = Stage::Frame;
            break;
        case Stage::Frame:
            program.shownMessage = drawTurnFrame(g);
            program.stage = Stage::Key;
            break;
        case Stage::Key:
            switch (handleTurnKey(g)) {
                case TurnOutcome::NextTurn: program.stage = Stage::Frame; break;
                case TurnOutcome::NewLevel: program.stage = Stage::MakeLevel; break;
                case TurnOutcome::NewGame: program.stage = Stage::StartGame; break;
                case TurnOutcome::Quit: program.stage = Stage::Ended; break;
            }
            break;
        case Stage::Ended:
            break;
    }
}

int runProgram(Game& g) {
    Program program;
    try {
        while (program.stage != Stage::Ended) advanceProgram(g, program);
    } catch (const RunEnded&) {
        // A scripted run has used up its keys: it ends as if the player left.
    }
    return 0;
}

}  // namespace delve
