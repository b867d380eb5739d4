#pragma once
// The note as the notes window shows it and as the record stores it: single bytes in the
// Windows-1252 set, line breaks as carriage return and line feed, ended by a zero byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/Config.h"

namespace zez {

inline constexpr int kNoteLimit = 4000;

// The note while the notes window edits it: the text the window shows and, for each character,
// the bytes that store it. A change keeps the bytes of every character it does not touch, so a
// lone CR or LF, or a byte the set leaves undefined, stays as it was until the user edits it;
// only new characters are stored the window's way (a line break as CR LF).
class NoteEdit {
  public:
    explicit NoteEdit(const NoteBytes& bytes);

    const std::u32string& Text() const { return text_; }
    // Characters as stored: a CR LF counts two, a lone CR or LF one.
    int Length() const { return stored_; }

    // Takes the window's new text. The common start and end keep their bytes; the characters in
    // between are stored anew (what the set cannot hold becomes '?'). Returns whether anything
    // changed.
    bool Update(std::u32string_view text);
    // Cuts back to the longest start whose stored length is at most `limit`; a character that
    // would not fit whole is left out. Returns whether it cut.
    bool Cut(int limit = kNoteLimit);
    // All 4096 bytes: the characters' bytes, then zeros.
    NoteBytes Bytes() const;

  private:
    struct Form {
        uint8_t first = 0;
        uint8_t second = 0;  // the LF of a CR LF, else 0
        int Size() const { return second ? 2 : 1; }
    };
    static Form FormOf(char32_t c);

    std::u32string text_;
    std::vector<Form> forms_;  // one per character of text_
    int stored_ = 0;
};

}  // namespace zez
