// ABitField and AHugeNum, each against a model on random operations: a
// vector<bool> for the bit field, a std::bitset for the 96-bit integer (the
// same model on every target; 32-bit ones have no 128-bit integer). Then the
// bit field's rows the model leaves open: the clamped counts, the archive
// layout (whose reading fuzz/bit_field_fuzz.cpp checks from every side),
// and the rules in which it differs from a plain byte array.

#include "brindle/bits.h"
#include "tests/bits/stored_field.h"
#include "tests/portable.h"

namespace {

// The archive operations are protected: a derived class is how a client
// stores a field.
using Stored = brindle::testing::StoredField;

// After each step every bit reads as the model says (past the count, 0),
// both iterations report the model's bits highest first, and the field
// equals one built from the same bits, spare bits included, and no other.
TEST(BitField, AgreesWithAModelOfItsBits) {
  std::mt19937 rng(4101);
  auto random_bits = [&] {
    std::vector<bool> bits(rng() % 8 == 0 ? 16 + rng() % 2000 : 16 + rng() % 64);
    for (unsigned int i = 0, percent = rng() % 101; i < bits.size(); ++i) bits[i] = rng() % 100 < percent;
    return bits;
  };
  std::vector<bool> model;
  Stored f(16), back(16);
  for (int step = 0; step < 4000; ++step) {
    if (step % 12 == 0) f = Stored(model = random_bits());
    std::vector<bool> const other = random_bits();
    unsigned int const i = static_cast<unsigned int>(rng() % (model.size() + 9)), op = rng() % 7;
    switch (op) {
      case 0: f.BSET(i); break;
      case 1: f.BRESET(i); break;
      case 2: f &= Stored(other); break;
      case 3: f |= Stored(other); break;
      case 4: f ^= Stored(other); break;
      case 5: f = Stored(f); break;
      default: back.Load(f.Store()); f = back; break;
    }
    if (op <= 1 && i < model.size()) model[i] = op == 0;
    if (op >= 2 && op <= 4) {  // the shorter count, bit by bit
      model.resize(std::min(model.size(), other.size()));
      std::transform(model.begin(), model.end(), other.begin(), model.begin(),
                     [op](bool a, bool b) { return op == 2 ? a && b : op == 3 ? a || b : a != b; });
    }
    SCOPED_TRACE(testing::Message() << "step " << step << " op " << op << " bit " << i);
    ASSERT_EQ(f.BLENGTH(), model.size());
    std::vector<unsigned int> reported[2], expected[2];  // clear bits, set bits
    for (unsigned int k = static_cast<unsigned int>(model.size()) + 8; k-- > 0;) {
      bool const set = k < model.size() && model[k];
      ASSERT_TRUE(f.BTEST(k) == set && f[static_cast<int>(k)] == set) << k;
      if (k < model.size()) expected[set].push_back(k);
    }
    auto note = [](unsigned int k, void* seen) { static_cast<std::vector<unsigned int>*>(seen)->push_back(k); };
    f.ForEachReset(note, &reported[0]).ForEachSet(note, &reported[1]);
    ASSERT_TRUE(reported[0] == expected[0] && reported[1] == expected[1]);
    ASSERT_EQ(static_cast<void const*>(f), expected[1].empty() ? nullptr : &f);
    ASSERT_TRUE(f == Stored(model) && (f == Stored(other)) == (model == other));
  }
}

TEST(BitField, CountsLayoutAndKeptRules) {
  EXPECT_TRUE(ABitField(0).BLENGTH() == 16 && ABitField(70000).BLENGTH() == 65535 && ABitField().BLENGTH() == 32);
  Stored f(20);  // the count low byte first, then the bits, most significant first
  f.BSET(0).BSET(19);
  EXPECT_TRUE(f.Store() == (std::vector<BYTE>{0x14, 0x00, 0x80, 0x00, 0x10}) && Stored(65535).Store().size() == 8194);
  // Equal by content, counts included; the truth test sees no bit past the
  // count, not even in a byte a narrowing &= left; a null callback calls
  // nothing.
  ABitField narrowed(32);
  EXPECT_TRUE(!(ABitField(16) == ABitField(17)) && f[-1] == 0 && !(narrowed.BSET(31) &= ABitField(20)));
  f.ForEachSet(nullptr, nullptr).ForEachReset(nullptr, nullptr);
  // A callback's changes below the bit it is given are seen when reached,
  // within a byte and past runs of empty bytes.
  struct Walk { ABitField field; std::vector<unsigned int> seen; } walk{ABitField(200), {}};
  walk.field.BSET(199).ForEachSet([](unsigned int i, void* p) {
    auto& w = *static_cast<Walk*>(p);
    w.seen.push_back(i);
    if (i >= 2) w.field.BSET(i > 20 ? 17 : i - 2);
  }, &walk);
  EXPECT_EQ(walk.seen, (std::vector<unsigned int>{199, 17, 15, 13, 11, 9, 7, 5, 3, 1}));
}

using Bits = std::bitset<96>;

constexpr std::uint32_t kEdgeWords[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

Bits Add(Bits a, Bits b) {
  while (b.any()) b = (~(a ^= b) & b) << 1;  // a keeps the sum bits, b the carries: at most 96 rounds
  return a;
}

// Values near the word edges, built as a client must: from 32-bit values
// with shifts and OR. Shift counts and bit indexes run past 0..95 both ways
// (a count is taken as unsigned, mod 96).
TEST(HugeNum, AgreesWithA96BitModel) {
  std::mt19937 rng(96);
  auto word = [&] { return rng() % 2 ? kEdgeWords[rng() % 6] : static_cast<std::uint32_t>(rng()); };
  auto make = [&] { AHugeNum n = word(); ((n <<= 32) |= word()) <<= 32; return n |= word(); };
  auto model_of = [](AHugeNum const& n) { return Bits(n.HSW()) << 64 | Bits(n.MSW()) << 32 | Bits(n.LSW()); };
  auto less = [](Bits const& a, Bits const& b) { return a.to_string() < b.to_string(); };  // most significant first
  AHugeNum n;
  for (int step = 0; step < 20000; ++step) {
    if (step % 20 == 0) n = make();
    AHugeNum const other = make();
    Bits const before = model_of(n), operand = model_of(other);
    int const op = static_cast<int>(rng() % 11);
    int const shift = rng() % 2 ? static_cast<int>(rng() % 200) - 100 : static_cast<int>(rng());
    Bits expected;
    switch (op) {
      case 0: n += other; expected = Add(before, operand); break;
      case 1: n -= other; expected = Add(before, Add(~operand, Bits(1))); break;
      case 2: n &= other; expected = before & operand; break;
      case 3: n |= other; expected = before | operand; break;
      case 4: n ^= other; expected = before ^ operand; break;
      case 5: n <<= shift; expected = before << static_cast<unsigned int>(shift) % 96; break;
      case 6: n >>= shift; expected = before >> static_cast<unsigned int>(shift) % 96; break;
      case 7: ++n; expected = Add(before, Bits(1)); break;
      case 8: --n; expected = Add(before, ~Bits()); break;
      case 9: ASSERT_EQ(model_of(n++), before); expected = Add(before, Bits(1)); break;
      default: ASSERT_EQ(model_of(n--), before); expected = Add(before, ~Bits()); break;
    }
    Bits const after = model_of(n);
    ASSERT_EQ(after, expected) << "step " << step << " op " << op << " shift " << shift;
    ASSERT_TRUE((n < other) == less(after, operand) && (n > other) == less(operand, after) &&
                (n <= other) != less(operand, after) && (n >= other) != less(after, operand) &&
                (n == other) == (after == operand) && (n != other) != (after == operand)) << step;
    ASSERT_EQ(static_cast<void const*>(n), after.any() ? &n : nullptr);
    ASSERT_EQ(n[shift] == 1, shift >= 0 && shift < 96 && after[static_cast<std::size_t>(shift)]) << shift;
  }
  EXPECT_TRUE(AHugeNum(5).Hash() == 5 && ((AHugeNum(7) <<= 32) |= AHugeNum(7)).Hash() == 0);
}

}  // namespace
