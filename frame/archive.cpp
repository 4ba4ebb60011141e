#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "brindle/framework.h"

// --- CFile ------------------------------------------------------------------

CFile::CFile() = default;
CFile::~CFile() = default;

// --- CMemFile ----------------------------------------------------------------

CMemFile::CMemFile(UINT grow_bytes)
    : buffer_(nullptr), size_(0), capacity_(0), position_(0), grow_bytes_(grow_bytes != 0 ? grow_bytes : 1024),
      owned_(true) {}

CMemFile::CMemFile(BYTE* buffer, UINT size)
    : buffer_(buffer), size_(buffer != nullptr ? size : 0), capacity_(size_), position_(0), grow_bytes_(0),
      owned_(false) {}

CMemFile::~CMemFile() {
  if (owned_) std::free(buffer_);
}

UINT CMemFile::Read(void* buffer, UINT count) {
  if (buffer == nullptr || position_ >= size_) return 0;
  UINT n = std::min<DWORD>(count, size_ - position_);
  std::memcpy(buffer, buffer_ + position_, n);
  position_ += n;
  return n;
}

void CMemFile::Write(void const* buffer, UINT count) {
  if (count == 0) return;
  if (buffer == nullptr) throw CFileException(CFileException::generic);
  if (count > 0xFFFFFFFFu - position_) throw CFileException(CFileException::diskFull);
  DWORD end = position_ + count;
  if (end > capacity_) Grow(end);
  std::memcpy(buffer_ + position_, buffer, count);
  position_ = end;
  size_ = std::max(size_, end);
}

void CMemFile::Grow(DWORD needed) {
  if (!owned_) throw CFileException(CFileException::diskFull);
  // Grow by whole steps of grow_bytes_, but at least double, so that a long
  // run of small writes costs linear time.
  unsigned long long target = std::max<unsigned long long>(needed, 2ull * capacity_);
  target = (target + grow_bytes_ - 1) / grow_bytes_ * grow_bytes_;
  if (target > 0xFFFFFFFFull) target = needed;
  void* grown = std::realloc(buffer_, static_cast<std::size_t>(target));
  if (grown == nullptr) throw std::bad_alloc();
  buffer_ = static_cast<BYTE*>(grown);
  capacity_ = static_cast<DWORD>(target);
}

DWORD CMemFile::GetLength() const { return size_; }
DWORD CMemFile::GetPosition() const { return position_; }
void CMemFile::SeekToBegin() { position_ = 0; }

BYTE* CMemFile::Detach() {
  BYTE* block = buffer_;
  buffer_ = nullptr;
  size_ = capacity_ = position_ = 0;
  owned_ = true;  // a detached file starts again with a block of its own
  if (grow_bytes_ == 0) grow_bytes_ = 1024;
  return block;
}

// --- CArchive ------------------------------------------------------------------

CArchive::CArchive(CFile* file, UINT mode, int buffer_size)
    : file_(file), mode_(mode == load ? load : store), buffer_(nullptr),
      buffer_size_(static_cast<UINT>(std::max(buffer_size, 16))), begin_(0), end_(0) {
  buffer_ = new BYTE[buffer_size_];
}

CArchive::~CArchive() {
  // A destructor must not throw: a storing archive that cannot flush here
  // loses its pending bytes, as a caller who wants to know calls Close().
  try {
    Close();
  } catch (...) {
  }
  delete[] buffer_;
}

bool CArchive::IsLoading() const { return mode_ == load; }
bool CArchive::IsStoring() const { return mode_ == store; }
CFile* CArchive::GetFile() const { return file_; }

void CArchive::RequireLoading() const {
  if (mode_ != load) throw CArchiveException(CArchiveException::writeOnly);
  if (file_ == nullptr) throw CArchiveException(CArchiveException::generic);
}

void CArchive::RequireStoring() const {
  if (mode_ != store) throw CArchiveException(CArchiveException::readOnly);
  if (file_ == nullptr) throw CArchiveException(CArchiveException::generic);
}

void CArchive::Flush() {
  if (mode_ != store || file_ == nullptr || end_ == 0) return;
  UINT pending = end_;
  end_ = 0;
  file_->Write(buffer_, pending);
}

void CArchive::Close() {
  Flush();
  file_ = nullptr;
}

void CArchive::Need(UINT bytes) {
  RequireLoading();
  if (end_ - begin_ >= bytes) return;
  // Keep the unread tail, then fill the rest of the buffer from the file.
  std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (end_ < bytes) {
    UINT got = file_->Read(buffer_ + end_, buffer_size_ - end_);
    if (got == 0) throw CArchiveException(CArchiveException::endOfFile);
    end_ += got;
  }
}

void CArchive::Room(UINT bytes) {
  RequireStoring();
  if (buffer_size_ - end_ < bytes) Flush();
}

UINT CArchive::Read(void* buffer, UINT count) {
  RequireLoading();
  if (buffer == nullptr || count == 0) return 0;
  BYTE* out = static_cast<BYTE*>(buffer);
  UINT buffered = std::min(count, end_ - begin_);
  std::memcpy(out, buffer_ + begin_, buffered);
  begin_ += buffered;
  UINT done = buffered;
  while (done < count) {
    UINT got = file_->Read(out + done, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

void CArchive::Write(void const* buffer, UINT count) {
  RequireStoring();
  if (count == 0) return;
  if (buffer == nullptr) throw CArchiveException(CArchiveException::generic);
  if (buffer_size_ - end_ >= count) {
    std::memcpy(buffer_ + end_, buffer, count);
    end_ += count;
    return;
  }
  Flush();
  file_->Write(buffer, count);
}

CArchive& CArchive::operator<<(BYTE value) {
  Room(1);
  buffer_[end_++] = value;
  return *this;
}

CArchive& CArchive::operator<<(WORD value) {
  Room(2);
  buffer_[end_++] = static_cast<BYTE>(value & 0xFF);
  buffer_[end_++] = static_cast<BYTE>(value >> 8);
  return *this;
}

CArchive& CArchive::operator<<(DWORD value) {
  Room(4);
  for (int shift = 0; shift < 32; shift += 8) buffer_[end_++] = static_cast<BYTE>((value >> shift) & 0xFF);
  return *this;
}

CArchive& CArchive::operator>>(BYTE& value) {
  Need(1);
  value = buffer_[begin_++];
  return *this;
}

CArchive& CArchive::operator>>(WORD& value) {
  Need(2);
  value = static_cast<WORD>(buffer_[begin_] | (buffer_[begin_ + 1] << 8));
  begin_ += 2;
  return *this;
}

CArchive& CArchive::operator>>(DWORD& value) {
  Need(4);
  value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | buffer_[begin_ + static_cast<UINT>(i)];
  begin_ += 4;
  return *this;
}
