/// @file
/// Application framework types at the library's boundary.
///
/// The library takes in and hands out the framework's string, time, archive,
/// thread and exception types. These are the library's own implementations of
/// them, the same on every platform, with the familiar names and signatures so
/// that client code written against the framework compiles unchanged.
///
/// Memory: allocation failures are reported by throwing std::bad_alloc.
/// Exceptions of the framework are thrown by value and caught by reference:
///
/// @code
/// try { ... } catch (CUserException&) { ... } catch (CException&) { ... }
/// @endcode
///
/// Thread safety: no object is synchronised. Distinct objects may be used on
/// several threads at once, one object by one thread at a time (const members
/// of one object may run at once). A CString copy owns its text, so copies go
/// to other threads freely. AfxBeginThread() may be called from any thread.
#ifndef BRINDLE_FRAMEWORK_H
#define BRINDLE_FRAMEWORK_H

#include <cstdarg>
#include <ctime>
#include <string>

#include "brindle/export.h"
#include "brindle/platform_types.h"

// ---------------------------------------------------------------------------
/// A value string. Every copy owns its text.
// ---------------------------------------------------------------------------
class BRINDLE_API CString {
 public:
  /// An empty string.
  CString();
  /// A copy of `text`. A null text gives an empty string.
  CString(char const* text);  // NOLINT(google-explicit-constructor)
  /// Exactly `count` characters of `text`, NULs included; a null text or a
  /// count of 0 or less gives an empty string.
  CString(char const* text, int count);
  /// A copy of `other`.
  CString(CString const& other);
  /// Takes `other`'s text, leaving `other` empty.
  CString(CString&& other) noexcept;
  /// Replaces the text with a copy of `other`'s.
  CString& operator=(CString const& other);
  /// Takes `other`'s text, leaving `other` empty.
  CString& operator=(CString&& other) noexcept;
  /// Replaces the text with a copy of `text`; a null text makes it empty.
  CString& operator=(char const* text);
  ~CString();

  /// The number of characters, NULs included.
  int GetLength() const;
  /// Whether the string has no characters.
  bool IsEmpty() const;
  /// Makes the string empty.
  void Empty();

  /// @name Characters
  /// GetAt() and operator[] give NUL for an index outside the text; SetAt()
  /// ignores one.
  /// @{

  /// The character at `index`, or NUL outside the text.
  char GetAt(int index) const;
  /// Replaces the character at `index` with `ch`; nothing outside the text.
  void SetAt(int index, char ch);
  /// As GetAt().
  char operator[](int index) const;
  /// @}

  /// The text, NUL-terminated; valid until the string next changes.
  operator char const*() const;  // NOLINT(google-explicit-constructor)

  /// Replaces the text with the printf-style result, at any length.
  void Format(char const* format, ...) __attribute__((format(printf, 2, 3)));
  /// As Format(), with the arguments in a `va_list`. A null format, or one
  /// that fails, leaves the string empty.
  void FormatV(char const* format, std::va_list args);

  /// Appends `text`.
  CString& operator+=(CString const& text);
  /// Appends `text`; a null text appends nothing.
  CString& operator+=(char const* text);
  /// Appends `ch`.
  CString& operator+=(char ch);

  /// @name Comparisons
  /// Two strings compare whole, NULs included; a string and a C string
  /// compare up to the first NUL of each, a null C string as empty.
  /// @{

  /// Whether the texts are equal.
  friend bool operator==(CString const& a, CString const& b) { return a.text_ == b.text_; }
  /// Whether the texts are equal.
  friend bool operator==(CString const& a, char const* b) { return a.compare(b) == 0; }
  /// Whether the texts are equal.
  friend bool operator==(char const* a, CString const& b) { return b.compare(a) == 0; }
  /// Whether the texts differ.
  friend bool operator!=(CString const& a, CString const& b) { return !(a == b); }
  /// Whether the texts differ.
  friend bool operator!=(CString const& a, char const* b) { return !(a == b); }
  /// Whether the texts differ.
  friend bool operator!=(char const* a, CString const& b) { return !(a == b); }
  /// @}

 private:
  int compare(char const* text) const;

  std::string text_;
};

// ---------------------------------------------------------------------------
/// An instant, in seconds since 1 January 1970 UTC.
// ---------------------------------------------------------------------------
class BRINDLE_API CTime {
 public:
  /// The instant 0: 1 January 1970, 00:00:00 UTC.
  CTime();
  /// The instant `time`.
  CTime(std::time_t time);  // NOLINT(google-explicit-constructor)
  /// The instant of a local calendar time: month 1-12, day 1-31. `dst` is
  /// positive when the time is daylight-saving time, 0 when it is standard
  /// time and negative to let the time-zone rules decide. A time that cannot
  /// be represented gives the instant -1.
  CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

  /// Now.
  static CTime GetCurrentTime();

  /// The instant, in seconds since 1 January 1970 UTC.
  std::time_t GetTime() const;

