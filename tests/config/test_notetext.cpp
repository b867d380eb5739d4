#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "config/NoteText.h"

namespace zez {
namespace {

NoteBytes Raw(const std::string& text) {
    NoteBytes b{};
    for (std::size_t i = 0; i < text.size(); ++i) b[i] = static_cast<uint8_t>(text[i]);
    return b;
}

TEST(NoteEdit, Windows1252IsKeptAndOthersBecomeQuestionMarks) {
    // Euro, e acute, a typographic quote and y diaeresis are in the set; CJK, emoji and a stray
    // zero character are not.
    NoteEdit edit{NoteBytes{}};
    edit.Update(std::u32string(U"\u20AC\u00E9\u201C\u00FF\u4E2D\U0001F600\0", 7));
    EXPECT_EQ(edit.Text(), U"\u20AC\u00E9\u201C\u00FF???");
    EXPECT_EQ(NoteText(edit.Bytes()), "\x80\xE9\x93\xFF???");
    // A byte the set leaves undefined shows as '?'.
    EXPECT_EQ(NoteEdit(Raw("\x81x")).Text(), U"?x");
}

TEST(NoteEdit, ANoteShownAsItIsStoredKeepsEveryByteAndCountsThem) {
    struct Case {
        std::string raw;
        std::u32string shown;
    };
    const Case cases[] = {
        {"a\nb", U"a\nb"},
        {"one\rtwo\nthree\r\nfour", U"one\ntwo\nthree\nfour"},
        {"\n\r\r\n\n\r", U"\n\n\n\n\n"},  // LF, CR, CR LF, LF CR -> LF and CR stay apart
        {"\x81\x8D\x8F\x90\x9D", U"?????"},
        {"", U""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        NoteEdit edit(Raw(c.raw));
        EXPECT_TRUE(edit.Text() == c.shown && edit.Length() == static_cast<int>(c.raw.size()));
        EXPECT_FALSE(edit.Update(c.shown));  // the window showing it changes nothing
        EXPECT_TRUE(!edit.Cut() && edit.Bytes() == Raw(c.raw));
    }
}

TEST(NoteEdit, AnEditStoresOnlyWhatItTouches) {
    struct Case {
        std::string raw;
        std::u32string typed;
        std::string stored;
    };
    const Case cases[] = {
        {"a\nb", U"a\nbc", "a\nbc"},            // typing at the end
        {"x\ry", U"Zx\ny", "Zx\ry"},            // typing at the start
        {"x\ry\nz", U"x\nQy\nz", "x\rQy\nz"},   // typing between two lone breaks
        {"a\nb", U"ab", "ab"},                  // deleting the lone break
        {"a\nb", U"a\nb\n", "a\nb\r\n"},        // a new break is CR LF
        {"a\n\nb", U"a\n\n\nb", "a\n\n\r\nb"},  // a break typed among breaks
        {"\x81-\x81", U"?+?", "\x81+\x81"},     // undefined bytes stay where untouched
        {"abc", U"", ""},
        {"", U"ab\ncd", "ab\r\ncd"},  // a typed break is stored as CR LF and counts two
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        NoteEdit edit(Raw(c.raw));
        EXPECT_TRUE(edit.Update(c.typed) && NoteText(edit.Bytes()) == c.stored);
        EXPECT_TRUE(edit.Length() == static_cast<int>(c.stored.size()) && edit.Text() == c.typed);
        EXPECT_EQ(NoteEdit(edit.Bytes()).Text(), c.typed);  // and reads back as typed
    }
}

TEST(NoteEdit, CuttingKeepsWholeCharactersWithinTheLimit) {
    const auto typed = [](const std::u32string& text) {
        NoteEdit e{NoteBytes{}};
        e.Update(text);
        return e;
    };
    NoteBytes full;
    full.fill('z');  // no zero at all: all 4096 characters
    const std::tuple<NoteEdit, int, std::string> cases[] = {
        {typed(std::u32string(5000, U'x')), 5000, std::string(4000, 'x')},
        // The break would need 2.
        {typed(std::u32string(3999, U'y') + U"\nz"), 4002, std::string(3999, 'y')},
        // Lone line feeds from a file count one each.
        {NoteEdit(Raw(std::string(4001, '\n'))), 4001, std::string(4000, '\n')},
        {NoteEdit(full), 4096, std::string(4000, 'z')},
    };
    for (auto [edit, before, kept] : cases) {
        SCOPED_TRACE(before);
        EXPECT_TRUE(edit.Length() == before && edit.Cut());
        EXPECT_EQ(NoteText(edit.Bytes()), kept);
        EXPECT_EQ(edit.Length(), static_cast<int>(kept.size()));
        EXPECT_EQ(edit.Text(), std::u32string(kept.begin(), kept.end()));
    }
}

}  // namespace
}  // namespace zez
