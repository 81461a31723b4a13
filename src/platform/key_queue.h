#pragma once
// Keys wait in a ring of 16 slots that holds at most 15; a key arriving when
// 15 wait pushes out the oldest. The pressed flag is set by every queued key
// and cleared by every take and by the end of a wait for a key press.
#include <array>
#include <string>
#include <vector>

namespace delve {

struct KeyQueue {
    std::array<std::string, 16> slots;
    int head = 0;  // next to take
    int tail = 0;  // next free
    bool pressed = false;
    // When set, every key pushed is also appended here, so a recording keeps
    // the keys as they arrived, even one that a full queue then pushes out.
    std::vector<std::string>* pushed = nullptr;
};

void pushKey(KeyQueue& q, const std::string& key);
bool hasKey(const KeyQueue& q);
int keyCount(const KeyQueue& q);
// Removes and returns the oldest key ("" when none) and clears the flag.
std::string takeKey(KeyQueue& q);

}  // namespace delve
