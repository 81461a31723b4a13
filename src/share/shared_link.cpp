#include "share/shared_link.h"

#include "share/link_text.h"

#include <string_view>

#include "share/base64url.h"
#include "share/link_text.h"
#include "share/zlib_packing.h"

namespace delve {

namespace {

// The reasons are the page's too (web/js/share.js), word for word.
static_assert(kSharedLinkMaxChars == 32768 && kRecordingMaxBytes == 16u << 20,
              "the reasons below name the limits");
constexpr const char* kTooLong = "the link is longer than 32,768 characters";
constexpr const char* kNoGame = "the link has no game in it";
constexpr const char* kNotBase64url = "the link's game is not base64url";
constexpr const char* kDamaged = "the link's game cannot be unpacked (it is damaged or cut short)";
constexpr const char* kTooLarge = "the link's game is larger than 16 MiB unpacked";
constexpr const char* kNoTurn = "the link has no turn in it";
constexpr const char* kBadTurn = "the link's turn is not a whole number from 1 to 999999999";
constexpr const char* kNotKept = "the link's game is not a kept game: ";

// The value of the first `name=` parameter of the fragment, if any.
std::optional<std::string_view> parameter(std::string_view link, std::string_view name) {
    const size_t hash = link.find('#');
    if (hash == std::string_view::npos) return std::nullopt;
    std::string_view rest = link.substr(hash + 1);
    for (;;) {
        const size_t amp = rest.find('&');
        const std::string_view part = rest.substr(0, amp);
        if (part.size() > name.size() && part.substr(0, name.size()) == name && part[name.size()] == '=') {
            return part.substr(name.size() + 1);
        }
        if (amp == std::string_view::npos) return std::nullopt;
        rest = rest.substr(amp + 1);
    }
}

std::optional<int32_t> turnOf(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int32_t turn = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        turn = turn * 10 + (c - '0');
    }
    if (turn < 1) return std::nullopt;
    return turn;
}

}  // namespace

bool looksLikeSharedLink(const std::string& arg) {
    return parameter(arg, "watch").has_value();
}

std::optional<SharedGame> openSharedLink(const std::string& link, std::string& problem) {
    if (link.size() > kSharedLinkMaxChars) {
        problem = kTooLong;
        return std::nullopt;
    }
    const auto watch = parameter(link, "watch");
    if (!watch || watch->empty()) {
        problem = kNoGame;
        return std::nullopt;
    }
    const auto packed = fromBase64url(*watch);
    if (!packed) {
        problem = kNotBase64url;
        return std::nullopt;
    }
    UnpackedBytes unpacked = unpackZlib(*packed, kRecordingMaxBytes);
    if (unpacked.status != Unpacked::Whole) {
        problem = unpacked.status == Unpacked::TooLarge ? kTooLarge : kDamaged;
        return std::nullopt;
    }
    const auto turnText = parameter(link, "turn");
    const auto turn = turnText ? turnOf(*turnText) : std::nullopt;
    if (!turn) {
        problem = turnText ? kBadTurn : kNoTurn;
        return std::nullopt;
    }
    std::string text = fromLinkText(unpacked.bytes);
    if (text.size() > kRecordingMaxBytes) {
        problem = kTooLarge;
        return std::nullopt;
    }
    std::string why;
    auto recording = parseRecording(text, why);
    if (!recording) {
        problem = kNotKept + why;
        return std::nullopt;
    }
    return SharedGame{std::move(text), std::move(*recording), *turn};
}

std::string makeSharedLink(const std::string& base, const std::string& recordingText, int32_t turn) {
    if (base.find('#') != std::string::npos || recordingText.size() > kRecordingMaxBytes || turn < 1 ||
        turn > kSharedLinkMaxTurn) {
        return "";
    }
    const std::string packed = packZlib(toLinkText(recordingText));
    const std::string turnText = std::to_string(turn);
    const size_t length = base.size() + 7 + (packed.size() * 4 + 2) / 3 + 6 + turnText.size();
    if (packed.empty() || length > kSharedLinkMaxChars) return "";
    return base + "#watch=" + toBase64url(packed) + "&turn=" + turnText;
}

}  // namespace delve
