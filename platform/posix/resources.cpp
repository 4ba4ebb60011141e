// String resources on POSIX: LoadStringA over brindle::StringTable.
//
// Callers rely on: LoadStringA(module, id, buffer, size) copies at most
// size - 1 characters of the resource and a NUL, returns the number copied,
// and returns 0 when the module or the resource is not there (also for an
// unknown module handle, which is never dereferenced).
//
// A table's module is the loaded object whose image holds the table, found
// with dladdr1(); a module handle is resolved by finding it among the link
// maps of the process (a dlopen() handle is its object's link map).
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>

#include "brindle/string_table.h"
#include "platform/platform.h"
#include "platform/posix/module_maps.h"

namespace brindle {

// Tables are registered by their modules' initialisers and withdrawn by their
// finalisers, possibly on different threads (dlopen and dlclose).
struct StringTableRegistry {
  static constinit inline std::mutex mutex;
  static constinit inline StringTable* head = nullptr;

  static void Add(StringTable* table) {
    std::lock_guard<std::mutex> lock(mutex);
    StringTable** link = &head;
    while (*link != nullptr) link = &(*link)->next_;
    *link = table;
  }

  static void Remove(StringTable* table) {
    std::lock_guard<std::mutex> lock(mutex);
    for (StringTable** link = &head; *link != nullptr; link = &(*link)->next_) {
      if (*link == table) {
        *link = table->next_;
        return;
      }
    }
  }

  static void const* ModuleOf(void const* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
      return nullptr;
    }
    return map;
  }

  static int Load(HINSTANCE module, unsigned int id, char* buffer, int size);
};

static_assert(std::is_trivially_destructible_v<std::mutex>,
              "the registry must not need a destructor at unload");

namespace {

char* CopyText(char const* text) {
  if (text == nullptr) text = "";
  std::size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

}  // namespace

int StringTableRegistry::Load(HINSTANCE module, unsigned int id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  void const* map = ResolveModule(module);
  if (map == nullptr) return 0;
  std::lock_guard<std::mutex> lock(mutex);
  for (StringTable const* table = head; table != nullptr; table = table->next_) {
    if (table->module_ != map) continue;
    char const* text = table->Find(id);
    if (text == nullptr) continue;
    std::size_t n = std::strlen(text);
    if (n > static_cast<std::size_t>(size - 1)) n = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  return 0;
}

StringTable::StringTable(std::initializer_list<StringResource> entries)
    : entries_(nullptr), count_(0), module_(nullptr), next_(nullptr) {
  entries_ = new StringResource[entries.size()];
  try {
    for (StringResource const& entry : entries) {
      entries_[count_].id = entry.id;
      entries_[count_].text = CopyText(entry.text);
      ++count_;
    }
  } catch (...) {
    for (unsigned int i = 0; i < count_; ++i) delete[] entries_[i].text;
    delete[] entries_;
    throw;
  }
  module_ = StringTableRegistry::ModuleOf(this);
  StringTableRegistry::Add(this);
}

StringTable::~StringTable() {
  StringTableRegistry::Remove(this);
  for (unsigned int i = 0; i < count_; ++i) delete[] entries_[i].text;
  delete[] entries_;
}

char const* StringTable::Find(unsigned int id) const {
  for (unsigned int i = 0; i < count_; ++i) {
    if (entries_[i].id == id) return entries_[i].text;
  }
  return nullptr;
}

}  // namespace brindle

extern "C" int LoadStringA(HINSTANCE module, UINT id, char* buffer, int size) {
  return brindle::StringTableRegistry::Load(module, id, buffer, size);
}
