// A bit field with its archive form at hand, for the model test and the
// archive-reading fuzz target.
#ifndef BRINDLE_TESTS_BITS_STORED_FIELD_H
#define BRINDLE_TESTS_BITS_STORED_FIELD_H

#include <vector>

#include "brindle/bits.h"

namespace brindle::testing {

struct StoredField : ABitField {
  using ABitField::ABitField;
  explicit StoredField(std::vector<bool> const& bits) : ABitField(static_cast<unsigned int>(bits.size())) {
    for (unsigned int i = 0; i < bits.size(); ++i) bits[i] ? BSET(i) : BRESET(i);
  }
  std::vector<BYTE> Store() const {
    std::vector<BYTE> bytes(2 + 8192);  // room for the longest form
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::store);
    archive_write(archive).Close();
    bytes.resize(file.GetPosition());
    return bytes;
  }
  // False when the archive ran out before the count.
  bool Load(std::vector<BYTE> bytes) {
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive archive(&file, CArchive::load);
    try {
      archive_read(archive);
    } catch (CArchiveException&) {
      return false;
    }
    return true;
  }
};

}  // namespace brindle::testing

#endif  // BRINDLE_TESTS_BITS_STORED_FIELD_H