  /// Fills `out` with the local calendar fields (year since 1900, month 0-11,
  /// ...) and returns it. With a null `out` a per-thread record is filled.
  /// Returns null when the instant has no local calendar form.
  struct tm* GetLocalTm(struct tm* out) const;
  /// As GetLocalTm(), in UTC.
  struct tm* GetGmtTm(struct tm* out) const;

  /// @name Local calendar fields
  /// Month 1-12, day of week 1 (Sunday) to 7.
  /// @{
  int GetYear() const;       ///< The year, e.g. 1998.
  int GetMonth() const;      ///< The month, 1-12.
  int GetDay() const;        ///< The day of the month, 1-31.
  int GetHour() const;       ///< The hour, 0-23.
  int GetMinute() const;     ///< The minute, 0-59.
  int GetSecond() const;     ///< The second, 0-59.
  int GetDayOfWeek() const;  ///< The day of the week, 1 (Sunday) to 7.
  /// @}

  /// @name Comparisons
  /// By the instant.
  /// @{
  friend bool operator==(CTime a, CTime b) { return a.time_ == b.time_; }  ///< The same instant.
  friend bool operator!=(CTime a, CTime b) { return a.time_ != b.time_; }  ///< Different instants.
  friend bool operator<(CTime a, CTime b) { return a.time_ < b.time_; }    ///< `a` is earlier.
  friend bool operator>(CTime a, CTime b) { return a.time_ > b.time_; }    ///< `a` is later.
  friend bool operator<=(CTime a, CTime b) { return a.time_ <= b.time_; }  ///< `a` is not later.
  friend bool operator>=(CTime a, CTime b) { return a.time_ >= b.time_; }  ///< `a` is not earlier.
  /// @}

 private:
  std::time_t time_;
};

// ---------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------
/// The base of the framework's exceptions.
class BRINDLE_API CException {
 public:
  /// An exception with the generic message.
  CException();
  /// A copy of the other exception.
  CException(CException const&);
  /// Copies the other exception.
  CException& operator=(CException const&);
  virtual ~CException();

  /// Copies a description of the error into `buffer` (at most `size` - 1
  /// characters and a NUL) and returns true; sets `*help_context`, when
  /// given, to 0. A null buffer or a size of 0 copies nothing and gives false.
  virtual bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const;
};

/// The exception AfxThrowUserException() throws: an operation stopped on
/// purpose. ARpcClient and ARpcServer throw it for a null protocol sequence.
class BRINDLE_API CUserException : public CException {
 public:
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;
};

/// The exception CArchive throws; m_cause says why.
class BRINDLE_API CArchiveException : public CException {
 public:
  /// Why an archive failed. CArchive throws generic, readOnly, writeOnly and
  /// endOfFile; the others are for client code.
  enum Cause {
    none,       ///< No error.
    generic,    ///< Unspecified: a null buffer, or an archive already closed.
    readOnly,   ///< Storing into a loading archive.
    endOfFile,  ///< Reading past the end of the file.
    writeOnly,  ///< Loading from a storing archive.
    badIndex,   ///< An invalid archive index.
    badClass,   ///< An unexpected class in the archive.
    badSchema   ///< An unexpected schema in the archive.
  };
  /// An exception for `cause`, one of Cause's values.
  explicit CArchiveException(int cause = none);
  /// The cause's message; a value outside Cause gives generic's.
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;

  int m_cause;  ///< Why: one of Cause's values.
};

/// The exception a CFile throws; m_cause says why.
class BRINDLE_API CFileException : public CException {
 public:
  /// Why a file operation failed. CMemFile throws generic and diskFull; the
  /// others are for client code's files.
  enum Cause {
    none,              ///< No error.
    generic,           ///< Unspecified (CMemFile: a null buffer).
    fileNotFound,      ///< The file was not found.
    badPath,           ///< The path is not valid.
    tooManyOpenFiles,  ///< No more files can be open.
    accessDenied,      ///< Access was refused.
    invalidFile,       ///< The file handle is not valid.
    removeCurrentDir,  ///< The current directory cannot be removed.
    directoryFull,     ///< The directory has no room for another entry.
    badSeek,           ///< The file position cannot be set.
    hardIO,            ///< A hardware error.
    sharingViolation,  ///< Another open of the file excludes this one.
    lockViolation,     ///< A locked region was touched.
    diskFull,          ///< No room left (CMemFile: its buffer or 4 GiB).
    endOfFile          ///< The end of the file was reached.
  };
  /// An exception for `cause`, one of Cause's values.
  explicit CFileException(int cause = none);
  /// "File error (cause N)."
  bool GetErrorMessage(char* buffer, UINT size, UINT* help_context = nullptr) const override;

  int m_cause;  ///< Why: one of Cause's values.
};

/// Throws a CUserException by value.
[[noreturn]] BRINDLE_API void AfxThrowUserException();

// ---------------------------------------------------------------------------
// Files and archives
// ---------------------------------------------------------------------------
/// A file as CArchive sees it: bytes read and written in order.
class BRINDLE_API CFile {
 public:
  CFile();
  CFile(CFile const&) = delete;
  CFile& operator=(CFile const&) = delete;
  virtual ~CFile();

