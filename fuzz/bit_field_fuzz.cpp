// ABitField archive reading from arbitrary bytes: the field read back is
// stored again and compared with the input as the layout says it should be
// (spare bits cleared, a short read all clear), then combined with a copy of
// itself and iterated, which must agree with testing every bit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "brindle/bits.h"

namespace {

class Field : public ABitField {
 public:
  using ABitField::ABitField;

  // False when the archive ended inside the count.
  bool Load(std::uint8_t const* data, std::size_t size) {
    std::vector<BYTE> bytes(data, data + size);
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    try {
      archive_read(ar);
    } catch (CArchiveException&) {
      return false;
    }
    return true;
  }

  std::vector<BYTE> Store() const {
    CMemFile file;
    {
      CArchive ar(&file, CArchive::store);
      archive_write(ar);
    }
    DWORD length = file.GetLength();
    BYTE* block = file.Detach();
    std::vector<BYTE> bytes(block, block + length);
    std::free(block);
    return bytes;
  }
};

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size > 9000) return 0;
  Field f(24);
  f.BSET(1).BSET(23);
  std::vector<BYTE> const before = f.Store();
  if (!f.Load(data, size)) {
    Require(size < 2 && f.Store() == before);
    return 0;
  }
  unsigned int const stored = data[0] | (data[1] << 8);
  if (stored == 0) {
    Require(f.Store() == before);
    return 0;
  }
  Require(f.BLENGTH() == stored);
  std::size_t const bytes = (stored + 7) / 8;
  std::vector<BYTE> expected(data, data + 2);
  expected.resize(2 + bytes);
  if (size - 2 >= bytes) {
    std::memcpy(expected.data() + 2, data + 2, bytes);
    if (stored % 8 != 0) expected[1 + bytes] &= static_cast<BYTE>(0xFF00u >> (stored % 8));
  }
  Require(f.Store() == expected);

  Field same(f);
  Require(same == f);
  same |= f;
  same &= f;
  Require(same == f);
  same ^= f;
  Require(!same);

  std::vector<unsigned int> set;
  f.ForEachSet([](unsigned int i, void* c) { static_cast<std::vector<unsigned int>*>(c)->push_back(i); }, &set);
  std::size_t k = 0;
  for (unsigned int i = stored; i-- > 0;) {
    if (f.BTEST(i)) Require(k < set.size() && set[k++] == i);
  }
  Require(k == set.size());
  return 0;
}
