// Shared links: a kept game and a turn in a link's fragment. A link made of
// a real game opens to the same game, whatever else the link holds; a cut,
// damaged, oversized or hostile one is refused with one reason, the same
// reason the page gives (web/js/share.js, run under Node where it is there).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

#include "recording/recording_format.h"
#include "share/base64url.h"
#include "share/link_text.h"
#include "share/shared_link.h"
#include "share/zlib_packing.h"
#include "support/recordings.h"
#include "support/support.h"

namespace delve::test {
namespace {

const std::string kBase = "https://example.invalid/delve/";
const std::string kDamaged = "the link's game cannot be unpacked (it is damaged or cut short)";
const std::string kTooLarge = "the link's game is larger than 16 MiB unpacked";
const std::string kBadTurn = "the link's turn is not a whole number from 1 to 999999999";

// 60 turns of moves and spells, recorded on the shipped data.
std::string realGame() {
    const ScratchDir dir;
    copyStaged(dir);
    Batches batches = {"x", "@317\r", "6"};
    const std::string moves = "6668222244448886v 2t6h4f8w8b";
    for (int i = 0; i < 60; ++i) batches.push_back(std::string(1, moves[i % moves.size()]));
    return record(dir.path(), batches, "", true).text;
}

const std::string& game() {
    static const std::string text = realGame();
    return text;
}

// A link holding exactly these packed bytes.
std::string linkOf(const std::string& packed, const std::string& rest = "&turn=1") {
    return kBase + "#watch=" + toBase64url(packed) + rest;
}

// The reason a link is refused, or "" when it opens.
std::string problemOf(const std::string& link) {
    std::string problem;
    const auto opened = openSharedLink(link, problem);
    EXPECT_EQ(opened.has_value(), problem.empty()) << problem;
    return problem;
}

TEST(SharedLink, AGameAndItsTurnComeBackWhateverElseTheLinkHolds) {
    const std::string link = makeSharedLink(kBase, game(), 40);
    ASSERT_EQ(link.rfind(kBase + "#watch=", 0), 0u) << link;
    EXPECT_TRUE(looksLikeSharedLink(link));
    std::string problem;
    auto opened = openSharedLink(link, problem);
    ASSERT_TRUE(opened) << problem;
    EXPECT_EQ(opened->text, game());
    EXPECT_EQ(opened->recording.text, game());
    EXPECT_GT(opened->recording.lastTurn, 40);
    EXPECT_EQ(opened->turn, 40);

    // Parameters in any order, unknown ones ignored, the first of two taken,
    // the query never read; leading zeros in the turn are fine.
    const size_t at = link.find("watch=") + 6;
    const std::string payload = link.substr(at, link.find('&') - at);
    const std::pair<std::string, int32_t> variants[] = {
        {kBase + "?watch=nothing&turn=5#from=chat&turn=7&watch=" + payload, 7},
        {kBase + "#turn=000000009&watch=" + payload + "&watch=AAAA&turn=3&", 9},
        {"#watch=" + payload + "&x&=&turn=999999999", 999999999},
    };
    for (const auto& [variant, turn] : variants) {
        opened = openSharedLink(variant, problem);
        ASSERT_TRUE(opened) << variant << ": " << problem;
        EXPECT_EQ(opened->text, game());
        EXPECT_EQ(opened->turn, turn);
    }
}

// Turns counted up are left out of a link's text and written back on the
// way out, byte for byte, whatever the lines; a game of single keys packs
// to a link well within the limit.
TEST(SharedLink, KeyLinesLeaveOutTheTurnsTheyCountUpTo) {
    const std::string text =
        "delve-recording 1\nprogram x\ndata 0000000000000000\nk 0 x @ 1 \\r\nk 0 \\x20\nt 0x1p+3\nk 1 6\nk 2 6 8\n"
        "p 4 00000000000000ff\nk 4 v\nk 057 6\nk 58 6\n# k 99 a comment\nk 9 2\nk 10 2";
    const std::string link = toLinkText(text);
    EXPECT_NE(link.find("\nK 6 8\n"), std::string::npos) << link;
    EXPECT_NE(link.find("\nk 0 \\x20\n"), std::string::npos) << "a turn not counted up is kept";
    EXPECT_NE(link.find("\nk 057 6\nk 58 6\n"), std::string::npos) << "a turn written oddly is kept as written";
    EXPECT_EQ(fromLinkText(link), text);

    std::string single = "delve-recording 1\nprogram x\ndata 0000000000000000\n";
    uint32_t state = 7;
    for (int turn = 0; turn < 10'000; ++turn) {
        state = state * 1103515245u + 12345u;
        single += "k " + std::to_string(turn) + " " + std::string(1, "8888666622224444vh+f"[(state >> 16) % 20]) + "\n";
        if (turn % 50 == 49) single += "p " + std::to_string(turn + 1) + " " + hex16(fnv1a64(single)) + "\n";
    }
    EXPECT_EQ(fromLinkText(toLinkText(single)), single);
    const std::string shared = makeSharedLink("https://example.invalid/delve/", single, 812);
    ASSERT_FALSE(shared.empty());
    EXPECT_LE(shared.size(), 24u * 1024) << "a 10,000-turn game of single keys";
}

TEST(SharedLink, NeedsAFragmentWithAGameAndATurnFromOne) {
    for (const std::string text : {"games/2026-01-01_000000_seed-17.rec", "x?watch=abc", "x#xwatch=abc", "x#watch"}) {
        EXPECT_FALSE(looksLikeSharedLink(text)) << text;
        EXPECT_EQ(problemOf(text), "the link has no game in it") << text;
    }
    // An empty game is still a link, so --play says what is wrong with it.
    EXPECT_TRUE(looksLikeSharedLink("#watch=&turn=2"));
    EXPECT_EQ(problemOf("#watch=&turn=2"), "the link has no game in it");

    const std::string packed = packZlib(game());
    EXPECT_EQ(problemOf(linkOf(packed, "&turns=4")), "the link has no turn in it");
    for (const std::string turn : {"", "0", "000000000", "1234567890", "2147483648", "-1", "+1", "2.5", " 4"}) {
        EXPECT_EQ(problemOf(linkOf(packed, "&turn=" + turn)), kBadTurn) << turn;
    }
}

TEST(SharedLink, BrokenOrForeignGamesAreRefusedWithTheirReason) {
    const std::string link = makeSharedLink(kBase, game(), 12);
    // Cut anywhere in its game, as a chat program may cut a long line.
    const size_t from = link.find("watch=") + 6, to = link.find('&');
    for (const size_t cut : {from + 1, from + 2, from + 3, (from + to) / 2, to - 1}) {
        EXPECT_EQ(problemOf(link.substr(0, cut)), kDamaged) << cut;
    }
    for (const std::string payload : {"eJzL+SvA", "eJzL/SvA", "eJzLSM3JyQcABiwCFQ==", "eJz%20L"}) {
        EXPECT_EQ(problemOf(kBase + "#watch=" + payload + "&turn=1"), "the link's game is not base64url") << payload;
    }
    const std::string packed = packZlib(game());
    std::string flipped = packed;
    flipped.back() ^= 1;  // the checksum
    for (const std::string& bad : {std::string("not packed"), flipped, packed.substr(2), packed + packed}) {
        EXPECT_EQ(problemOf(linkOf(bad)), kDamaged);
    }

    // Packed well, but not a kept game: the reader's own reason and line.
    const std::string notKept = "the link's game is not a kept game: ";
    EXPECT_EQ(problemOf(linkOf(packZlib("hello"))), notKept + "not a Delve recording");
    EXPECT_EQ(problemOf(linkOf(packZlib("delve-recording 2\r\nprogram 9\n"))),
              notKept + "recording format 2 is not supported (this program reads 1)");
    std::string broken = game();
    broken.insert(broken.find("\nk ") + 1, "k seven 6\n");
    EXPECT_EQ(problemOf(linkOf(packZlib(broken))).rfind(notKept + "line ", 0), 0u);

    // Over the length limit, whatever it holds; at it, it opens.
    const std::string padded = linkOf(packed) + "&pad=" + std::string(kSharedLinkMaxChars, 'x');
    EXPECT_EQ(problemOf(padded), "the link is longer than 32,768 characters");
    EXPECT_EQ(problemOf(padded.substr(0, kSharedLinkMaxChars)), "");
}

TEST(SharedLink, WhatUnpacksPastTheCapIsStoppedThereQuickly) {
    // Its checksum is wrong, but unpacking stops at the cap, long before it.
    std::string bomb = packZlib(std::string(40'000'000, '\0'));
    bomb.back() ^= 1;
    // One that fits in a link is refused for its size, not its length.
    const std::string link = linkOf(packZlib(std::string(20'000'000, '\0')));
    ASSERT_LT(link.size(), kSharedLinkMaxChars);

    const auto start = std::chrono::steady_clock::now();
    const UnpackedBytes unpacked = unpackZlib(bomb, kRecordingMaxBytes);
    EXPECT_EQ(unpacked.status, Unpacked::TooLarge);
    EXPECT_TRUE(unpacked.bytes.empty());
    EXPECT_EQ(problemOf(link), kTooLarge);
    // Well over what it takes (a fifth of a second each, here), so that only
    // a stream unpacked past the cap, or far slower, fails.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // The cap itself is allowed, a byte more is not.
    const std::string text(100'000, 'k');
    EXPECT_EQ(unpackZlib(packZlib(text), text.size()).bytes, text);
    EXPECT_EQ(unpackZlib(packZlib(text), text.size() - 1).status, Unpacked::TooLarge);
}

TEST(SharedLink, IsMadeOnlyWhenItWouldOpen) {
    std::string noise;
    uint32_t seed = 17;
    for (int i = 0; i < 30000; ++i) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        noise += static_cast<char>(seed & 0xff);
    }
    EXPECT_EQ(makeSharedLink(kBase, "delve-recording 1\n# " + noise + "\n", 1), "");
    for (const int32_t turn : {0, 1'000'000'000}) EXPECT_EQ(makeSharedLink(kBase, game(), turn), "") << turn;
    EXPECT_EQ(makeSharedLink(kBase + "#old", game(), 1), "");
    EXPECT_EQ(makeSharedLink(kBase, std::string(kRecordingMaxBytes + 1, '\n'), 1), "");
    // The standard's own examples of base64, in the URL's alphabet.
    const std::pair<std::string, std::string> known[] = {
        {"", ""}, {"f", "Zg"}, {"fo", "Zm8"}, {"foobar", "Zm9vYmFy"}, {"\xfb\xef\xbf\xfb\xff", "---_-_8"}};
    for (const auto& [bytes, text] : known) {
        EXPECT_EQ(toBase64url(bytes), text);
        EXPECT_EQ(fromBase64url(text), bytes);
    }
}

#ifdef _WIN32
TEST(SharedLink, OpensInThePageAndBack) {
    GTEST_SKIP() << "runs the page's share.js under Node, which the Windows run has not";
}
#else

// What the page's share.js prints under Node (web/test/share-cross.js),
// run in `dir`.
std::string pageSays(const ScratchDir& dir, const std::string& args) {
    const std::string command =
        "cd '" + dir.path() + "' && node '" DELVE_SOURCE_DIR "/web/test/share-cross.js' " + args + " >out 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << dir.read("out");
    return dir.read("out");
}

TEST(SharedLink, OpensInThePageAndBack) {
    if (std::system("node --version >/dev/null 2>&1") != 0) {
        if (std::getenv("CI") && std::string(std::getenv("CI")) == "true") FAIL() << "node is missing";
        GTEST_SKIP() << "node is missing; the page's side is not checked";
    }
    const std::string packed = packZlib(game());
    const std::string made = makeSharedLink(kBase, game(), 33);
    // Every refusal that the page makes the same way (it reads only a game's
    // first line: the game reads the rest when it plays it).
    const std::string links[] = {
        made,
        "#turn=7&x=1&watch=" + toBase64url(packed),
        made.substr(0, made.size() / 2),
        kBase + "#watch=eJzL+SvA&turn=1",
        kBase + "#watch=A&turn=1",
        kBase + "#turn=1",
        linkOf(packed, "&turn=0"),
        linkOf(packed, ""),
        linkOf(packZlib(std::string(20'000'000, '\0'))),
        linkOf(packed) + "&pad=" + std::string(kSharedLinkMaxChars, 'x'),
        linkOf(packZlib("hello\n")),
        linkOf(packZlib("delve-recording 12345678901234567890123\n")),
    };
    const ScratchDir dir;
    std::string list, here;
    for (const std::string& link : links) {
        list += link + "\n";
        std::string problem;
        const auto opened = openSharedLink(link, problem);
        here += opened ? "game " + std::to_string(opened->turn) + " " + toBase64url(opened->text) : "problem " + problem;
        here += "\n";
    }
    dir.write("links", list);
    EXPECT_EQ(pageSays(dir, "open links"), here);

    // A link the page makes opens here.
    dir.write("game.rec", game());
    const std::string link = pageSays(dir, "make game.rec 58");
    std::string problem;
    const auto opened = openSharedLink(link.substr(0, link.find('\n')), problem);
    ASSERT_TRUE(opened) << problem;
    EXPECT_EQ(opened->text, game());
    EXPECT_EQ(opened->turn, 58);
}

#endif

}  // namespace
}  // namespace delve::test
