// Application framework types at the library's boundary.
//
// The library takes in and hands out the framework's string, time, archive,
// thread and exception types. These are the library's own implementations of
// them, the same on every platform, with the familiar names and signatures so
// that client code written against the framework compiles unchanged.
//
// Memory: allocation failures are reported by throwing std::bad_alloc.
// Exceptions of the framework are thrown by value and caught by reference:
//
//   try { ... } catch (CUserException&) { ... } catch (CException&) { ... }
#ifndef BRINDLE_FRAMEWORK_H
#define BRINDLE_FRAMEWORK_H

#include <cstdarg>
#include <ctime>
#include <string>

#include "brindle/export.h"
#include "brindle/platform_types.h"

// ---------------------------------------------------------------------------
// CString: a value string. Every copy owns its text.
// ---------------------------------------------------------------------------
class BRINDLE_API CString {
 public:
  CString();
  // A null text gives an empty string.
  CString(char const* text);  // NOLINT(google-explicit-constructor)
  // Exactly `count` characters of `text`, NULs included; a null text or a
  // count of 0 or less gives an empty string.
  CString(char const* text, int count);
  CString(CString const& other);
  CString(CString&& other) noexcept;
  CString& operator=(CString const& other);
  CString& operator=(CString&& other) noexcept;
  CString& operator=(char const* text);
  ~CString();

  int GetLength() const;
  bool IsEmpty() const;
  void Empty();

  // GetAt() and operator[] give NUL for an index outside the text; SetAt()
  // ignores one.
  char GetAt(int index) const;
  void SetAt(int index, char ch);
  char operator[](int index) const;

  operator char const*() const;  // NOLINT(google-explicit-constructor)

  // Replaces the text with the printf-style result, at any length.
  void Format(char const* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(char const* format, std::va_list args);

  CString& operator+=(CString const& text);
  CString& operator+=(char const* text);
  CString& operator+=(char ch);

  friend bool operator==(CString const& a, CString const& b) { return a.text_ == b.text_; }
  friend bool operator==(CString const& a, char const* b) { return a.compare(b) == 0; }
  friend bool operator==(char const* a, CString const& b) { return b.compare(a) == 0; }
  friend bool operator!=(CString const& a, CString const& b) { return !(a == b); }
  friend bool operator!=(CString const& a, char const* b) { return !(a == b); }
  friend bool operator!=(char const* a, CString const& b) { return !(a == b); }

 private:
  int compare(char const* text) const;

  std::string text_;
};

// ---------------------------------------------------------------------------
// CTime: an instant, in seconds since 1 January 1970 UTC.
// ---------------------------------------------------------------------------
class BRINDLE_API CTime {
 public:
  CTime();
  CTime(std::time_t time);  // NOLINT(google-explicit-constructor)
  // The instant of a local calendar time: month 1-12, day 1-31. `dst` is
  // positive when the time is daylight-saving time, 0 when it is standard
  // time and negative to let the time-zone rules decide. A time that cannot
  // be represented gives the instant -1.
  CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

  static CTime GetCurrentTime();

  std::time_t GetTime() const;

  // Fills `out` with the local calendar fields (year since 1900, month 0-11,
  // ...) and returns it. With a null `out` a per-thread record is filled.
  // Returns null when the instant has no local calendar form.
  struct tm* GetLocalTm(struct tm* out) const;
  struct tm* GetGmtTm(struct tm* out) const;

  // Local calendar fields; month 1-12, day of week 1 (Sunday) to 7.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;

  friend bool operator==(CTime a, CTime b) { return a.time_ == b.time_; }
  friend bool operator!=(CTime a, CTime b) { return a.time_ != b.time_; }
  friend bool operator<(CTime a, CTime b) { return a.time_ < b.time_; }
  friend bool operator>(CTime a, CTime b) { return a.time_ > b.time_; }
  friend bool operator<=(CTime a, CTime b) { return a.time_ <= b.time_; }
  friend bool operator>=(CTime a, CTime b) { return a.time_ >= b.time_; }

 private:
  std::time_t time_;
};

// ---------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------
class BRINDLE_API CException {
 public:
  CException();
  CException(CException const&);
  CException& operator=(CException const&);
  virtual ~CException();

  // Copies a description of the error into `buffer` (at most `size` - 1
  // characters and a NUL) and returns true.
  virtual bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const;
};

class BRINDLE_API CUserException : public CException {
 public:
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;
};

class BRINDLE_API CArchiveException : public CException {
 public:
  enum Cause { none, generic, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
  explicit CArchiveException(int cause = none);
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;

