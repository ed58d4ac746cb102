#pragma once
// How the numeric fields of the frame and effect dialogs read their text.
#include <cstdint>
#include <string_view>

namespace movigram {

// The value of a numeric field: at most its first 30 characters are read,
// as a decimal integer after leading blanks and an optional sign, up to the
// first character that is not a digit.  A text holding a comma carries the
// thousands separators the arrows write ("2,500"): its characters other
// than digits are dropped first, except a leading minus sign.  No range is
// applied beyond that of int32_t; an empty or unreadable text reads 0.
int32_t readNumberField(std::string_view text);

}  // namespace movigram
