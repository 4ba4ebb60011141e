// A reference model of AString storage, written straight from the rules of
// each operation (the temporary-string steps of insert included), with
// std::string for the text, and the operations that drive a string and the
// model side by side, chosen by bytes: random ones in the property test, the
// fuzzer's input in the fuzz target.
#ifndef BRINDLE_TESTS_TEXT_STRING_MODEL_H
#define BRINDLE_TESTS_TEXT_STRING_MODEL_H

#include <cstdint>
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

  // What a run of n copies of c adds: nothing for a NUL.
  static std::string Run(char c, unsigned int n) { return c == '\0' ? std::string() : std::string(n, c); }

  void Assign(std::string const& taken) {
    if (taken.empty()) return Clear();
    text = taken;
    capacity = Rule(static_cast<unsigned int>(taken.size()));
  }

  void Append(std::string const& taken) {
    if (text.empty()) return Assign(taken);
    if (taken.empty()) return;
    unsigned int const total = static_cast<unsigned int>(text.size() + taken.size());
    if (total >= capacity) capacity = Rule(total);
    text += taken;
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
};

// Empty string when the AString and the model agree, else what differs.
inline std::string Mismatch(AString const& s, StringModel const& m) {
  std::string why;
  if (s.length() != m.text.size()) why += " length " + std::to_string(s.length()) + " vs " + std::to_string(m.text.size());
  if (s.reserve() != m.capacity) why += " capacity " + std::to_string(s.reserve()) + " vs " + std::to_string(m.capacity);
  if (s.freeboard() != m.capacity - m.text.size()) why += " freeboard";
  if (std::strcmp(s.c_str(), m.text.c_str()) != 0) why += " text '" + std::string(s.c_str()) + "' vs '" + m.text + "'";
  if (s.is_null() != (m.text.empty() ? 1 : 0)) why += " is_null";
  if (!m.text.empty() && s.c_str()[s.length()] != '\0') why += " terminator";
  if (m.text.empty() && s.c_str() != &AString::empty_text) why += " empty text pointer";
  // Positions reach up to the terminator; past it, the empty text, and reads
  // give NUL (even after a write out of range).
  unsigned int const n = s.length();
  bool const held = !m.text.empty();
  if (s.p_str() != s.c_str() || s() != s.c_str() || s.p_str(n) != s.c_str() + n || s.c_str(n) != s.c_str() + n ||
      s.c_str(n + 1) != &AString::empty_text || s(AString::npos) != &AString::empty_text ||
      s.valid_index(n) != held || s.valid_index(n + 1) != 0 || s.valid_element(n) != 0 ||
      s.valid_element(n - held) != held || s[n] != '\0' || s[-1] != '\0') {
    why += " positions";
  }
  return why;
}

// The bytes that choose operations and their arguments; zeros past the end.
class OpSource {
 public:
  OpSource(std::uint8_t const* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // A position about a length: within it, just past it, or near npos.
  unsigned int Position(unsigned int length) {
    std::uint8_t b = Byte();
    return b >= 0xF0 ? AString::npos - (b & 0x0F) : b % (length + 3);
  }
  std::string Text() {
    std::string t(Byte() % 4 == 0 ? Byte() % 90 : Byte() % 12, ' ');
    for (char& c : t) c = static_cast<char>(Byte() | 1);  // no NUL inside
    return t;
  }

 private:
  std::uint8_t const* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
};

// Applies one operation, chosen by `in`, to the string and to the model;
// returns the operation's number. Self-reference and changes of the growth
// settings included.
inline int Step(AString& s, StringModel& m, OpSource& in) {
  if (m.text.size() > 1 << 16) {  // a string appended to itself doubles: keep memory bounded
    s.clear();
    m.Clear();
  }
  std::uint8_t const op = in.Byte();
  bool const self = (op & 0x80) != 0 && !m.text.empty();
  std::string const text = self ? m.text : in.Text();
  char const* p = self ? s.c_str() : ((op & 0x70) == 0x70 ? nullptr : text.c_str());
  char const* p_model = p == nullptr ? nullptr : text.c_str();
  unsigned int const pos = in.Position(static_cast<unsigned int>(text.size()));
  unsigned int const len = in.Position(40);
  unsigned int const at = in.Position(s.length());
  char const c = static_cast<char>(in.Byte() % 8 == 0 ? 0 : 'A' + in.Byte() % 26);
  switch (op & 0x0F) {
    case 0: s.assign(c, len % 300); m.Assign(StringModel::Run(c, len % 300)); break;
    case 1: s.assign(p, pos, len); m.Assign(StringModel::Take(p_model, pos, len)); break;
    case 2: s.append(c, len % 300); m.Append(StringModel::Run(c, len % 300)); break;
    case 3: s.append(p, pos, len); m.Append(StringModel::Take(p_model, pos, len)); break;
    case 4: s.prepend(c, len % 300); m.Prepend(StringModel::Run(c, len % 300)); break;
    case 5: s.prepend(p, pos, len); m.Prepend(StringModel::Take(p_model, pos, len)); break;
    case 6: {
      AString const other(text.c_str());
      s.insert(at, self ? s : other, pos, len);
      m.Insert(at, text, pos, len);
      break;
    }
    case 7: s.remove(at, len); m.Remove(at, len); break;
    case 8: {  // copies are sized by their own length
      AString copy(s);
      s = (op & 0x10) != 0 ? copy : AString(std::move(copy));
      m.Assign(std::string(m.text));
      break;
    }
    case 9: s.clear(); m.Clear(); break;
    case 10: s += p; m.Append(StringModel::Take(p_model, 0, AString::npos)); break;
    case 11: AString::initial_capacity(pos); AString::resize_increment(len * 4); break;
    case 12: {  // a number is appended as its default text
      int const number = static_cast<int>(in.Byte() << 8 | in.Byte()) - 30000;
      s << number;
      m.Append(std::to_string(number));
      break;
    }
    default:  // writes reach only the characters there are
      if (c == '\0') break;
      s[at] = c;
      s.put_at(len, c);
      if (at < m.text.size()) m.text[at] = c;
      if (len < m.text.size()) m.text[len] = c;
      break;
  }
  return op & 0x0F;
}

// Up to 64 operations chosen by the bytes, each checked against the model;
// "" when all agree. The growth settings are restored afterwards.
inline std::string RunOps(std::uint8_t const* data, std::size_t size) {
  OpSource in(data, size);
  AString s;
  StringModel m;
  std::string why;
  for (int step = 0; step < 64 && !in.empty() && why.empty(); ++step) {
    int const op = Step(s, m, in);
    why = Mismatch(s, m);
    if (!why.empty()) why = "step " + std::to_string(step) + " op " + std::to_string(op) + ":" + why;
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
  return why;
}

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_TEXT_STRING_MODEL_H
