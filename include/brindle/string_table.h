/// @file
/// String resources of a module, for LoadStringA on POSIX.
///
/// On Windows a module's strings are compiled into it from a resource script
/// (a STRINGTABLE, with windres or rc), and this header declares nothing.
/// On POSIX a module (the program or a shared library) declares its strings in
/// one or more tables at namespace scope:
///
/// @code
/// #include <brindle/string_table.h>
///
/// static const brindle::StringTable strings = {
///     {101, "Hello"},
///     {102, "File %s not found"},
/// };
/// @endcode
///
/// A table belongs to the module whose image holds the table object; it is
/// registered while that module is loaded and withdrawn when it is unloaded.
/// LoadStringA(module, id, ...) searches only the tables of that module, in the
/// order they were registered; the first entry with the identifier wins. A
/// table that does not live in a module image (one built on the stack or the
/// heap) belongs to no module and is never found.
///
/// Thread safety: registering and withdrawing tables (modules loaded and
/// unloaded on any thread) and LoadStringA() are serialised inside the
/// library, so they may run at once; a table itself is not changed after
/// construction, and Find() may run on several threads at once.
#ifndef BRINDLE_STRING_TABLE_H
#define BRINDLE_STRING_TABLE_H

#include "brindle/export.h"

#if !defined(_WIN32)

#include <initializer_list>

/// Brindle's own additions. The classes that keep the platform's or the
/// framework's names (AString, ADate, CString, ...) are at global scope.
namespace brindle {

/// One string resource: an identifier and its text.
struct StringResource {
  unsigned int id;   ///< The identifier LoadStringA() looks up.
  char const* text;  ///< The text; null is taken as empty.
};

/// The string resources of the module whose image holds the table object.
class BRINDLE_API StringTable {
 public:
  /// Registers the entries for the module that holds this object. The texts
  /// are copied: the entries need not outlive the table.
  StringTable(std::initializer_list<StringResource> entries);
  /// Withdraws the table: its module's resources no longer include it.
  ~StringTable();

  StringTable(StringTable const&) = delete;
  StringTable& operator=(StringTable const&) = delete;

  /// The text with identifier `id`, or null when the table has none.
  char const* Find(unsigned int id) const;

 private:
  /// @cond
  friend struct StringTableRegistry;
  /// @endcond

  StringResource* entries_;
  unsigned int count_;
  void const* module_;  // the module's identity, or null
  StringTable* next_;
};

}  // namespace brindle

#endif  // !_WIN32

#endif  // BRINDLE_STRING_TABLE_H
