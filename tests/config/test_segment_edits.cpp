// Rectangle edits on one output's segments, the clipboard text forms, and contacts moved to
// other signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "compiler/Compiler.h"
#include "config/Rewire.h"
#include "config/SegmentEdits.h"
#include "support/SampleConfigs.h"

namespace zez {
namespace {

// Every segment a distinct code/selection pair, so any misplaced copy shows.
Config Numbered(int output) {
    Config c;
    for (int s = 0; s < kSegments; ++s) {
        c.SegType[output][s] = static_cast<int16_t>(s % 16);
        c.SegInput[output][s] = static_cast<int16_t>(s / 16);
    }
    return c;
}

TEST(SegmentEdits, CopyPasteAndBlankTouchTheRectangleAndNothingElse) {
    const Config start = Numbered(2);
    const Clip clip = CopyRect(start, 2, SegRect::Spanning(33, 0));  // corners in either order
    ASSERT_EQ(clip.rows, 3);
    ASSERT_EQ(clip.columns, 2);
    Config c = start;
    PasteClip(c, 2, 96, clip);
    for (int s = 0; s < kSegments; ++s) {
        const int r = SegRow(s) - 6, col = SegColumn(s);
        const bool inside = r >= 0 && r < 3 && col < 2;
        const int from = inside ? 16 * r + col : s;
        EXPECT_EQ(c.SegType[2][s], start.SegType[2][from]) << s;
        EXPECT_EQ(c.SegInput[2][s], start.SegInput[2][from]) << s;
    }
    EXPECT_EQ(c.SegType[0], start.SegType[0]);  // other outputs untouched
    // At the edge what fits is pasted: from row 14, column 15, 2 x 1 of the whole grid. The
    // warning counts the pasted segments with a value outside 0..15 (one, with two such values),
    // not those of the clip beyond the edge.
    Config edge;
    edge.SegInput[0].fill(99);
    Clip whole = CopyRect(start, 2, SegRect::Whole());
    whole.types[0] = 16, whole.inputs[0] = -1, whole.inputs[1] = 16;
    const Pasted pasted = PasteClip(edge, 0, 16 * 14 + 15, whole);
    EXPECT_EQ(pasted.rect, (SegRect{14, 15, 15, 15}));
    EXPECT_EQ(pasted.invalid, 1);
    EXPECT_EQ(std::count_if(edge.SegInput[0].begin(), edge.SegInput[0].end(),
                            [](int16_t v) { return v != 99; }),
              2);
    EXPECT_TRUE(edge.SegInput[0][16 * 15 + 15] == 1 && edge.SegType[0][16 * 15 + 15] == 0);
    // Blanking keeps the selections.
    c = start;
    BlankRect(c, 2, {1, 2, 2, 3});
    for (int s = 0; s < kSegments; ++s) {
        const bool inside =
            SegRow(s) >= 1 && SegRow(s) <= 2 && SegColumn(s) >= 2 && SegColumn(s) <= 3;
        EXPECT_EQ(c.SegType[2][s], inside ? 0 : s % 16) << s;
        EXPECT_EQ(c.SegInput[2][s], s / 16) << s;
    }
}

TEST(SegmentEdits, KeysChangeTheElementAndKeepTheLinks) {
    struct Case {
        int code;
        int wire, open, closed, up, down;
    };
    const Case cases[] = {
        {0, 4, 8, 12, 1, 2},   // blank
        {7, 7, 11, 15, 6, 5},  // wire with both links
        {9, 5, 9, 13, 8, 11},  // open contact, link up
        {77, 4, 8, 12, 1, 2},  // no segment code: as blank
        {-3, 4, 8, 12, 1, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithElement(c.code, Element::Wire), c.wire) << c.code;
        EXPECT_EQ(WithElement(c.code, Element::NormallyOpen), c.open) << c.code;
        EXPECT_EQ(WithElement(c.code, Element::NormallyClosed), c.closed) << c.code;
        EXPECT_EQ(WithLinkToggled(c.code, kLinkUp), c.up) << c.code;
        EXPECT_EQ(WithLinkToggled(c.code, kLinkDown), c.down) << c.code;
    }
}

TEST(SegmentEdits, ClipboardTextRoundTripsAndRefusesWhatItDidNotWrite) {
    Config c = Numbered(0);
    c.SegType[0][17] = -200;  // values outside the codes travel as they are
    c.SegInput[0][18] = 32767;
    const Clip clip = CopyRect(c, 0, {1, 0, 2, 4});
    const auto back = ClipFromText(ClipToText(clip));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, clip);
    const char* bad[] = {"",
                         "zezudi-segments 2\n1 1\n4:0\n",
                         "zezudi-segments 1\n0 1\n",
                         "zezudi-segments 1\n17 1\n",
                         "zezudi-segments 1\n1 2\n4:0\n" /* too few cells */,
                         "zezudi-segments 1\n1 1\n4-0\n",
                         "zezudi-segments 1\n1 1\n40000:0\n",
                         "zezudi-segments 1\n1 1\n4:x\n"};
    for (const char* text : bad) EXPECT_FALSE(ClipFromText(text)) << text;
}

// Moves, swaps and merges: every output then computes its old function read through the map,
// and nothing but the selections of contacts on a signal changes.
TEST(Rewire, EveryOutputComputesItsFunctionThroughTheMap) {
    std::mt19937 rng(9);
    for (int i = 0; i < 12; ++i) {
        const Config before = i % 2 ? samples::Typical(rng) : samples::OutOfRange(rng);
        SignalMap map;
        for (auto& to : map.to)
            if (rng() % 3 == 0) to = static_cast<int>(rng() % kSignals);
        Config after = before;
        const auto moved = RewireContacts(after, map);
        ControlArray was{}, now{};
        Compile(before, was);
        Compile(after, now);
        for (int w = 0; w < kInputWords; ++w) {
            int read = 0;  // the word the old diagrams see
            for (int s = 0; s < kSignals; ++s) read |= ((w >> map.to[s]) & 1) << s;
            ASSERT_EQ(now[w], was[read]) << i << " word " << w;
        }
        EXPECT_EQ(after.SegType, before.SegType);
        for (int o = 0; o < kOutputs; ++o) {
            int changed = 0;
            for (int s = 0; s < kSegments; ++s)
                changed += after.SegInput[o][s] != before.SegInput[o][s];
            EXPECT_EQ(changed, moved[o]) << i << " output " << o;
        }
    }
    Config one;
    samples::Set(one, 2, 7, 8, 4);  // a contact on I5 in output 3, which is not asked for
    const Config other = one;
    EXPECT_TRUE(RewireContacts(one, ParseSignalMap("I5=P1").value(), 1u << 3)[2] == 0 &&
                one == other);
}

// Moves that parse, read back in full; moves that do not, the start of what is said.
TEST(Rewire, MovesAreReadOrSayWhere) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"I3=P5", true, "I3 -> P5"},
        {" i1<>i2,P8 = I1 ", true, "I1 -> I2, I2 -> I1, P8 -> I1"},
        {"I1=I2 I2=I3", true, "I1 -> I2, I2 -> I3"},
        {"I4=I4, I6<>I6", true, "no change"},
        {" , ", false, "no move given"},
        {"I3", false, "column 3: expected = or <> after I3"},
        {"I9=I1", false, "column 1: expected a signal (I1..I8, P1..P8)"},
        {"I12=I1", false, "column 1: expected a signal"},
        {"I1=", false, "column 4: expected a signal"},
        {"I1=I2,I1=I3", false, "column 7: I1 is moved twice"},
        {"I1<>I2 I2=I3", false, "column 8: I2 is moved twice"},
        {"I1=I2;I3=I4", false, "column 6: expected a comma or a space before the next move"},
    };
    for (const auto& [text, parses, want] : cases) {
        const auto map = ParseSignalMap(text);
        const std::string said = map ? SignalMapText(map.value()) : map.error();
        EXPECT_EQ(map.ok(), parses) << text << " -> " << said;
        EXPECT_TRUE(parses ? said == want : said.rfind(want, 0) == 0) << text << " -> " << said;
    }
}

}  // namespace
}  // namespace zez
