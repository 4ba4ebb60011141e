#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "brindle/bits.h"

namespace {

constexpr unsigned int kMinBits = 16;
constexpr unsigned int kMaxBits = 65535;

// Bit i lives in byte i / 8 under this mask, most significant bit first.
constexpr unsigned char kMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

unsigned int BytesFor(unsigned int count) { return (count + 7) / 8; }

unsigned char* Allocate(unsigned int bytes) { return static_cast<unsigned char*>(::operator new(bytes)); }
void Release(unsigned char* block) { ::operator delete(block); }

// The bits of the last byte that lie below the count.
unsigned int LastByteMask(unsigned int count) {
  unsigned int used = count % 8;
  return used == 0 ? 0xFFu : (0xFFu << (8 - used)) & 0xFFu;
}

// Reports the bits of byte k that are set (kSet) or clear within `valid`,
// from the low-order bit up: highest index first. The byte is re-read after
// each call, so the callback's changes to bits not yet reached are seen, as
// a bit-by-bit test would see them.
template <bool kSet>
void VisitByte(unsigned char const* bits, unsigned int k, unsigned int valid, void (*fn)(unsigned int, void*),
               void* context) {
  for (;;) {
    unsigned int byte = (kSet ? bits[k] : ~bits[k]) & valid;
    if (byte == 0) return;
    int low = std::countr_zero(byte);  // 0: mask 0x01, index 8k + 7
    fn(8 * k + 7 - static_cast<unsigned int>(low), context);
    valid &= 0xFFu << (low + 1);
  }
}

// Visits the bytes from the last down. Runs of eight bytes with nothing to
// report are passed over in one step, so the cost is about one step per
// eight bytes plus one per reported bit.
template <bool kSet>
void VisitBytes(unsigned char const* bits, unsigned int count, void (*fn)(unsigned int, void*), void* context) {
  constexpr std::uint64_t kNothing = kSet ? 0 : ~std::uint64_t{0};
  unsigned int k = BytesFor(count) - 1;
  VisitByte<kSet>(bits, k, LastByteMask(count), fn, context);
  while (k > 0) {  // bytes 0 .. k - 1 remain
    if (k >= 8) {
      std::uint64_t word;
      std::memcpy(&word, bits + k - 8, sizeof word);
      if (word == kNothing) {
        k -= 8;
        continue;
      }
    }
    --k;
    VisitByte<kSet>(bits, k, 0xFFu, fn, context);
  }
}

}  // namespace

ABitField::ABitField(unsigned int count)
    : count_(static_cast<unsigned short>(count < kMinBits ? kMinBits : count > kMaxBits ? kMaxBits : count)),
      bits_(Allocate(BytesFor(count_))) {
  std::memset(bits_, 0, byte_count());
}

ABitField::ABitField(ABitField const& other) : count_(other.count_), bits_(Allocate(other.byte_count())) {
  std::memcpy(bits_, other.bits_, byte_count());
}

ABitField& ABitField::operator=(ABitField const& other) {
  // The new block is filled before the old one goes, so self-assignment is safe.
  unsigned char* block = Allocate(other.byte_count());
  std::memcpy(block, other.bits_, other.byte_count());
  Release(bits_);
  bits_ = block;
  count_ = other.count_;
  return *this;
}

ABitField::~ABitField() { Release(bits_); }

unsigned int ABitField::byte_count() const { return BytesFor(count_); }

void ABitField::clear_spare_bits() {
  if (count_ % 8 != 0) bits_[count_ / 8] &= static_cast<unsigned char>(LastByteMask(count_));
}

unsigned int ABitField::BLENGTH() const { return count_; }

int ABitField::BTEST(unsigned int i) const { return i < count_ && (bits_[i / 8] & kMask[i % 8]) != 0 ? 1 : 0; }

int ABitField::operator[](int i) const { return BTEST(static_cast<unsigned int>(i)); }

ABitField& ABitField::BSET(unsigned int i) {
  if (i < count_) bits_[i / 8] |= kMask[i % 8];
  return *this;
}

ABitField& ABitField::BRESET(unsigned int i) {
  if (i < count_) bits_[i / 8] &= static_cast<unsigned char>(~kMask[i % 8]);
  return *this;
}

// The combining operators keep the block (it is at least as large as the new
// count needs) and clear the spare bits of the new last byte, which may have
// been real bits under the old count.
ABitField& ABitField::operator&=(ABitField const& other) {
  if (other.count_ < count_) count_ = other.count_;
  for (unsigned int k = 0, n = byte_count(); k < n; ++k) bits_[k] &= other.bits_[k];
  clear_spare_bits();
  return *this;
}

ABitField& ABitField::operator|=(ABitField const& other) {
  if (other.count_ < count_) count_ = other.count_;
  for (unsigned int k = 0, n = byte_count(); k < n; ++k) bits_[k] |= other.bits_[k];
  clear_spare_bits();
  return *this;
}

ABitField& ABitField::operator^=(ABitField const& other) {
  if (other.count_ < count_) count_ = other.count_;
  for (unsigned int k = 0, n = byte_count(); k < n; ++k) bits_[k] ^= other.bits_[k];
  clear_spare_bits();
  return *this;
}

int ABitField::operator==(ABitField const& other) const {
  return count_ == other.count_ && std::memcmp(bits_, other.bits_, byte_count()) == 0 ? 1 : 0;
}

ABitField::operator void const*() const {
  for (unsigned int k = 0, n = byte_count(); k < n; ++k) {
    if (bits_[k] != 0) return this;
  }
  return nullptr;
}

ABitField const& ABitField::ForEachSet(void (*fn)(unsigned int, void*), void* context) const {
  if (fn != nullptr && count_ != 0) VisitBytes<true>(bits_, count_, fn, context);
  return *this;
}

ABitField const& ABitField::ForEachReset(void (*fn)(unsigned int, void*), void* context) const {
  if (fn != nullptr && count_ != 0) VisitBytes<false>(bits_, count_, fn, context);
  return *this;
}

CArchive& ABitField::archive_write(CArchive& archive) const {
  archive << static_cast<WORD>(count_);
  archive.Write(bits_, byte_count());
  return archive;
}

CArchive& ABitField::archive_read(CArchive& archive) {
  WORD stored = 0;
  archive >> stored;
  if (stored == 0) return archive;
  // The field changes only once the read has returned: an archive that
  // throws leaves it as it was.
  unsigned int const bytes = BytesFor(stored);
  unsigned char* block = Allocate(bytes);
  try {
    if (archive.Read(block, bytes) != bytes) std::memset(block, 0, bytes);
  } catch (...) {
    Release(block);
    throw;
  }
  Release(bits_);
  bits_ = block;
  count_ = stored;
  clear_spare_bits();
  return archive;
}
