#include <gtest/gtest.h>

#include "notes/NoteText.h"

namespace zez {
namespace {

TEST(NoteText, LineBreaksAreStoredAsCarriageReturnLineFeedAndCountTwo) {
    const std::u32string text = U"ab\ncd";
    EXPECT_EQ(NoteLength(text), 6);
    const NoteBytes bytes = EncodeNote(text);
    const uint8_t want[] = {'a', 'b', '\r', '\n', 'c', 'd'};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bytes[i], want[i]) << i;
    for (int i = 6; i < kNoteBytes; ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(DecodeNote(bytes), text);
}

TEST(NoteText, Windows1252RoundTripsAndOthersBecomeQuestionMarks) {
    // Euro, e acute, a typographic quote and y diaeresis are in the set; CJK and emoji are not.
    const std::u32string text = U"\u20AC\u00E9\u201C\u00FF\u4E2D\U0001F600";
    const NoteBytes bytes = EncodeNote(text);
    const uint8_t want[] = {0x80, 0xE9, 0x93, 0xFF, '?', '?', 0};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(bytes[i], want[i]) << i;
    EXPECT_EQ(DecodeNote(bytes), U"\u20AC\u00E9\u201C\u00FF??");
    EXPECT_EQ(Storable(text), U"\u20AC\u00E9\u201C\u00FF??");
    // Undefined bytes of the set and a stray zero character.
    NoteBytes odd{};
    odd[0] = 0x81;
    odd[1] = 'x';
    EXPECT_EQ(DecodeNote(odd), U"?x");
    EXPECT_EQ(EncodeNote(std::u32string(U"a\0b", 3))[1], '?');
}

TEST(NoteText, DecodingStopsAtZeroAndAcceptsLoneBreaks) {
    NoteBytes b{};
    const char* raw = "one\rtwo\nthree\r\nfour";
    for (int i = 0; raw[i]; ++i) b[i] = static_cast<uint8_t>(raw[i]);
    EXPECT_EQ(DecodeNote(b), U"one\ntwo\nthree\nfour");
    NoteBytes full;
    full.fill('z');  // no zero at all: all 4096 characters
    EXPECT_EQ(DecodeNote(full).size(), 4096u);
}

TEST(NoteText, CuttingKeepsWholeLineBreaks) {
    const std::u32string longText(5000, U'x');
    EXPECT_EQ(CutNote(longText).size(), 4000u);
    std::u32string edge(3999, U'y');
    edge += U"\nz";
    EXPECT_EQ(CutNote(edge), std::u32string(3999, U'y'));  // the break would need 2
    EXPECT_EQ(CutNote(U"short"), U"short");
    EXPECT_EQ(NoteLength(CutNote(std::u32string(2500, U'\n'))), 4000);
}

}  // namespace
}  // namespace zez
