#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/framework.h"

namespace {

// The cause of the archive exception `action` throws; -1 when none.
template <typename Action>
int CauseOf(Action action) {
  try {
    action();
  } catch (CArchiveException const& e) {
    return e.m_cause;
  }
  return -1;
}

// Words and bytes stored through a tiny buffer (many flushes) come out
// little-endian in order, and load back the same; a short read reports its
// count, and a short word, the wrong direction or a closed archive throws.
TEST(Archive, RoundTripAcrossBufferRefills) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store, 16);
    EXPECT_TRUE(ar.IsStoring() && !ar.IsLoading());
    for (unsigned int i = 0; i < 1000; ++i) {
      BYTE b = static_cast<BYTE>(i);
      ar << static_cast<WORD>(i * 7);
      ar.Write(&b, 1);
    }
    ar << WORD{0xBEEF} << DWORD{0x01020304} << BYTE{0x7F};
    WORD w = 0;
    EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::writeOnly);
  }  // flushed when destroyed
  ASSERT_EQ(file.GetLength(), 3007u);
  file.SeekToBegin();
  CArchive ar(&file, CArchive::load, 16);
  WORD w = 0;
  for (unsigned int i = 0; i < 1000; ++i) {
    BYTE b = 0;
    ar >> w;
    ASSERT_TRUE(ar.Read(&b, 1) == 1 && w == static_cast<WORD>(i * 7) && b == static_cast<BYTE>(i)) << i;
  }
  BYTE tail[8];
  EXPECT_EQ(std::vector<BYTE>(tail, tail + ar.Read(tail, sizeof tail)),
            (std::vector<BYTE>{0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01, 0x7F}));
  EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::endOfFile);
  EXPECT_EQ(CauseOf([&] { ar << w; }), CArchiveException::readOnly);
  ar.Close();
  EXPECT_EQ(CauseOf([&] { ar >> w; }), CArchiveException::generic);
  BYTE* block = file.Detach();
  EXPECT_EQ(std::vector<BYTE>(block + 3, block + 6), (std::vector<BYTE>{0x07, 0x00, 0x01}));
  std::free(block);
}

TEST(MemFile, AttachedBufferIsFixed) {
  BYTE bytes[4] = {1, 2, 3, 4}, two[2] = {9, 9};
  CMemFile file(bytes, sizeof bytes);
  file.Write(two, 2);
  file.Write(two, 2);  // fills it exactly
  EXPECT_TRUE(bytes[0] == 9 && bytes[3] == 9 && file.GetPosition() == 4u);
  EXPECT_THROW(file.Write(bytes, 1), CFileException);
  EXPECT_EQ(file.Detach(), bytes);
  EXPECT_EQ(file.GetLength(), 0u);
  file.Write(two, 2);  // a detached file starts again with a block of its own
  EXPECT_EQ(file.GetLength(), 2u);
  std::free(file.Detach());
}

}  // namespace
