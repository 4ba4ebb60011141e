// AString storage driven by arbitrary operation sequences, checked after
// every step against the reference model: text, length and exact capacity,
// self-reference and growth-setting changes included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "brindle/astring.h"
#include "tests/text/string_model.h"

namespace {

class Input {
 public:
  Input(std::uint8_t const* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  unsigned int Number() {
    std::uint8_t b = Byte();
    if (b == 0xFF) return AString::npos;
    if (b >= 0xF0) return AString::npos - (b & 0x0F);
    return b;
  }
  std::string Text() {
    std::size_t n = Byte() % 48;
    std::string t;
    while (n-- > 0 && !empty()) t += static_cast<char>(Byte() | 1);  // no NUL inside
    return t;
  }

 private:
  std::uint8_t const* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void Check(AString const& s, brindle::testing::StringModel const& m) {
  if (!brindle::testing::Mismatch(s, m).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  using brindle::testing::StringModel;
  Input in(data, size);
  AString s;
  StringModel m;
  for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
    // Appending a string to itself doubles it: start over before the texts
    // outgrow what a run may hold, so memory stays bounded.
    if (m.text.size() > 1 << 16) {
      s.clear();
      m.Clear();
    }
    std::uint8_t op = in.Byte();
    bool self = (op & 0x80) != 0 && !m.text.empty();
    std::string text = self ? m.text : in.Text();
    char const* p = self ? s.c_str() : ((op & 0x40) != 0 ? nullptr : text.c_str());
    char const* p_model = p == nullptr ? nullptr : text.c_str();
    unsigned int pos = in.Number();
    unsigned int len = in.Number();
    char c = static_cast<char>(in.Byte() & 0x7F);
    switch (op & 0x0F) {
      case 0: s.assign(c, len % 300); m.Assign(c, len % 300); break;
      case 1: s.assign(p, pos, len); m.Assign(StringModel::Take(p_model, pos, len)); break;
      case 2: s.append(c, len % 300); m.Append(c, len % 300); break;
      case 3: s.append(p, pos, len); m.Append(StringModel::Take(p_model, pos, len)); break;
      case 4: s.prepend(c, len % 300); m.Prepend(c, len % 300); break;
      case 5: s.prepend(p, pos, len); m.Prepend(StringModel::Take(p_model, pos, len)); break;
      case 6: {
        unsigned int at = in.Number();
        if (self) {
          s.insert(at, s, pos, len);
        } else {
          s.insert(at, AString(text.c_str()), pos, len);
        }
        m.Insert(at, text, pos, len);
        break;
      }
      case 7: s.remove(pos, len); m.Remove(pos, len); break;
      case 8: {
        AString copy(s);
        s = std::move(copy);
        m.Assign(std::string(m.text));
        break;
      }
      case 9: s.clear(); m.Clear(); break;
      case 10: s += p; m.Append(StringModel::Take(p_model, 0, AString::npos)); break;
      case 11:
        AString::initial_capacity(pos);
        AString::resize_increment(len);
        break;
      default: {
        char& ref = s[pos];  // out of range must reach nothing
        if (pos >= s.length()) ref = 'x';
        s.put_at(len, c);
        if (len < m.text.size() && c != '\0') m.text[len] = c;
        if (len < m.text.size() && c == '\0') {  // an embedded NUL: restore to keep the model simple
          s.put_at(len, 'n');
          m.text[len] = 'n';
        }
        break;
      }
    }
    Check(s, m);
  }
  AString::initial_capacity(16);
  AString::resize_increment(32);
  return 0;
}
