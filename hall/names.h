#pragma once
// Player names shown on the table. A name is 1 to 16 characters of UTF-8 (a character is
// one Unicode code point) with no control character (U+0000-U+001F, U+007F-U+009F), no
// invisible direction or line mark (U+200E, U+200F, U+2028-U+202E, U+2066-U+2069) and not
// only spaces. Invalid UTF-8 (overlong forms, surrogates, beyond U+10FFFF) is no name.

#include <string>
#include <string_view>

constexpr size_t hall_name_max_characters = 16;

// Empty when name may be shown; otherwise one line saying what is wrong with it.
std::string name_problem(std::string_view name);

// text with every byte that is no part of valid UTF-8, and every NUL, replaced by U+FFFD:
// what any database takes as text, whatever a verifier wrote.
std::string valid_utf8(std::string_view text);
