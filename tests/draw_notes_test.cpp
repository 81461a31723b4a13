// Draws noted instead of done: whatever is drawn, in any combine mode, at
// any place and size, over many turns with page copies and windows opened
// again, every page composed at every turn is the page the same draws
// leave when done.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "platform/draw_notes.h"
#include "platform/headless/headless_backend.h"
#include "platform/platform.h"
#include "support/support.h"

namespace delve::test {
namespace {

using PageHashes = std::array<uint64_t, kPageCount>;

PageHashes hashes(const Screen& s) {
    PageHashes h{};
    for (int p = 0; p < kPageCount; ++p) h[static_cast<size_t>(p)] = pageHash(s, p);
    return h;
}

Image randomImage(std::mt19937& random, int width, int height) {
    Image image = createImage(width, height);
    for (uint8_t& pixel : image.pixels) pixel = static_cast<uint8_t>(random() % 16);
    return image;
}

// One scripted draw, done on a drawn platform and noted on a noting one.
struct Scene {
    HeadlessBackend quietA{""}, quietB{""};
    Platform drawn{quietA}, noting{quietB};
    DrawNotes notes;
    std::vector<Image> images;
    Scene() { noting.screen.notes = &notes; }

    void open(int width, int height) {
        openWindow(drawn, width, height);
        openWindow(noting, width, height);
    }
    void image(size_t which, int x, int y, Combine mode) {
        drawImage(workSurface(drawn.screen), x, y, images[which], mode);
        noteImage(notes, noting.screen, x, y, static_cast<uint32_t>(which), mode);
    }
    void box(int x1, int y1, int x2, int y2, int colour, LineShape shape) {
        drawLine(workSurface(drawn.screen), x1, y1, x2, y2, colour, shape);
        noteBox(notes, noting.screen, x1, y1, x2, y2, colour, shape);
    }
    void pages(int work, int visible) {
        setPages(drawn, work, visible);
        setPages(noting, work, visible);
    }
    void copy(int from, int to) {
        copyPage(drawn, from, to);
        copyPage(noting, from, to);
    }
    uint32_t add(Image image) {
        images.push_back(image);
        const uint32_t index = addImage(notes, std::move(image));
        EXPECT_EQ(index, images.size() - 1);
        return index;
    }
};

// Composes every page of every noted turn and compares it with the drawn one.
void expectEveryTurnComposes(const Scene& scene, const std::vector<PageHashes>& drawn, int width, int height,
                             int32_t firstTurn = 1) {
    HeadlessBackend quiet("");
    Platform shown(quiet);
    openWindow(shown, width, height);
    for (int32_t turn = firstTurn; turn <= static_cast<int32_t>(drawn.size()); ++turn) {
        for (int p = 0; p < kPageCount; ++p) {
            ASSERT_TRUE(composePage(scene.notes, turn, shown.screen, p)) << "turn " << turn << " page " << p;
            EXPECT_EQ(pageHash(shown.screen, p), drawn[static_cast<size_t>(turn - 1)][static_cast<size_t>(p)])
                << "turn " << turn << " page " << p;
        }
    }
}

TEST(DrawNotes, EveryCombineModeAnywhereComposesAsDrawn) {
    for (const auto& [width, height] : {std::pair{960, 720}, std::pair{100, 75}}) {
        Scene scene;
        std::mt19937 random(width);
        scene.open(width, height);
        scene.pages(0, 1);
        // Cell tiles, big ones, odd ones, one wider than the page, one pixel.
        for (const auto& [w, h] : {std::pair{16, 16}, {48, 48}, {24, 24}, {17, 5}, {1, 1}, {1200, 3}, {16, 40}})
            scene.add(randomImage(random, w, h));
        const Combine modes[] = {Combine::Pset, Combine::Preset, Combine::And, Combine::Or, Combine::Xor};
        std::vector<PageHashes> drawn;
        for (int turn = 1; turn <= 60; ++turn) {
            for (int i = 0; i < 40; ++i) {
                const size_t which = random() % scene.images.size();
                // Mostly on the cell grid, as the game draws; often not.
                int x = static_cast<int>(random() % (width / 16 + 2)) * 16 - 16;
                int y = static_cast<int>(random() % (height / 16 + 2)) * 16 - 16;
                if (random() % 3 == 0) x += static_cast<int>(random() % 16), y -= static_cast<int>(random() % 9);
                scene.image(which, x, y, modes[random() % 5]);
            }
            const int x1 = static_cast<int>(random() % width) - 20, y1 = static_cast<int>(random() % height) - 20;
            const int x2 = x1 + static_cast<int>(random() % 300) - 100, y2 = y1 + static_cast<int>(random() % 200);
            scene.box(x1, y1, x2, y2, static_cast<int>(random() % 256),
                      random() % 2 ? LineShape::FilledBox : LineShape::Box);
            if (turn % 7 == 0) scene.copy(0, 2 + turn % 5);
            if (turn % 11 == 0) scene.copy(3, 0);
            if (turn % 13 == 0) scene.pages(static_cast<int>(random() % kPageCount), 1);
            scene.copy(-1, 1);
            noteTurnEnd(scene.notes, turn);
            drawn.push_back(hashes(scene.drawn.screen));
        }
        EXPECT_FALSE(scene.notes.stopped);
        expectEveryTurnComposes(scene, drawn, width, height);
    }
}

TEST(DrawNotes, ABlockCombinedOverAndOverStaysExactAndShort) {
    // Xor over the same block every turn never covers it: its chain is made
    // an image of its own now and then, and every turn still composes.
    Scene scene;
    std::mt19937 random(9);
    scene.open(64, 48);
    scene.add(randomImage(random, 16, 16));
    scene.add(randomImage(random, 5, 7));
    std::vector<PageHashes> drawn;
    for (int turn = 1; turn <= 300; ++turn) {
        scene.image(turn % 2, 3 + turn % 4, 2, turn % 3 ? Combine::Xor : Combine::Or);
        noteTurnEnd(scene.notes, turn);
        drawn.push_back(hashes(scene.drawn.screen));
    }
    for (const DrawNotes::Link& link : scene.notes.links) EXPECT_LE(link.depth, 50u);
    expectEveryTurnComposes(scene, drawn, 64, 48);
}

TEST(DrawNotes, AWindowOpenedAgainClearsAndANewSizeLaysOutAfresh) {
    Scene scene;
    std::mt19937 random(4);
    scene.open(320, 200);
    scene.add(randomImage(random, 16, 16));
    std::vector<PageHashes> drawn;
    auto turnOfDraws = [&](int turn) {
        for (int i = 0; i < 30; ++i)
            scene.image(0, static_cast<int>(random() % 400) - 20, static_cast<int>(random() % 300) - 20,
                        Combine::Pset);
        noteTurnEnd(scene.notes, turn);
        drawn.push_back(hashes(scene.drawn.screen));
    };
    turnOfDraws(1);
    turnOfDraws(2);
    scene.open(320, 200);  // the same size: every page cleared
    turnOfDraws(3);
    scene.open(96, 40);
    turnOfDraws(4);
    scene.open(320, 200);
    turnOfDraws(5);
    EXPECT_FALSE(scene.notes.stopped);
    HeadlessBackend quiet("");
    Platform shown(quiet);
    for (int32_t turn = 1; turn <= 5; ++turn) {
        const int w = turn == 4 ? 96 : 320, h = turn == 4 ? 40 : 200;
        openWindow(shown, w, h);
        for (int p = 0; p < kPageCount; ++p) {
            ASSERT_TRUE(composePage(scene.notes, turn, shown.screen, p)) << turn;
            EXPECT_EQ(pageHash(shown.screen, p), drawn[static_cast<size_t>(turn - 1)][static_cast<size_t>(p)])
                << "turn " << turn << " page " << p;
        }
        // A page of another size is not guessed at.
        openWindow(shown, 50, 50);
        EXPECT_FALSE(composePage(scene.notes, turn, shown.screen, 0));
    }
}

TEST(DrawNotes, WhatTheNotesCannotTellIsRefusedNotGuessed) {
    Scene scene;
    std::mt19937 random(2);
    scene.open(64, 64);
    scene.add(randomImage(random, 16, 16));
    scene.image(0, 0, 0, Combine::Pset);
    noteTurnEnd(scene.notes, 1);
    HeadlessBackend quiet("");
    Platform shown(quiet);
    openWindow(shown, 64, 64);
    EXPECT_FALSE(composePage(scene.notes, 2, shown.screen, 0)) << "a turn not noted yet";
    EXPECT_FALSE(composePage(scene.notes, 1, shown.screen, kPageCount)) << "no such page";
    // A loose line is no draw the notes take: noting stops, and what was
    // noted before still composes.
    scene.box(0, 0, 40, 30, 3, LineShape::Line);
    EXPECT_TRUE(scene.notes.stopped);
    noteTurnEnd(scene.notes, 2);
    EXPECT_EQ(scene.notes.turn, 1);
    EXPECT_FALSE(composePage(scene.notes, 2, shown.screen, 0));
    EXPECT_FALSE(composePage(scene.notes, -1, shown.screen, 0)) << "the pages now are unknown";
    ASSERT_TRUE(composePage(scene.notes, 1, shown.screen, 0));

    // Notes that outgrow their room stop at the end of the turn that did it.
    Scene tight;
    tight.notes.bytesLimit = 400000;
    tight.open(640, 480);
    tight.add(randomImage(random, 16, 16));
    int32_t turn = 0;
    while (!tight.notes.stopped && turn < 1000) {
        for (int i = 0; i < 20; ++i)
            tight.image(0, static_cast<int>(random() % 640), static_cast<int>(random() % 480), Combine::Xor);
        noteTurnEnd(tight.notes, ++turn);
    }
    EXPECT_TRUE(tight.notes.stopped);
    EXPECT_EQ(tight.notes.turn, turn);
    EXPECT_LT(turn, 1000);
}

// What a span drew on, marked as a replay that notes nothing goes: every
// block a box, an image or a page copy reaches, and no other, on a window
// whose rows of blocks do not end on a word of marks; a window opened marks
// every block, a loose line spans cannot follow.
TEST(DrawTouches, EveryBlockADrawReachesIsMarkedAndNoOther) {
    HeadlessBackend quiet("");
    Platform p(quiet);
    DrawNotes n;
    n.quiet = true;
    DrawTouches touches;
    n.touches = &touches;
    p.screen.notes = &n;
    const int width = 1000, height = 200;  // 63 by 13 blocks, the last ones cut short
    openWindow(p, width, height);
    ASSERT_EQ(touches.spans.size(), 1u);
    EXPECT_TRUE(touches.spans[0].all);
    const int columns = 63, rows = 13, blocks = columns * rows;
    std::mt19937 random(5);
    const uint32_t image = addImage(n, randomImage(random, 24, 40));
    for (int round = 0; round < 40; ++round) {
        touches.spans.emplace_back();
        std::vector<bool> want(static_cast<size_t>(kPageCount * blocks), false);
        auto mark = [&](int page, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {  // x2, y2 excluded
            for (int b = 0; b < blocks; ++b) {
                const int64_t left = (b % columns) * 16, top = (b / columns) * 16;
                if (x1 < std::min<int64_t>(left + 16, width) && left < x2 && y1 < std::min<int64_t>(top + 16, height) &&
                    top < y2)
                    want[static_cast<size_t>(page * blocks + b)] = true;
            }
        };
        for (int draw = 0; draw < 6; ++draw) {
            const int page = static_cast<int>(random() % kPageCount);
            setPages(p, page, 0);
            const int x = static_cast<int>(random() % 1100) - 50, y = static_cast<int>(random() % 260) - 30;
            switch (random() % 4) {
                case 0:
                    noteImage(n, p.screen, x, y, image, Combine::Xor);
                    mark(page, x, y, int64_t{x} + 24, int64_t{y} + 40);
                    break;
                case 1: {
                    const int w = static_cast<int>(random() % 900), h = static_cast<int>(random() % 150);
                    noteBox(n, p.screen, x, y, x + w, y + h, 3, LineShape::FilledBox);
                    mark(page, x, y, int64_t{x} + w + 1, int64_t{y} + h + 1);
                    break;
                }
                case 2:
                    noteBox(n, p.screen, -10, y, width + 10, y + 20, 4, LineShape::Box);
                    mark(page, -10, y, width + 11, int64_t{y} + 21);
                    break;
                default: {
                    const int to = static_cast<int>(random() % kPageCount);
                    copyPage(p, page, to);
                    if (to != page) mark(to, 0, 0, width, height);
                }
            }
        }
        const size_t span = touches.spans.size() - 1;
        int wrong = 0;
        for (int page = 0; page < kPageCount; ++page)
            for (int b = 0; b < blocks; ++b)
                wrong += touched(touches, span, width, height, page, b) != want[static_cast<size_t>(page * blocks + b)];
        EXPECT_EQ(wrong, 0) << "round " << round;
        // Joined with the span before, a span keeps its marks.
        const DrawTouches::Span joined = joinSpans(touches.spans[span - 1], touches.spans[span]);
        DrawTouches both;
        both.spans = {joined};
        for (int b = 0; b < kPageCount * blocks; ++b) {
            if (!want[static_cast<size_t>(b)]) continue;
            ASSERT_TRUE(touched(both, 0, width, height, b / blocks, b % blocks));
        }
    }
    EXPECT_FALSE(touches.broken);
    touches.spans.emplace_back();
    openWindow(p, 320, 200);
    EXPECT_TRUE(touched(touches, touches.spans.size() - 1, width, height, 0, 0)) << "a window opened";
    noteBox(n, p.screen, 0, 0, 30, 30, 2, LineShape::Line);
    EXPECT_TRUE(touches.broken);
}

}  // namespace
}  // namespace delve::test
