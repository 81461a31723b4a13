#pragma once
// A backend in front of another that writes down everything the game reads
// through it: each clock reading, and the keys of every key pump that
// brought any (a pump that brings nothing changes nothing and is not kept).
// Each line reaches the file at once, so a killed program loses at most the
// key it was taking.
//
// A line the file refuses (a full disk, a file size limit) or that has no
// file yet (one that could not be made) is held in memory, and tried again
// at every later line and key pump: once there is room the file is whole
// again, and play never waits for it. At most kHeldMaxBytes are held; past
// that the game is kept only up to there (the held lines are still tried,
// so the file ends on a whole line), and nothing more is taken. While the
// game is not being kept the window's title can say so (tellInTitle).
//
// Asked to, it also keeps a picture of the screen beside the recording now
// and then, when the game waits for a key (recording/kept_picture.h): a
// game the program never got to end cleanly then continues without drawing
// all of it again.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/forwarding_backend.h"
#include "recording/recording_format.h"

namespace delve {

// Key batches between two kept pictures: a continue draws at most this many
// again, and a picture costs a few milliseconds.
constexpr int kPictureEveryBatches = 100;

// Text held while the file refuses it: as much as a whole recording may
// hold (a longer one could not be played anyway). A turn takes about ten
// bytes, so this is over a million turns.
constexpr size_t kHeldMaxBytes = kRecordingMaxBytes;

class RecordingBackend final : public ForwardingBackend {
public:
    // `out` stays the caller's. Without one nothing is kept, silently (a
    // game played unrecorded), unless told to hold it (holdUntilFile).
    RecordingBackend(Backend& inner, std::FILE* out);

    void setTitle(const std::string& title) override {
        title_ = title;
        inner().setTitle(tellInTitle_ && !shownNotice_.empty() ? titleWithNotice() : title);
    }
    void present(const Screen& screen) override {
        shown_ = &screen;
        inner().present(screen);
    }
    void pumpKeys(KeyQueue& queue, KeyWait wait) override;
    // A walk's pause between steps brings keys too: they are kept as any.
    void pumpKeysWithin(KeyQueue& queue, double seconds) override;
    // A click itself is not kept: only the keys a walk turns it into are.
    double timerSeconds() override;
    std::string clockTime() override;
    std::string clockDate() override;

    // The turn that key lines are marked with, from here on.
    void setTurn(int32_t turn) { turn_ = turn; }
    // Appends one line (with its LF) and writes it, with any held before it.
    void write(const std::string& line);
    // Everything the game has written is in the file.
    bool kept() const { return out_ && held_.empty() && !givenUp_; }
    // The run was ended (the close button, a signal) while the game waited
    // for keys, rather than while it drew: the point a continue hands over at.
    bool endedWaitingForKeys() const { return endedWaitingForKeys_; }
    // Nothing more is written (the file is not ours to spoil); the game is
    // no longer kept, which the title says when told to.
    void stopWriting();

    // There is no file yet (`why`, in a few words: "the disk is full"):
    // every line is held until attachFile.
    void holdUntilFile(std::string why);
    bool waitingForFile() const { return !out_ && holding_; }
    // The file at last: everything held goes to it.
    void attachFile(std::FILE* out);
    // From here on the title the game sets is shown with a notice after it
    // while the game is not being kept, and without once it is again; each
    // change is said on stderr too.
    void tellInTitle();
    // What the title's notice says ("" while the game is kept).
    std::string notice() const;
    // What was kept, for the game's end ("" when all of it).
    std::string endNotice() const;
    // At the game's end, when it was not all kept: says what was, on stderr
    // (naming `where`, the file or the folder it should have gone to) and,
    // when told to, in the title.
    void tellAtTheEnd(const std::string& where);

    // The file already holds `bytes` of recording text, with this digest,
    // when this backend starts writing on after them (a continued game).
    void countFrom(uint64_t bytes, uint64_t digest) { written_ = bytes, digest_ = digest; }
    // From here on a picture goes to `path` at the first wait for a key
    // after every `everyBatches` key batches, and at the very next one when
    // `now`. A picture that cannot be written is skipped, silently.
    void keepPictures(std::string path, int everyBatches = kPictureEveryBatches, bool now = false);
    // The recording was renamed: its pictures follow it.
    void movePictures(std::string path);

private:
    void keepPictureIfDue();
    std::string titleWithNotice() const;
    // The last turn the file holds lines of, while it does not hold all.
    int32_t keptTurn() const;
    // Writes what is held, as much as the file takes.
    void writeHeld();
    // The title and stderr learn of a change in what is kept.
    void tellNotice();
    // Keys the pump brought are written as one batch; `within` < 0 is a
    // plain pump of `wait`, else a pumpKeysWithin of that many seconds.
    void pumpAndKeep(KeyQueue& queue, KeyWait wait, double within);

    std::FILE* out_;
    int32_t turn_ = 0;
    std::string held_;         // accepted, not yet in the file
    bool holding_ = false;     // lines are held for a file to come
    bool givenUp_ = false;     // nothing more is taken: the game is kept up to here
    int32_t keptUpTo_ = 0;     // the turn lines last stopped reaching the file
    int32_t givenUpAt_ = 0;    // the turn nothing more was taken
    std::string why_;          // why they do not, in a few words
    bool tellInTitle_ = false;
    std::string title_;        // the title the game set
    std::string shownNotice_;  // the notice the title and stderr last gave
    bool endedWaitingForKeys_ = false;
    uint64_t written_ = 0;
    uint64_t digest_;
    const Screen* shown_ = nullptr;
    std::string picturePath_;
    int pictureEvery_ = kPictureEveryBatches;
    int batchesSincePicture_ = 0;
};

}  // namespace delve
