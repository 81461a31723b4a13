// Any bytes as a shared link, and as the packed game inside one: the link
// either opens to a game whose own link opens to it again, or is refused
// with a reason. Unpacking with a small cap agrees with unpacking whole, so
// the cap stops a stream exactly where its output passes it, never sooner.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "share/base64url.h"
#include "share/shared_link.h"
#include "share/zlib_packing.h"

namespace {

void openAndMakeAgain(const std::string& link) {
    using namespace delve;
    std::string problem;
    const auto opened = openSharedLink(link, problem);
    if (opened.has_value() == !problem.empty()) std::abort();
    if (!opened) return;
    if (opened->turn < 1 || opened->turn > kSharedLinkMaxTurn || opened->text != opened->recording.text) std::abort();
    // Packed again it may come out longer than the link's own packing did,
    // and then there is no link; one that is made opens to the same game.
    const std::string again = makeSharedLink("x", opened->text, opened->turn);
    if (again.empty()) return;
    const auto reopened = openSharedLink(again, problem);
    if (!reopened || reopened->text != opened->text || reopened->turn != opened->turn) std::abort();
}

void unpackWithCaps(const std::string& packed) {
    using namespace delve;
    const UnpackedBytes whole = unpackZlib(packed, kRecordingMaxBytes);
    for (const size_t cap : {0, 1, 100, 4096}) {
        const UnpackedBytes capped = unpackZlib(packed, cap);
        if (capped.status == Unpacked::Whole && capped.bytes.size() > cap) std::abort();
        switch (whole.status) {
            case Unpacked::Whole:
                if (whole.bytes.size() <= cap ? capped.status != Unpacked::Whole || capped.bytes != whole.bytes
                                              : capped.status != Unpacked::TooLarge) {
                    std::abort();
                }
                break;
            case Unpacked::TooLarge:
                if (capped.status != Unpacked::TooLarge) std::abort();
                break;
            case Unpacked::Damaged:  // the damage may lie past the smaller cap
                if (capped.status == Unpacked::Whole) std::abort();
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace delve;
    const std::string input(reinterpret_cast<const char*>(data), size);
    openAndMakeAgain(input);
    openAndMakeAgain("#watch=" + toBase64url(input) + "&turn=1");
    unpackWithCaps(input);
    if (fromBase64url(toBase64url(input)) != input) std::abort();
    if (const auto decoded = fromBase64url(input); decoded && fromBase64url(toBase64url(*decoded)) != decoded) {
        std::abort();
    }
    return 0;
}
