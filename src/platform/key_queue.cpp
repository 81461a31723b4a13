#include "platform/key_queue.h"

namespace delve {

void pushKey(KeyQueue& q, const std::string& key) {
    q.slots[q.tail] = key;
    q.tail = (q.tail + 1) % 16;
    if (q.tail == q.head) q.head = (q.head + 1) % 16;  // full: the oldest is lost
    q.pressed = true;
    if (q.pushed) q.pushed->push_back(key);
}

bool hasKey(const KeyQueue& q) { return q.head != q.tail; }

int keyCount(const KeyQueue& q) { return (q.tail - q.head + 16) % 16; }

std::string takeKey(KeyQueue& q) {
    q.pressed = false;
    if (!hasKey(q)) return "";
    std::string key = std::move(q.slots[q.head]);
    q.slots[q.head].clear();
    q.head = (q.head + 1) % 16;
    return key;
}

}  // namespace delve
