#include "platform/headless/headless_backend.h"

namespace delve {

HeadlessBackend::HeadlessBackend(std::string script, double firstTimer) : firstTimer_(firstTimer) {
    addKeys(script);
}

void HeadlessBackend::addKey(const std::string& key) { script_.push_back(key); }

void HeadlessBackend::addKeys(const std::string& bytes) {
    for (char c : bytes) script_.emplace_back(1, c);
}

void HeadlessBackend::windowOpened(int width, int height) {
    width_ = width;
    height_ = height;
}

void HeadlessBackend::present(const Screen&) { ++presents_; }

// One event per request: keys never pile up ahead of the program.
void HeadlessBackend::pumpKeys(KeyQueue& queue, KeyWait) {
    if (script_.empty()) throw RunEnded();
    pushKey(queue, script_.front());
    script_.pop_front();
}

double HeadlessBackend::timerSeconds() {
    return firstTimer_ + static_cast<double>(timerCalls_++) * 0.001;
}

}  // namespace delve
