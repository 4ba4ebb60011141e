#include <algorithm>
#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/bits.h"

namespace {

using Bytes = std::vector<BYTE>;

// The archive operations are protected: a derived class is how a client
// stores a field.
class StoredField : public ABitField {
 public:
  using ABitField::ABitField;
  explicit StoredField(ABitField const& field) : ABitField(field) {}

  Bytes Store() const {
    CMemFile file;
    {
      CArchive ar(&file, CArchive::store);
      EXPECT_EQ(&archive_write(ar), &ar);
      ar.Close();
    }
    DWORD length = file.GetLength();
    BYTE* block = file.Detach();
    Bytes bytes(block, block + length);
    std::free(block);
    return bytes;
  }

  // Loads from `bytes`; returns how many bytes the archive left unread.
  unsigned int Load(Bytes bytes) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    EXPECT_EQ(&archive_read(ar), &ar);
    BYTE rest[64];
    return ar.Read(rest, sizeof rest);
  }
};

std::vector<unsigned int> SetBits(ABitField const& f) {
  std::vector<unsigned int> seen;
  f.ForEachSet([](unsigned int i, void* context) { static_cast<std::vector<unsigned int>*>(context)->push_back(i); },
               &seen);
  return seen;
}

std::vector<unsigned int> ClearBits(ABitField const& f) {
  std::vector<unsigned int> seen;
  f.ForEachReset([](unsigned int i, void* context) { static_cast<std::vector<unsigned int>*>(context)->push_back(i); },
                 &seen);
  return seen;
}

TEST(BitField, CountIsClampedAndBitsStartClear) {
  // (requested, count, bytes)
  std::vector<std::tuple<unsigned int, unsigned int, std::size_t>> const rows = {
      {0, 16, 2}, {15, 16, 2}, {16, 16, 2}, {20, 20, 3}, {32, 32, 4}, {65535, 65535, 8192}, {70000, 65535, 8192},
  };
  for (auto const& [requested, count, bytes] : rows) {
    SCOPED_TRACE(requested);
    StoredField f(requested);
    EXPECT_EQ(f.BLENGTH(), count);
    Bytes stored = f.Store();
    ASSERT_EQ(stored.size(), 2 + bytes);
    for (std::size_t k = 2; k < stored.size(); ++k) ASSERT_EQ(stored[k], 0) << k;
    EXPECT_FALSE(f);
  }
  EXPECT_EQ(ABitField().BLENGTH(), 32u);
}

TEST(BitField, BitOrderIsMostSignificantFirst) {
  struct Row {
    unsigned int bit;
    Bytes bytes;
  };
  for (Row const& row : std::vector<Row>{{0, {0x10, 0, 0x80, 0}},
                                         {7, {0x10, 0, 0x01, 0}},
                                         {8, {0x10, 0, 0, 0x80}},
                                         {15, {0x10, 0, 0, 0x01}}}) {
    SCOPED_TRACE(row.bit);
    StoredField f(16);
    f.BSET(row.bit);
    EXPECT_EQ(f.Store(), row.bytes);
    EXPECT_EQ(f.BTEST(row.bit), 1);
    EXPECT_EQ(f[static_cast<int>(row.bit)], 1);
  }
}

TEST(BitField, IndexesAtOrPastTheCountAreIgnored) {
  StoredField f(20);
  Bytes const before = f.Store();
  EXPECT_EQ(&f.BSET(20).BSET(0xFFFFFFFFu), &f);
  EXPECT_EQ(f.Store(), before);
  EXPECT_EQ(f.BTEST(20), 0);
  EXPECT_EQ(f[-1], 0);
  f.BSET(19);
  EXPECT_EQ(f.BTEST(19), 1);
  EXPECT_EQ(&f.BRESET(20), &f);
  EXPECT_EQ(f.BTEST(19), 1);
  EXPECT_EQ(f.BRESET(19).BTEST(19), 0);
}

TEST(BitField, TruthTest) {
  ABitField f;
  EXPECT_EQ(static_cast<void const*>(f), nullptr);
  f.BSET(31);
  EXPECT_EQ(static_cast<void const*>(f), &f);
  f.BRESET(31);
  EXPECT_FALSE(f);
}

