#pragma once
// The services the game is built on, under the names the rest of the code
// uses: window and pages, the text cursor, keys, clocks, random numbers and
// files. A Platform is the screen, key queue, generator and file root of one
// run, plus the backend that shows it (a real window or nothing at all).
#include <optional>
#include <string>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/key_queue.h"
#include "platform/random.h"
#include "platform/screen.h"

namespace delve {

struct Platform {
    explicit Platform(Backend& b) : backend(&b) {}
    Backend* backend;
    Screen screen;
    KeyQueue keys;
    Random rng;
    Files files;
    // The screen as it was when the game last took Escape from the queue,
    // kept only when asked for: a game quit with Escape is continued from
    // just before the Escape, whose picture the quit itself wipes.
    bool keepScreenAtEscape = false;
    std::optional<Screen> screenAtEscape;
};

// Window and pages.
void openWindow(Platform& p, int width, int height);
void setPages(Platform& p, int workPage, int visiblePage);
// Negative source: the work page; negative destination: the visible page.
void copyPage(Platform& p, int sourcePage, int destinationPage);
void setWindowTitle(Platform& p, const std::string& title);

// Text cursor.
void setTextCursor(Platform& p, int row, int column);
int textCursorRow(const Platform& p);
int textCursorColumn(const Platform& p);

// Keys. Key texts: a printable key is its character, Escape "\x1b", Enter
// "\r", Backspace "\b"; keys without a character are "\x01".
std::string pollKey(Platform& p);
std::string readKey(Platform& p);
void waitForKeyPress(Platform& p);

// Clocks.
double timerSeconds(Platform& p);
std::string clockTime(Platform& p);
std::string clockDate(Platform& p);

// Random numbers: -1 seeds from the clock.
void seedRandom(Platform& p, double seed);

constexpr char kEscape = 27;
constexpr char kEnter = 13;
constexpr char kBackspace = 8;
const std::string kNoCommandKey = "\x01";

}  // namespace delve