  /// Moves up to `count` bytes into `buffer`; returns how many were moved
  /// (fewer only at the end of the file).
  virtual UINT Read(void* buffer, UINT count) = 0;
  /// Moves `count` bytes from `buffer`; throws CFileException when it cannot.
  virtual void Write(void const* buffer, UINT count) = 0;
};

/// A file in memory. The default form owns a block that grows as it is
/// written; the attached form works in a caller's buffer of fixed size, whose
/// contents are the file (writing past its end throws CFileException with
/// cause diskFull).
class BRINDLE_API CMemFile : public CFile {
 public:
  /// An empty file with a block of its own, grown at least twofold and in
  /// whole steps of `grow_bytes` (0: 1024).
  explicit CMemFile(UINT grow_bytes = 1024);
  /// A file of `size` bytes over the caller's `buffer`, which stays the
  /// caller's (a null buffer: an empty file with no room).
  CMemFile(BYTE* buffer, UINT size);
  /// Frees an owned block; an attached buffer is left as it is.
  ~CMemFile() override;

  /// Moves up to `count` bytes from the position on into `buffer`; returns
  /// how many were moved (fewer only at the end of the file, none for a null
  /// buffer).
  UINT Read(void* buffer, UINT count) override;
  /// Writes at the position, lengthening the file as needed; a null buffer
  /// throws CFileException with cause generic, and no room (an attached
  /// buffer's end, or 4 GiB) with cause diskFull.
  void Write(void const* buffer, UINT count) override;

  /// The file's length in bytes.
  DWORD GetLength() const;
  /// Where the next Read() or Write() starts.
  DWORD GetPosition() const;
  /// Moves the position to the start.
  void SeekToBegin();

  /// Hands the block to the caller and leaves the file empty. An owned block
  /// is then the caller's to release with std::free(); an attached buffer is
  /// returned as it was given.
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

/// Buffered, ordered transfer of bytes and little-endian words to or from a
/// CFile. A storing archive flushes when it is closed or destroyed.
class BRINDLE_API CArchive {
 public:
  /// The direction of transfer.
  enum Mode {
    store = 0,  ///< Writes to the file.
    load = 1    ///< Reads from the file.
  };

  /// An archive over `file`, which stays the caller's: loading when `mode`
  /// is load, storing otherwise, through a buffer of `buffer_size` bytes (at
  /// least 16).
  CArchive(CFile* file, UINT mode, int buffer_size = 4096);
  CArchive(CArchive const&) = delete;
  CArchive& operator=(CArchive const&) = delete;
  /// Closes the archive. Bytes a storing archive cannot write then are lost
  /// silently; Close() first reports the failure by its exception.
  ~CArchive();

  /// Moves up to `count` bytes from a loading archive; returns how many were
  /// moved (fewer only at the end of the file).
  UINT Read(void* buffer, UINT count);
  /// Moves `count` bytes into a storing archive; a null buffer throws
  /// CArchiveException with cause generic.
  void Write(void const* buffer, UINT count);

  /// @name Words
  /// Words and double words travel low byte first. Extracting past the end of
  /// the file throws CArchiveException with cause endOfFile; using a storing
  /// archive for loading, or the reverse, throws readOnly or writeOnly.
  /// @{
  CArchive& operator<<(BYTE value);   ///< Stores a byte.
  CArchive& operator<<(WORD value);   ///< Stores a 16-bit word.
  CArchive& operator<<(DWORD value);  ///< Stores a 32-bit double word.
  CArchive& operator>>(BYTE& value);   ///< Loads a byte.
  CArchive& operator>>(WORD& value);   ///< Loads a 16-bit word.
  CArchive& operator>>(DWORD& value);  ///< Loads a 32-bit double word.
  /// @}

  /// Storing: writes the buffered bytes to the file.
  void Flush();
  /// Flushes a storing archive and detaches it from its file.
  void Close();

  /// Whether the archive loads.
  bool IsLoading() const;
  /// Whether the archive stores.
  bool IsStoring() const;
  /// The file; null once the archive is closed.
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
/// A worker thread's procedure: it gets AfxBeginThread()'s `parameter`, and
/// its result is discarded.
typedef UINT (*AFX_THREADPROC)(void* parameter);

/// The framework's record of a worker thread. It deletes itself when its
/// thread ends, so a caller may use it only while it knows the thread runs.
class BRINDLE_API CWinThread {
 public:
  CWinThread();
  CWinThread(CWinThread const&) = delete;
  CWinThread& operator=(CWinThread const&) = delete;
  virtual ~CWinThread();
};

/// Starts a worker thread that runs `proc(parameter)` at once; nothing joins
/// it. Priority, stack size and security attributes are accepted and left to
/// the system's defaults. Returns null when the thread cannot be started, when
/// `proc` is null or when `create_flags` asks for anything but 0.
BRINDLE_API CWinThread* AfxBeginThread(AFX_THREADPROC proc, void* parameter, int priority = 0,
                                       UINT stack_size = 0, DWORD create_flags = 0,
                                       void* security = nullptr);

#endif  // BRINDLE_FRAMEWORK_H
