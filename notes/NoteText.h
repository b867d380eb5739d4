#pragma once
// The note as the notes window shows it and as the record stores it: single bytes in the
// Windows-1252 set, line breaks as carriage return and line feed, ended by a zero byte.

#include <string>
#include <string_view>

#include "config/Config.h"

namespace zez {

inline constexpr int kNoteLimit = 4000;

// The text up to the first zero byte; CR LF (or a lone CR or LF) becomes one '\n'.
std::u32string DecodeNote(const NoteBytes& bytes);

// The stored form of `text`, zeros after it. A character the set cannot hold (or a zero) is
// stored as '?'. Text beyond 4096 bytes is dropped; callers keep it within kNoteLimit.
NoteBytes EncodeNote(std::u32string_view text);

// `text` as it reads back after storing: every character the set cannot hold becomes '?'.
std::u32string Storable(std::u32string_view text);

// Characters as stored: a line break counts two.
int NoteLength(std::u32string_view text);

// The longest start of `text` whose stored length is at most `limit`; a line break that would
// not fit whole is left out.
std::u32string CutNote(std::u32string_view text, int limit = kNoteLimit);

}  // namespace zez