TEST(BitField, CopyAssignmentAndEquality) {
  ABitField f(40);
  f.BSET(3).BSET(39);
  ABitField copy(f);
  EXPECT_EQ(copy == f, 1);
  EXPECT_EQ(f == f, 1);
  copy.BRESET(39);
  EXPECT_EQ(copy == f, 0);
  EXPECT_EQ(f.BTEST(39), 1);  // the copy has its own bytes
  ABitField other(16);
  EXPECT_EQ(&(other = f), &other);
  EXPECT_EQ(other.BLENGTH(), 40u);
  EXPECT_EQ(other == f, 1);
  other = other;
  EXPECT_EQ(other == f, 1);
  // Same bits below 16, different counts.
  ABitField a(16);
  ABitField b(17);
  EXPECT_EQ(a == b, 0);
}

TEST(BitField, CombiningTakesTheShorterCount) {
  StoredField wide(32);
  wide.BSET(0).BSET(1).BSET(21).BSET(31);
  ABitField narrow(20);
  narrow.BSET(1).BSET(2).BSET(19);

  StoredField both(wide);
  EXPECT_EQ(&(both &= narrow), &both);
  EXPECT_EQ(both.BLENGTH(), 20u);
  EXPECT_EQ(SetBits(both), (std::vector<unsigned int>{1}));

  // Bits 20-23 of the wide field's third byte become spare bits: they are
  // cleared, so truth, equality and the archive see only bits 0-19.
  StoredField either(wide);
  either |= narrow;
  EXPECT_EQ(either.BLENGTH(), 20u);
  EXPECT_EQ(SetBits(either), (std::vector<unsigned int>{19, 2, 1, 0}));
  EXPECT_EQ(either.Store(), (Bytes{0x14, 0x00, 0xE0, 0x00, 0x10}));

  StoredField differ(wide);
  differ ^= narrow;
  EXPECT_EQ(SetBits(differ), (std::vector<unsigned int>{19, 2, 0}));

  ABitField empty20(20);
  StoredField spare(32);
  spare.BSET(21) |= empty20;
  EXPECT_FALSE(spare);
  EXPECT_EQ(spare == empty20, 1);

  ABitField longer(20);
  longer |= ABitField(32).BSET(30);  // the longer operand's extra bits drop out
  EXPECT_EQ(longer.BLENGTH(), 20u);
  EXPECT_FALSE(longer);
}

TEST(BitField, IterationRunsHighestFirst) {
  ABitField f(16);
  f.BSET(3).BSET(10);
  EXPECT_EQ(&f.ForEachSet([](unsigned int, void*) {}, nullptr), &f);
  EXPECT_EQ(SetBits(f), (std::vector<unsigned int>{10, 3}));
  std::vector<unsigned int> clear = ClearBits(f);
  EXPECT_EQ(clear.size(), 14u);
  EXPECT_EQ(clear.front(), 15u);
  EXPECT_EQ(clear.back(), 0u);
  EXPECT_EQ(std::count(clear.begin(), clear.end(), 3u) + std::count(clear.begin(), clear.end(), 10u), 0);
  f.ForEachSet(nullptr, nullptr);  // nothing to call
}

TEST(BitField, CallbackChangesAreSeenWhenReached) {
  // Each reported bit sets the one two below it, within and across bytes.
  ABitField f(20);
  f.BSET(17);
  struct Context {
    ABitField* field;
    std::vector<unsigned int> seen;
  } context{&f, {}};
  f.ForEachSet(
      [](unsigned int i, void* p) {
        auto* c = static_cast<Context*>(p);
        c->seen.push_back(i);
        if (i >= 2) c->field->BSET(i - 2);
      },
      &context);
  EXPECT_EQ(context.seen, (std::vector<unsigned int>{17, 15, 13, 11, 9, 7, 5, 3, 1}));

  // Far below, past runs of empty bytes.
  ABitField wide(200);
  wide.BSET(199);
  context = {&wide, {}};
  wide.ForEachSet(
      [](unsigned int i, void* p) {
        auto* c = static_cast<Context*>(p);
        c->seen.push_back(i);
        if (i == 199) c->field->BSET(3);
      },
      &context);
  EXPECT_EQ(context.seen, (std::vector<unsigned int>{199, 3}));
}

