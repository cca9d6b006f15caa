#pragma once
// Text made safe for where it is shown: inside HTML, and inside a JSON string.

#include <string>
#include <string_view>

// & < > " ' as character references: safe in element text and in quoted attributes.
std::string html_escape(std::string_view text);
// text as a JSON string, quotes included. Control characters and < > & are escaped, so
// the string stays inert even if a page embeds it.
std::string json_string(std::string_view text);
