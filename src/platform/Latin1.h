#pragma once

#include <string>
#include <string_view>

namespace platform {

// The handheld stores names in Latin-1 (ISO 8859-1), one byte a character;
// file names, the command line and the terminal are UTF-8. Names are converted
// to Latin-1 before they are cut to their field, so that a cut never splits a
// character, and back to UTF-8 whenever they are shown.

// UTF-8 text in Latin-1. Characters Latin-1 holds are kept. Of the others:
// - a letter of Latin Extended-A (U+0100 to U+017F) becomes its letter without
//   the mark ("ł" gives "l", "Ő" gives "O", "ğ" gives "g"), the ligatures
//   "Œ", "œ", "Ĳ" and "ĳ" their two letters; so do "Ș", "ș", "Ț" and "ț";
// - a combining mark (U+0300 to U+036F) joins the ASCII letter before it when
//   Latin-1 has the pair as one letter ("u" and U+0308 give "ü", as file
//   names decomposed by some systems spell it), and is dropped otherwise;
// - dashes (U+2010 to U+2015) become "-", single quotation marks "'", double
//   ones "\"";
// - any other character becomes "?".
// A byte that begins no well-formed UTF-8 sequence is taken as the Latin-1
// character of its value, so that names already written in Latin-1 (old
// archives, a Latin-1 terminal) keep their letters.
std::string Utf8ToLatin1(std::string_view utf8);

// Latin-1 text in UTF-8: every byte from 0x80 up becomes two.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace platform
