// The data-file store: CR LF lines of key=value, nothing trimmed, first match
// wins ignoring case; values come back in lower case, "%%" when missing; and
// the number reading every caller applies to those values.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <filesystem>

#include "data/key_value_store.h"
#include "platform/numbers.h"
#include "support/support.h"

namespace delve {
namespace {

KeyValueStore parsed(std::string text) {
    KeyValueStore store;
    parseStoreText(text, store);
    return store;
}

int entryCount(const std::string& folder) {
    const std::filesystem::directory_iterator entries(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

void expectPairs(const KeyValueStore& store, const std::vector<std::pair<std::string, std::string>>& pairs) {
    ASSERT_EQ(store.pairs.size(), pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(store.pairs[i].key, pairs[i].first) << i;
        EXPECT_EQ(store.pairs[i].value, pairs[i].second) << i;
    }
}

TEST(StoreParsing, LinesEndOnlyAtCrLf) {
    expectPairs(parsed("a=1\r\nb=2"), {{"a", "1"}, {"b", "2"}});
    expectPairs(parsed("a=1\r\nb=2\r\n"), {{"a", "1"}, {"b", "2"}});
    // LF alone and CR alone stay inside the line.
    expectPairs(parsed("a=1\nb=2\nc=3"), {{"a", "1\nb=2\nc=3"}});
    expectPairs(parsed("a=1\rb=2\r\r\nc=3"), {{"a", "1\rb=2\r"}, {"c", "3"}});
    expectPairs(parsed(""), {});
}

TEST(StoreParsing, FirstEqualsSplitsAndNothingIsTrimmed) {
    expectPairs(parsed("x=1=2\r\nno equals here\r\n\r\n=empty key\r\nempty value=\r\n key = v "),
                {{"x", "1=2"}, {"", "empty key"}, {"empty value", ""}, {" key ", " v "}});
}

TEST(StoreParsing, TheTextIsConsumedAndPairsAppended) {
    KeyValueStore store;
    std::string text = "a=1";
    parseStoreText(text, store);
    EXPECT_TRUE(text.empty());
    std::string more = "a=2\r\nb=3";
    parseStoreText(more, store);
    expectPairs(store, {{"a", "1"}, {"a", "2"}, {"b", "3"}});
}

TEST(StoreLookup, FirstMatchIgnoringCaseInLowerCase) {
    const KeyValueStore store = parsed("Name=Hero\r\nname=Other\r\nEmpty=\r\nparty/count =3");
    EXPECT_EQ(lookupValue("NAME", store), "hero");
    EXPECT_EQ(lookupValue("empty", store), "");
    EXPECT_EQ(lookupValue("missing", store), "%%");
    // No trimming and no prefixes: the blank belongs to the stored key.
    EXPECT_EQ(lookupValue("party/count", store), "%%");
    EXPECT_EQ(lookupValue("party/count ", store), "3");
    EXPECT_EQ(lookupValue("Nam", store), "%%");
    EXPECT_EQ(lookupValue("anything", KeyValueStore{}), "%%");
    // Only ASCII letters change case.
    const KeyValueStore bytes = parsed("\xC4K\xE4=V\xC4");
    EXPECT_EQ(lookupValue("\xC4k\xE4", bytes), "v\xC4");
    EXPECT_EQ(lookupValue("\xE4k\xE4", bytes), "%%");
}

TEST(DisplayNames, TitleCaseAfterBlanksOnly) {
    std::string text = "mIXED case";
    EXPECT_EQ(toTitleCase(text), "Mixed Case");
    EXPECT_EQ(text, "Mixed Case");  // rewritten in place
    std::string other = "o'neil-smith 3rd  and\tmore";
    EXPECT_EQ(toTitleCase(other), "O'neil-smith 3rd  And\tmore");
    std::string empty;
    EXPECT_EQ(toTitleCase(empty), "");
}

TEST(DisplayNames, EnclosingQuotesGo) {
    EXPECT_EQ(toDisplayName("\"the dark tower\""), "The Dark Tower");
    EXPECT_EQ(toDisplayName("\""), "");
    EXPECT_EQ(toDisplayName("\"\""), "");
    EXPECT_EQ(toDisplayName("\"hello"), "\"hello");
    EXPECT_EQ(toDisplayName("hello\""), "Hello\"");
    EXPECT_EQ(toDisplayName("hello  world"), "Hello  World");
    EXPECT_EQ(toDisplayName("\" spaced \""), " Spaced ");
}

// ---- files ----

class StoreFiles : public ::testing::Test {
protected:
    StoreFiles() { files.root = dir.path(); }
    test::ScratchDir dir;
    Files files;
};

TEST_F(StoreFiles, SavesExactBytes) {
    dir.write("res/keep.txt", "");
    EXPECT_TRUE(saveStoreFile(files, "res\\out.dat", parsed("a=1\r\nb=2")));
    EXPECT_EQ(dir.read("res/out.dat"), "a=1\r\nb=2");
    EXPECT_TRUE(saveStoreFile(files, "res\\out.dat", KeyValueStore{}));
    EXPECT_TRUE(dir.exists("res/out.dat"));
    EXPECT_EQ(dir.read("res/out.dat"), "");
    // Case and blanks are written as stored, and read back the same.
    const KeyValueStore original = parsed("Key A= Value\r\n=\r\nx=1=2");
    EXPECT_TRUE(saveStoreFile(files, "res\\OUT.DAT", original));
    KeyValueStore back;
    loadStoreFile(files, "res\\out.dat", back);
    expectPairs(back, {{"Key A", " Value"}, {"", ""}, {"x", "1=2"}});
    // Only the saved file and the untouched neighbour remain: no temporary files.
    EXPECT_EQ(entryCount(dir.path() + "/res"), 2);
}

TEST_F(StoreFiles, LoadingTwiceAppendsTwice) {
    dir.write("res/gamedata.dat", "Title=\"Delve\"\r\nSeed=5");
    KeyValueStore store;
    loadStoreFile(files, ".\\res\\GameData.dat", store);
    loadStoreFile(files, ".\\res\\gamedata.dat", store);
    ASSERT_EQ(store.pairs.size(), 4u);
    EXPECT_EQ(store.pairs[2].key, "Title");
    EXPECT_EQ(lookupValue("seed", store), "5");
}

TEST_F(StoreFiles, AMissingFileLeavesTheStoreAndMakesAnEmptyFile) {
    KeyValueStore store = parsed("a=1");
    loadStoreFile(files, "res\\stats.dat", store);  // no res folder: cannot open
    loadStoreFile(files, "stats.dat", store);
    expectPairs(store, {{"a", "1"}});
    EXPECT_TRUE(dir.exists("stats.dat"));
    EXPECT_FALSE(dir.exists("res"));
}

TEST_F(StoreFiles, AFailedWriteKeepsTheOldFileWhole) {
    dir.write("res/shops.dat", "old=1");
    KeyValueStore big;
    for (int i = 0; i < 50; ++i) big.pairs.push_back({"key" + std::to_string(i), "value"});
    // A full disk, as far as this process can tell: writes past 16 bytes fail.
    // (File size limits hold for every user, root included.)
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = saveStoreFile(files, "res\\shops.dat", big);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_EQ(dir.read("res/shops.dat"), "old=1");
    EXPECT_EQ(entryCount(dir.path() + "/res"), 1);  // the half-written temporary file is gone
    EXPECT_TRUE(saveStoreFile(files, "res\\shops.dat", big));  // and it works again
}

TEST_F(StoreFiles, SavingOntoAFolderFailsAndChangesNothing) {
    dir.write("res/encounter.txt/inside", "x");
    EXPECT_FALSE(saveStoreFile(files, "res\\encounter.txt", parsed("a=1")));
    EXPECT_EQ(dir.read("res/encounter.txt/inside"), "x");
    EXPECT_EQ(entryCount(dir.path() + "/res"), 1);
    EXPECT_FALSE(saveStoreFile(files, "nowhere\\x.dat", parsed("a=1")));
    EXPECT_FALSE(dir.exists("nowhere"));
}

// ---- reading numbers out of values ----

TEST(NumberReading, LongestLeadingDecimalNumber) {
    EXPECT_EQ(readLeadingNumber("  12abc"), 12);
    EXPECT_EQ(readLeadingNumber("-3.5e2x"), -350);
    EXPECT_EQ(readLeadingNumber("+7"), 7);
    EXPECT_EQ(readLeadingNumber(".5"), 0.5);
    EXPECT_EQ(readLeadingNumber("-.25"), -0.25);
    EXPECT_EQ(readLeadingNumber("1.5.5"), 1.5);
    EXPECT_EQ(readLeadingNumber("4e"), 4);   // an exponent needs digits
    EXPECT_EQ(readLeadingNumber("4e+x"), 4);
    EXPECT_EQ(readLeadingNumber("2E-1"), 0.2);
    EXPECT_EQ(readLeadingNumber("12 34"), 12);
}

TEST(NumberReading, HexadecimalAfterAmpersandH) {
    EXPECT_EQ(readLeadingNumber("&H1F"), 31);
    EXPECT_EQ(readLeadingNumber("  &hff rest"), 255);
    EXPECT_EQ(readLeadingNumber("&H"), 0);
    EXPECT_EQ(readLeadingNumber("&HZ1"), 0);
    EXPECT_EQ(readLeadingNumber("&"), 0);
}

TEST(NumberReading, NoNumberIsZero) {
    for (const char* text : {"abc", "", "%%", "   ", "-", "+.", ".", " - 5", "e5"})
        EXPECT_EQ(readLeadingNumber(text), 0) << '"' << text << '"';
}

TEST(NumberReading, IntegersRoundHalvesToEven) {
    EXPECT_EQ(readInteger("2.5"), 2);
    EXPECT_EQ(readInteger("3.5"), 4);
    EXPECT_EQ(readInteger("-2.5"), -2);
    EXPECT_EQ(readInteger(" 7.49"), 7);
    EXPECT_EQ(readInteger("0.5000001"), 1);
    EXPECT_EQ(readInteger("%%"), 0);
    // Far out of range saturates instead of overflowing.
    EXPECT_EQ(readInteger("1e400"), INT32_MAX);
    EXPECT_EQ(readInteger("-99999999999"), INT32_MIN);
    EXPECT_EQ(readInteger("&HFFFFFFFFFF"), INT32_MAX);
}

}  // namespace
}  // namespace delve