  int m_cause;
};

class BRINDLE_API CFileException : public CException {
 public:
  enum Cause { none, generic, fileNotFound, badPath, tooManyOpenFiles, accessDenied,
               invalidFile, removeCurrentDir, directoryFull, badSeek, hardIO,
               sharingViolation, lockViolation, diskFull, endOfFile };
  explicit CFileException(int cause = none);
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;

  int m_cause;
};

// Throws a CUserException by value.
[[noreturn]] BRINDLE_API void AfxThrowUserException();

// ---------------------------------------------------------------------------
// Files and archives
// ---------------------------------------------------------------------------
class BRINDLE_API CFile {
 public:
  CFile();
  CFile(CFile const&) = delete;
  CFile& operator=(CFile const&) = delete;
  virtual ~CFile();

  // Moves up to `count` bytes into `buffer`; returns how many were moved
  // (fewer only at the end of the file).
  virtual UINT Read(void* buffer, UINT count) = 0;
  // Moves `count` bytes from `buffer`; throws CFileException when it cannot.
  virtual void Write(void const* buffer, UINT count) = 0;
};

// A file in memory. The default form owns a block that grows as it is
// written; the attached form works in a caller's buffer of fixed size, whose
// contents are the file (writing past its end throws CFileException with
// cause diskFull).
class BRINDLE_API CMemFile : public CFile {
 public:
  explicit CMemFile(UINT grow_bytes = 1024);
  CMemFile(BYTE* buffer, UINT size);
  ~CMemFile() override;

  UINT Read(void* buffer, UINT count) override;
  void Write(void const* buffer, UINT count) override;

  DWORD GetLength() const;
  DWORD GetPosition() const;
  void SeekToBegin();

  // Hands the block to the caller and leaves the file empty. An owned block
  // is then the caller's to release with std::free(); an attached buffer is
  // returned as it was given.
  BYTE* Detach();

 private:
  void Grow(DWORD needed);

  BYTE* buffer_;
  DWORD size_;      // bytes in the file
  DWORD capacity_;  // bytes in the block
  DWORD position_;
  UINT grow_bytes_;
  bool owned_;
};

// Buffered, ordered transfer of bytes and little-endian words to or from a
// CFile. A storing archive flushes when it is closed or destroyed.
class BRINDLE_API CArchive {
 public:
  enum Mode { store = 0, load = 1 };

  CArchive(CFile* file, UINT mode, int buffer_size = 4096);
  CArchive(CArchive const&) = delete;
  CArchive& operator=(CArchive const&) = delete;
  ~CArchive();

  // Moves up to `count` bytes from a loading archive; returns how many were
  // moved (fewer only at the end of the file).
  UINT Read(void* buffer, UINT count);
  void Write(void const* buffer, UINT count);

  // Words and double words travel low byte first. Extracting past the end of
  // the file throws CArchiveException with cause endOfFile; using a storing
  // archive for loading, or the reverse, throws readOnly or writeOnly.
  CArchive& operator<<(BYTE value);
  CArchive& operator<<(WORD value);
  CArchive& operator<<(DWORD value);
  CArchive& operator>>(BYTE& value);
  CArchive& operator>>(WORD& value);
  CArchive& operator>>(DWORD& value);

  // Storing: writes the buffered bytes to the file.
  void Flush();
  // Flushes a storing archive and detaches it from its file.
  void Close();

  bool IsLoading() const;
  bool IsStoring() const;
  CFile* GetFile() const;

 private:
  void Need(UINT bytes);  // loading: at least `bytes` in the buffer, or throw
  void Room(UINT bytes);  // storing: room for `bytes`, flushing as needed
  void RequireLoading() const;
  void RequireStoring() const;

  CFile* file_;
  UINT mode_;
  BYTE* buffer_;
  UINT buffer_size_;
  UINT begin_;  // loading: next unread byte
  UINT end_;    // loading: end of the valid bytes; storing: bytes pending
};

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------
typedef UINT (*AFX_THREADPROC)(void* parameter);

// The framework's record of a worker thread. It deletes itself when its
// thread ends, so a caller may use it only while it knows the thread runs.
class BRINDLE_API CWinThread {
 public:
  CWinThread();
  CWinThread(CWinThread const&) = delete;
  CWinThread& operator=(CWinThread const&) = delete;
  virtual ~CWinThread();
};

// Starts a worker thread that runs `proc(parameter)` at once; nothing joins
// it. Priority, stack size and security attributes are accepted and left to
// the system's defaults. Returns null when the thread cannot be started or
// when `create_flags` asks for anything but 0.
BRINDLE_API CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* parameter, int priority = 0,
                                       UINT stack_size = 0, DWORD create_flags = 0,
                                       void* security = nullptr);

#endif  // BRINDLE_FRAMEWORK_H
