#include "hall/names.h"

#include <cstdint>
#include <optional>

namespace {

// The next code point of text at position (moved past it); none for invalid UTF-8.
std::optional<uint32_t> next_code_point(std::string_view text, size_t& position) {
  const auto lead = static_cast<uint8_t>(text[position++]);
  if (lead < 0x80) return lead;
  size_t extra = 0;
  uint32_t value = 0;
  uint32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - position < extra) return std::nullopt;
  for (size_t index = 0; index < extra; ++index) {
    const auto byte = static_cast<uint8_t>(text[position++]);
    if ((byte & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return std::nullopt;
  return value;
}

bool is_control(uint32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

// Marks that change how the text around them is laid out without being seen: in a table
// they could reorder or hide what sits beside a name.
bool is_invisible_mark(uint32_t code_point) {
  return code_point == 0x200E || code_point == 0x200F ||
         (code_point >= 0x2028 && code_point <= 0x202E) ||
         (code_point >= 0x2066 && code_point <= 0x2069);
}

}  // namespace

std::string name_problem(std::string_view name) {
  if (name.empty()) return "a name is needed (1 to 16 characters)";
  size_t characters = 0;
  bool only_spaces = true;
  for (size_t position = 0; position < name.size();) {
    const std::optional<uint32_t> code_point = next_code_point(name, position);
    if (!code_point) return "the name is not valid UTF-8";
    if (is_control(*code_point)) return "the name holds a control character";
    if (is_invisible_mark(*code_point)) return "the name holds an invisible direction or line mark";
    if (*code_point != ' ') only_spaces = false;
    if (++characters > hall_name_max_characters) return "the name is longer than 16 characters";
  }
  if (only_spaces) return "the name is only spaces";
  return {};
}

std::string valid_utf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t position = 0; position < text.size();) {
    const size_t start = position;
    const std::optional<uint32_t> code_point = next_code_point(text, position);
    if (code_point && *code_point != 0) {
      valid.append(text.substr(start, position - start));
    } else {
      valid += "\xEF\xBF\xBD";
      position = start + 1;
    }
  }
  return valid;
}
