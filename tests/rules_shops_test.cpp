#include <gtest/gtest.h>

#include "data/key_value_store.h"
#include "rules/shops.h"
#include "support/support.h"

namespace delve {
namespace {

TEST(OfferText, CountInFrontWithPluralEndings) {
    EXPECT_EQ(offerText("key", 1), "1key");
    EXPECT_EQ(offerText("key", 3), "3keys");
    EXPECT_EQ(offerText("box", 3), "3boxes");
    EXPECT_EQ(offerText("box", 1), "1box");
    EXPECT_EQ(offerText(" bombs for", 0), "0 bombs for");
    EXPECT_EQ(offerText("key", 2.5f), "2.5keys");
}

TEST(OfferText, ItemTextsEndingInPlusKeepTheCountBehind) {
    EXPECT_EQ(offerText("mp+", 5), "mps+5");
    EXPECT_EQ(offerText("mp+", 1), "mp+1");
    EXPECT_EQ(offerText("ax+", 2), "axes+2");
    EXPECT_EQ(offerText("+", 2), "s+2");
    EXPECT_EQ(offerText("hero's'+", 4), "hero's'+4");
    EXPECT_EQ(offerText("'+", 1), "'+1");
}

TEST(OfferText, LargeCountsUseSevenDigits) {
    EXPECT_EQ(offerText("gem", 12345678), "1.234568e+07gems");
}

struct ShopTest : ::testing::Test {
    test::ScratchDir dir;
    test::HeadlessGame h{dir.path()};
    Game& g = h.game;
    void SetUp() override {
        std::string text =
            "m0i/1705/m0s$=Ye Olde Shoppe\r\nm0i/1705/m1s$=Box\r\nm0i/1705/m1i=20\r\nm0i/1705/m2i=3\r\n"
            "m0i/1718/m0s$=Last\r\nm0i/1718/m1s$=mp+\r\nm0i/1718/m1i=2.5\r\nm0i/1718/m2i=1\r\n";
        parseStoreText(text, g.shopData);
    }
};

TEST_F(ShopTest, OfferOnAQuietTurn) {
    g.shopIndex = 5;
    shopOffer(g);
    EXPECT_EQ(g.messageLine, "{ye olde shoppe: 20GP for 3boxes}");
    g.shopIndex = 18;
    g.messageLine.clear();
    shopOffer(g);
    EXPECT_EQ(g.messageLine, "{last: 2.5GP for mp+1}");
}

TEST_F(ShopTest, AnyOtherReportTakesPrecedence) {
    g.shopIndex = 5;
    g.messageLine = "[Gold +3]";
    shopOffer(g);
    EXPECT_EQ(g.messageLine, "[Gold +3]");
}

TEST_F(ShopTest, AMissingRecordStillShowsAnOffer) {
    g.shopIndex = 7;
    shopOffer(g);
    EXPECT_EQ(g.messageLine, "{%%: 0GP for 0%%}");
}

}  // namespace
}  // namespace delve
