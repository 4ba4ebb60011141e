/// @file brindle/fmt.h
/// The fmt library's formatting of Brindle's value types: the texts and
/// options of brindle/format.h. Include it where fmt is used (Debian:
/// libfmt-dev); Brindle itself does not depend on fmt.
///
///     fmt::format("{:>12}|{}", AString("right"), ATime(0x80000000u));  // "       right|1969-01-19T03:14:08Z"
#ifndef BRINDLE_FMT_H
#define BRINDLE_FMT_H

#include <fmt/format.h>

#include "brindle/format.h"

namespace fmt {
/// fmt's formatter of Brindle's value types, with the string options.
template <class T>
  requires brindle::detail::Formattable<T>
struct formatter<T, char> : formatter<string_view, char> {
  /// Formats the value's text (brindle::format_text()) as a string.
  template <class Context>
  auto format(T const& value, Context& context) const {
    auto const text = brindle::format_text(value);
    return formatter<string_view, char>::format(string_view(text.data(), text.size()), context);
  }
};
}  // namespace fmt

#endif  // BRINDLE_FMT_H
