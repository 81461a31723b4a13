#include "watch/timeline_json.h"

#include <algorithm>
#include <utility>

namespace delve {

namespace {

// The speed and the label are the watcher's own short texts; anything that would end the
// JSON string is left out rather than escaped. (The trace's jsonText is no
// use here: it writes each byte of 128 and above as a code point of its
// own, which turns the speed's UTF-8 "×" into two other characters.)
std::string jsonSafe(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) out += c;
    return out;
}

}  // namespace

std::string timelineJson(const TimelineStrip& s) {
    if (s.lastTurn <= 0) return "null";
    int32_t level = 0;
    std::string starts;
    for (size_t i = 0; i < s.levelStarts.size(); ++i) {
        const int32_t number = i < s.levels.size() ? s.levels[i] : static_cast<int32_t>(i + 1);
        if (s.levelStarts[i] <= s.turn) level = number;
        if (!starts.empty()) starts += ',';
        starts += "{\"turn\":" + std::to_string(s.levelStarts[i]) + ",\"level\":" + std::to_string(number) + "}";
    }
    // Falls in the order of their turns, a member's before the party's at one turn.
    std::vector<std::pair<int32_t, bool>> falls;
    for (int32_t t : s.memberFalls) falls.emplace_back(t, false);
    for (int32_t t : s.partyFalls) falls.emplace_back(t, true);
    std::sort(falls.begin(), falls.end());
    std::string fallText;
    for (const auto& [turn, party] : falls) {
        if (!fallText.empty()) fallText += ',';
        fallText += "{\"turn\":" + std::to_string(turn) + ",\"party\":" + (party ? "true" : "false") + "}";
    }
    return "{\"turn\":" + std::to_string(s.turn) + ",\"lastTurn\":" + std::to_string(s.lastTurn) +
           ",\"level\":" + std::to_string(level) + ",\"levelStarts\":[" + starts + "],\"falls\":[" + fallText +
           "],\"paused\":" + (s.paused ? "true" : "false") + ",\"speed\":\"" + jsonSafe(s.speed) + "\"" +
           (s.label.empty() ? "" : ",\"label\":\"" + jsonSafe(s.label) + "\"") + "}";
}

}  // namespace delve
