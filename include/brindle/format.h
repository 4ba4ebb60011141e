/// @file brindle/format.h
/// The text of Brindle's value types for formatting libraries, and
/// std::format support where the standard library has it (`__cpp_lib_format`).
/// `brindle/fmt.h` adds the same for the fmt library. Neither is a dependency
/// of Brindle itself: both are header-only.
///
/// The texts are the same everywhere and independent of the process-wide
/// print settings (so formatting is safe from any thread):
/// - AString: its text;
/// - ADate: ISO 8601, `1998-01-05`;
/// - ATime: ISO 8601 in UTC, `1998-01-05T14:30:00Z`;
/// - APoint `(x, y)`, ASize `(cx, cy)`, ARect `(left, top, right, bottom)`.
///
/// An invalid date or time (0) gives `(invalid date)` or `(invalid time)`.
/// The standard string options apply to all of them: fill, alignment, width
/// and precision (`{:>12}`).
///
///     std::format("{} at {}", ADate(5, 1, 1998), APoint(3, 4));  // "1998-01-05 at (3, 4)"
#ifndef BRINDLE_FORMAT_H
#define BRINDLE_FORMAT_H

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>
#include <version>

#include "brindle/astring.h"
#include "brindle/calendar.h"
#include "brindle/geometry.h"

#if defined(__cpp_lib_format)
#include <format>
#endif

namespace brindle {

/// The text of a string: a view of it, valid until the string changes.
inline std::string_view format_text(AString const& text) { return text; }

/// A date as `YYYY-MM-DD`, or `(invalid date)`.
inline std::string format_text(ADate const& date) {
  if (!date.IsValid()) return "(invalid date)";
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", date.Year(), date.Month(), date.DayOfMonth());
  return text;
}

/// An instant as `YYYY-MM-DDTHH:MM:SSZ` (UTC), or `(invalid time)`.
inline std::string format_text(ATime const& time) {
  if (!time.IsValid()) return "(invalid time)";
  unsigned int const seconds = time.Seconds();
  unsigned int const of_day = seconds % 86400;
  char text[64];
  std::snprintf(text, sizeof text, "%sT%02u:%02u:%02uZ", format_text(ADate(seconds / 86400, 0)).c_str(),
                of_day / 3600, of_day / 60 % 60, of_day % 60);
  return text;
}

/// A point as `(x, y)`.
inline std::string format_text(APoint const& point) {
  return "(" + std::to_string(point.x) + ", " + std::to_string(point.y) + ")";
}

/// A size as `(cx, cy)`.
inline std::string format_text(ASize const& size) {
  return "(" + std::to_string(size.cx) + ", " + std::to_string(size.cy) + ")";
}

/// A rectangle as `(left, top, right, bottom)`.
inline std::string format_text(ARect const& rect) {
  return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " + std::to_string(rect.right) +
         ", " + std::to_string(rect.bottom) + ")";
}

namespace detail {
/// The types the formatters take.
template <class T>
concept Formattable = std::is_same_v<T, AString> || std::is_same_v<T, ADate> || std::is_same_v<T, ATime> ||
                      std::is_same_v<T, APoint> || std::is_same_v<T, ASize> || std::is_same_v<T, ARect>;
}  // namespace detail

}  // namespace brindle

#if defined(__cpp_lib_format)
namespace std {
/// std::format of Brindle's value types, with the string options.
template <class T>
  requires brindle::detail::Formattable<T>
struct formatter<T, char> : formatter<string_view, char> {
  /// Formats the value's text (brindle::format_text()) as a string.
  auto format(T const& value, format_context& context) const {
    auto const text = brindle::format_text(value);
    return formatter<string_view, char>::format(string_view(text), context);
  }
};
}  // namespace std
#endif

#endif  // BRINDLE_FORMAT_H