TEST(BitField, ArchiveForm) {
  StoredField f(20);
  f.BSET(0).BSET(19);
  EXPECT_EQ(f.Store(), (Bytes{0x14, 0x00, 0x80, 0x00, 0x10}));
}

TEST(BitField, ArchiveReading) {
  struct Row {
    char const* what;
    Bytes input;
    unsigned int count;        // afterwards
    Bytes stored;              // Store() afterwards
    unsigned int left_unread;  // bytes of the input after the field
  };
  // The field starts as 40 bits with bits 0 and 39 set.
  Bytes const original = {0x28, 0x00, 0x80, 0x00, 0x00, 0x00, 0x01};
  std::vector<Row> const rows = {
      {"count 0: unchanged, two bytes taken", {0x00, 0x00, 0xAA}, 40, original, 1},
      {"3 bits", {0x03, 0x00, 0xA0, 0x55}, 3, {0x03, 0x00, 0xA0}, 1},
      {"3 bits, spare bits cleared", {0x03, 0x00, 0xFF}, 3, {0x03, 0x00, 0xE0}, 0},
      {"3 bits, short: all clear", {0x03, 0x00}, 3, {0x03, 0x00, 0x00}, 0},
      {"17 bits, short: all clear", {0x11, 0x00, 0xFF, 0xFF}, 17, {0x11, 0x00, 0x00, 0x00, 0x00}, 0},
      {"largest count", {0xFF, 0xFF}, 65535, {}, 0},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    StoredField f(40);
    f.BSET(0).BSET(39);
    EXPECT_EQ(f.Load(row.input), row.left_unread);
    EXPECT_EQ(f.BLENGTH(), row.count);
    if (!row.stored.empty()) {
      EXPECT_EQ(f.Store(), row.stored);
    }
  }
}

TEST(BitField, ArchiveEndingInTheCountThrowsAndKeepsTheField) {
  StoredField f(40);
  f.BSET(5);
  Bytes const before = f.Store();
  try {
    f.Load({0x03});
    FAIL() << "no exception";
  } catch (CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
  }
  EXPECT_EQ(f.Store(), before);
}

// Random fields: the archive bytes follow the layout bit for bit, a round
// trip gives an equal field and the same bytes, and the iterations agree
// with testing every bit.
TEST(BitField, RandomFieldsRoundTrip) {
  std::mt19937 rng(4101);
  for (int trial = 0; trial < 300; ++trial) {
    unsigned int const count = trial < 100 ? 16 + rng() % 64 : 16 + rng() % 65520;
    unsigned int const density = 1 + rng() % 99;  // percent of bits set
    StoredField f(count);
    std::vector<unsigned int> set_desc;
    std::vector<unsigned int> clear_desc;
    for (unsigned int i = 0; i < count; ++i) {
      if (rng() % 100 < density) f.BSET(i);
    }
    for (unsigned int i = count; i-- > 0;) (f.BTEST(i) ? set_desc : clear_desc).push_back(i);
    SCOPED_TRACE(::testing::Message() << "count " << count << ", density " << density);

    Bytes expected = {static_cast<BYTE>(count & 0xFF), static_cast<BYTE>(count >> 8)};
    expected.resize(2 + (count + 7) / 8);
    for (unsigned int i : set_desc) expected[2 + i / 8] |= static_cast<BYTE>(0x80 >> (i % 8));
    Bytes const stored = f.Store();
    ASSERT_EQ(stored, expected);

    StoredField back(16);
    EXPECT_EQ(back.Load(stored), 0u);
    EXPECT_EQ(back == f, 1);
    EXPECT_EQ(back.Store(), stored);
    EXPECT_EQ(SetBits(f), set_desc);
    EXPECT_EQ(ClearBits(f), clear_desc);
    EXPECT_EQ(static_cast<bool>(f), !set_desc.empty());
  }
}

}  // namespace
