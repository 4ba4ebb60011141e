// A reference model of AString storage, written straight from the rules of
// each operation (the temporary-string steps of insert included), with
// std::string for the text. Used by the property test and the fuzz target.
#ifndef BRINDLE_TESTS_TEXT_STRING_MODEL_H
#define BRINDLE_TESTS_TEXT_STRING_MODEL_H

#include <cstring>
#include <string>

#include "brindle/astring.h"

namespace brindle::testing {

struct StringModel {
  std::string text;
  unsigned int capacity = 0;

  static unsigned int Rule(unsigned int n) {
    unsigned int initial = AString::get_initial_capacity();
    unsigned int increment = AString::get_resize_increment();
    if (n == 0) return 0;
    if (n < initial) return initial;
    return (n / increment + 1) * increment;
  }

  // What assign() takes from a text at a position and length.
  static std::string Take(char const* p, unsigned int pos, unsigned int len) {
    if (p == nullptr || len == 0) return {};
    std::string s(p);
    if (pos >= s.size()) return {};
    return s.substr(pos, len);
  }

  void Clear() {
    text.clear();
    capacity = 0;
  }

  void Assign(char c, unsigned int n) {
    if (c == '\0' || n == 0) return Clear();
    text.assign(n, c);
    capacity = Rule(n);
  }

  void Assign(std::string const& taken) {
    if (taken.empty()) return Clear();
    text = taken;
    capacity = Rule(static_cast<unsigned int>(taken.size()));
  }

  void Append(char c, unsigned int n) {
    if (text.empty()) return Assign(c, n);
    if (c == '\0' || n == 0) return;
    Grow(n);
    text.append(n, c);
  }

  void Append(std::string const& taken) {
    if (text.empty()) return Assign(taken);
    if (taken.empty()) return;
    Grow(static_cast<unsigned int>(taken.size()));
    text += taken;
  }

  void Prepend(char c, unsigned int n) {
    if (text.empty()) return Assign(c, n);
    if (c == '\0' || n == 0) return;
    text.insert(0, n, c);
    capacity = Rule(static_cast<unsigned int>(text.size()));
  }

  void Prepend(std::string const& taken) {
    if (text.empty()) return Assign(taken);
    if (taken.empty()) return;
    text.insert(0, taken);
    capacity = Rule(static_cast<unsigned int>(text.size()));
  }

  // insert as its steps say: a temporary from the selected part of s, this
  // string's tail appended to it, this string cut to its head, the temporary
  // appended.
  void Insert(unsigned int pos, std::string const& s, unsigned int s_pos, unsigned int s_len) {
    StringModel temp;
    temp.Assign(Take(s.c_str(), s_pos, s_len));
    temp.Append(Take(text.c_str(), pos, AString::npos));
    std::string own = text;
    Assign(Take(own.c_str(), 0, pos));
    Append(temp.text);
  }

  void Remove(unsigned int pos, unsigned int len) {
    if (text.empty() || pos >= text.size()) return;
    unsigned int k = std::min(static_cast<unsigned int>(text.size()) - pos, len);
    if (k == 0) return;
    if (k == text.size()) return Clear();
    text.erase(pos, k);
  }

 private:
  void Grow(unsigned int k) {
    unsigned int total = static_cast<unsigned int>(text.size()) + k;
    if (total >= capacity) capacity = Rule(total);
  }
};

// Empty string when the AString and the model agree, else what differs.
inline std::string Mismatch(AString const& s, StringModel const& m) {
  std::string why;
  if (s.length() != m.text.size()) why += " length " + std::to_string(s.length()) + " vs " + std::to_string(m.text.size());
  if (s.reserve() != m.capacity) why += " capacity " + std::to_string(s.reserve()) + " vs " + std::to_string(m.capacity);
  if (std::strcmp(s.c_str(), m.text.c_str()) != 0) why += " text '" + std::string(s.c_str()) + "' vs '" + m.text + "'";
  if (s.is_null() != (m.text.empty() ? 1 : 0)) why += " is_null";
  if (!m.text.empty() && s.c_str()[s.length()] != '\0') why += " terminator";
  if (m.text.empty() && s.c_str() != &AString::empty_text) why += " empty text pointer";
  return why;
}

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_TEXT_STRING_MODEL_H
