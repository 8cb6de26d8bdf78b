// Numbers as text, written into the caller's buffer without printf or a
// string: the editor's cells, qvx show and the export write every value of a
// data file this way.
#pragma once

#include <cstddef>

// Room either function needs at `out`: "%.2f" of the largest float takes 42
// characters, the shortest text of any float 15.
inline constexpr size_t kNumberTextRoom = 48;

// The shortest decimal text that reads back as the same float: exactly what
// std::to_chars(out, end, value) writes (fixed or scientific, whichever is
// shorter, fixed on a tie). Returns the end of the text.
char* WriteShortestFloat(char* out, float value);

// The value as printf("%.2f") prints it: rounded to the nearest hundredth,
// an exact tie to the even one. Returns the end of the text.
char* WriteFixed2(char* out, float value);
