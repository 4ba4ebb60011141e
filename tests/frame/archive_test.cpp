#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/framework.h"

namespace {

std::vector<BYTE> Contents(CMemFile& file) {
  DWORD length = file.GetLength();
  BYTE* block = file.Detach();
  std::vector<BYTE> bytes(block, block + length);
  std::free(block);
  return bytes;
}

TEST(Archive, WordsAreLittleEndianInOrderWithBytes) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    EXPECT_TRUE(ar.IsStoring());
    EXPECT_FALSE(ar.IsLoading());
    ar << WORD{0x0014};
    BYTE bits[] = {0x80, 0x00, 0x10};
    ar.Write(bits, sizeof bits);
    ar << WORD{0xBEEF} << DWORD{0x01020304} << BYTE{0x7F};
  }  // flushed when destroyed
  std::vector<BYTE> expected = {0x14, 0x00, 0x80, 0x00, 0x10, 0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01, 0x7F};
  EXPECT_EQ(Contents(file), expected);
}

TEST(Archive, LoadingReadsBackWhatWasStored) {
  BYTE bytes[] = {0x03, 0x00, 0xA0, 0x34, 0x12};
  CMemFile file(bytes, sizeof bytes);
  CArchive ar(&file, CArchive::load);
  WORD count = 0;
  ar >> count;
  EXPECT_EQ(count, 3);
  BYTE bit_byte = 0;
  EXPECT_EQ(ar.Read(&bit_byte, 1), 1u);
  EXPECT_EQ(bit_byte, 0xA0);
  WORD last = 0;
  ar >> last;
  EXPECT_EQ(last, 0x1234);
  BYTE more[4];
  EXPECT_EQ(ar.Read(more, sizeof more), 0u);  // a short read reports the count
  EXPECT_THROW(ar >> last, CArchiveException);
}

TEST(Archive, ShortReadAndEndOfFile) {
  BYTE bytes[] = {0x05};
  CMemFile file(bytes, sizeof bytes);
  CArchive ar(&file, CArchive::load);
  WORD word = 0;
  try {
    ar >> word;
    FAIL() << "no exception";
  } catch (CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
  }
}

TEST(Archive, ManyWordsAcrossBufferRefills) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store, 16);  // a tiny buffer: many flushes
    for (unsigned int i = 0; i < 1000; ++i) {
      ar << static_cast<WORD>(i * 7);
      BYTE b = static_cast<BYTE>(i);
      ar.Write(&b, 1);
    }
    ar.Close();
  }
  EXPECT_EQ(file.GetLength(), 3000u);
  file.SeekToBegin();
  CArchive ar(&file, CArchive::load, 16);
  for (unsigned int i = 0; i < 1000; ++i) {
    WORD w = 0;
    BYTE b = 0;
    ar >> w;
    ASSERT_EQ(ar.Read(&b, 1), 1u);
    ASSERT_EQ(w, static_cast<WORD>(i * 7));
    ASSERT_EQ(b, static_cast<BYTE>(i));
  }
}

TEST(Archive, WrongDirectionThrows) {
  CMemFile file;
  CArchive storing(&file, CArchive::store);
  WORD w = 0;
  EXPECT_THROW(storing >> w, CArchiveException);
  BYTE bytes[2] = {};
  CMemFile other(bytes, 2);
  CArchive loading(&other, CArchive::load);
  EXPECT_THROW(loading << w, CArchiveException);
}

TEST(MemFile, AttachedBufferIsFixed) {
  BYTE bytes[4] = {1, 2, 3, 4};
  CMemFile file(bytes, sizeof bytes);
  EXPECT_EQ(file.GetLength(), 4u);
  BYTE two[2] = {9, 9};
  file.Write(two, 2);
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(file.GetPosition(), 2u);
  EXPECT_THROW(file.Write(bytes, 3), CFileException);
  EXPECT_EQ(file.Detach(), bytes);
  EXPECT_EQ(file.GetLength(), 0u);
}

}  // namespace
