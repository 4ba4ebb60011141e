// Readable gtest output for the geometry values.
#ifndef BRINDLE_TESTS_GEOMETRY_PRINT_H
#define BRINDLE_TESTS_GEOMETRY_PRINT_H

#include <ostream>

#include "brindle/geometry.h"

inline void PrintTo(APoint const& p, std::ostream* os) { *os << "APoint(" << p.x << ", " << p.y << ")"; }
inline void PrintTo(ASize const& s, std::ostream* os) { *os << "ASize(" << s.cx << ", " << s.cy << ")"; }
inline void PrintTo(ARect const& r, std::ostream* os) {
  *os << "ARect(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

#endif  // BRINDLE_TESTS_GEOMETRY_PRINT_H
