#pragma once
// Watching a kept game like a video: any turn can be shown, forward or
// back, and shows exactly the picture a replay of the recording up to that
// turn leaves on the screen.
//
// Opening replays the recording once with its draws made but not noted,
// which finds its timeline and what a far turn is sought with at once
// (watch/span_seek.h). Then, a slice at a time while the viewer looks on (`noteSome`),
// the game is replayed with its draws noted, not done (the game's state
// never depends on pixels), which lets any noted turn's pages be composed
// at once (watch/composed_seek.h); a turn past the notes so far is noted up
// to when shown. Should the notes stop short (they outgrow their room, or a
// draw comes that they do not take), the turns after are drawn: the watcher
// draws the game through once more, again a slice at a time (`indexSome`;
// both are given a number of turns so that a slice costs the same on every
// machine's clock), and keeps the whole state every `kMomentTurns` turns
// with its pages packed. Showing
// a turn near a kept moment puts it back and draws at most that many
// turns. A turn past the moments kept so far is drawn up to from the last
// one, keeping moments on the way, so no drawing is ever done twice.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/draw_notes.h"
#include "platform/screen.h"
#include "recording/recording_format.h"
#include "watch/composed_seek.h"
#include "watch/timeline.h"
#include "watch/watched_run.h"

namespace delve {

// Moments are kept every 32 turns to begin with; when they outgrow the
// memory allowed, every other one is let go and the spacing doubles.
constexpr int32_t kMomentTurns = 32;
// Every so many moments is a keyframe. The first holds its pages whole
// (packed against nothing), each later one its difference from the one
// before, and the moments between their difference from their keyframe:
// putting a moment back unpacks a short chain, and no moment holds a whole
// page set, which is most of a megabyte.
constexpr int32_t kMomentsPerKeyframe = 16;

struct Moment {
    RunState state;
    bool keyframe = false;
    int32_t reference = -1;             // the moment its pages are packed against
    std::vector<std::string> pages;     // packed, one per page
    size_t pageBytes = 0;
};

struct Watch {
    Recording recording;
    Timeline timeline;
    std::unique_ptr<WatchedRun> run;  // drawn; what the screen shows
    std::vector<Moment> moments;      // by turn, every kMomentTurns turns
    int32_t lastKeyframe = -1;        // where the latest keyframe is in the moments
    // One page of the latest keyframe at a time, unpacked to pack a new
    // moment against: a whole copy of its pages would cost more memory than
    // all the moments of a long game.
    std::vector<uint8_t> scratch;
    int32_t momentTurns = kMomentTurns;  // the spacing of the moments
    size_t keptBytes = 0;             // what the moments hold, roughly
    size_t keptBytesLimit = 0;        // the moments thin out past it
    size_t roomBytes = 0;             // what the moments and the notes share
    // Kept at opening (watch/span_seek.h): the run's state at the start
    // and every kStateTurns turns, and which blocks each span of turns
    // between two of them drew on (null: a far turn is not sought so).
    RunState startState;
    std::vector<RunState> states;
    int32_t stateTurns = kStateTurns;  // the spacing of the states
    std::unique_ptr<DrawTouches> touches;
    // Noted a slice at a time from opening on: the draws of every turn up
    // to notes->turn, to compose any of those turns.
    std::unique_ptr<DrawNotes> notes;
    std::unique_ptr<WatchedRun> noter;  // the noting replay, while it goes on
    int32_t drawnSpan = kDrawnSpan;  // nearer than this to the run or a moment, a turn is drawn up to
    bool composed = false;   // the run stands on composed pages: no moment is kept from it
};

// Opens a checked recording on the data folder `dataRoot`: finds the
// timeline and shows turn 1 (or nothing, when the recording reaches no
// turn). `keptBytesLimit` bounds the memory the moments take;
// `betweenTurns`, when given, is called every so many turns of the replay.
std::unique_ptr<Watch> openWatch(Recording recording, const std::string& dataRoot, size_t keptBytesLimit,
                                 const std::function<void()>& betweenTurns = {});

// The turn shown, and its screen.
int32_t shownTurn(const Watch& w);
const Screen& shownScreen(const Watch& w);
const Game& shownGame(const Watch& w);

// Shows `turn` (clamped to 1..the last turn); returns the turn shown.
int32_t showTurn(Watch& w, int32_t turn);

// Draws on ahead of the moments kept so far for about `turns` turns (at
// least up to the next moment) and comes
// back to the turn shown; false once the whole recording has been drawn
// (nothing is left to do).
bool indexSome(Watch& w, int32_t turns);
// Lets moments go until they are within keptBytesLimit (as far as
// thinning them can).
void trimMoments(Watch& w);
// The turn up to which moments are kept.
int32_t indexedTurn(const Watch& w);

}  // namespace delve
