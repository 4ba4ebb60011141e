// The export surface, read from the built library's dynamic symbol table
// (ELF) or export directory (PE): every class member and free function of the
// public surface is exported, internal routines are not, and nothing outside
// the known families leaks.
#include <cxxabi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/portable.h"

namespace {

constexpr bool kWindows = brindle::testing::kWindows;

std::string Demangle(char const* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status != 0 || plain == nullptr) return name;
  std::string result(plain);
  std::free(plain);
  return result;
}

template <typename T>
T Read(std::vector<char> const& image, std::size_t offset) {
  T value{};
  if (offset <= image.size() && sizeof(T) <= image.size() - offset) std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}

// The defined global and weak symbols of an ELF64 image's .dynsym.
std::vector<std::string> ElfSymbols(std::vector<char> const& image) {
  std::vector<std::string> names;
  if (image.size() < 64 || std::memcmp(image.data(), "\x7f" "ELF", 4) != 0 || image[4] != 2) return names;
  auto const section_offset = Read<std::uint64_t>(image, 0x28);
  auto const entry_size = Read<std::uint16_t>(image, 0x3A);
  auto const count = Read<std::uint16_t>(image, 0x3C);
  struct Section {
    std::uint32_t type, link;
    std::uint64_t offset, size;
  };
  auto section = [&](std::size_t i) {
    std::size_t at = section_offset + i * entry_size;
    return Section{Read<std::uint32_t>(image, at + 4), Read<std::uint32_t>(image, at + 40),
                   Read<std::uint64_t>(image, at + 24), Read<std::uint64_t>(image, at + 32)};
  };
  constexpr std::uint32_t kDynamicSymbols = 11;  // SHT_DYNSYM
  for (std::size_t i = 0; i < count; ++i) {
    Section const symbols = section(i);
    if (symbols.type != kDynamicSymbols) continue;
    Section const strings = section(symbols.link);
    for (std::size_t off = 0; off + 24 <= symbols.size; off += 24) {  // Elf64_Sym
      std::size_t const at = symbols.offset + off;
      unsigned int const binding = static_cast<unsigned char>(image[at + 4]) >> 4;
      bool const defined = Read<std::uint16_t>(image, at + 6) != 0;
      if (!defined || (binding != 1 && binding != 2)) continue;  // STB_GLOBAL, STB_WEAK
      names.emplace_back(image.data() + strings.offset + Read<std::uint32_t>(image, at));
    }
  }
  return names;
}

// The names of a PE image's export directory.
std::vector<std::string> PeExports(std::vector<char> const& image) {
  std::vector<std::string> names;
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return names;
  std::size_t const pe = Read<std::uint32_t>(image, 0x3C);
  if (Read<std::uint32_t>(image, pe) != 0x00004550) return names;  // "PE\0\0"
  std::size_t const sections = Read<std::uint16_t>(image, pe + 6);
  std::size_t const optional = pe + 24;
  std::size_t const optional_size = Read<std::uint16_t>(image, pe + 20);
  bool const pe32_plus = Read<std::uint16_t>(image, optional) == 0x20B;
  std::uint32_t const exports = Read<std::uint32_t>(image, optional + (pe32_plus ? 112 : 96));
  // A relative address, as an offset into the file.
  auto file_offset = [&](std::uint32_t rva) -> std::size_t {
    for (std::size_t i = 0; i < sections; ++i) {
      std::size_t const at = optional + optional_size + i * 40;
      std::uint32_t const address = Read<std::uint32_t>(image, at + 12);
      std::uint32_t const size = std::max(Read<std::uint32_t>(image, at + 8), Read<std::uint32_t>(image, at + 16));
      if (rva >= address && rva - address < size) return Read<std::uint32_t>(image, at + 20) + (rva - address);
    }
    return image.size();
  };
  if (exports == 0) return names;
  std::size_t const directory = file_offset(exports);
  std::uint32_t const count = Read<std::uint32_t>(image, directory + 24);
  std::size_t const table = file_offset(Read<std::uint32_t>(image, directory + 32));
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t const name = file_offset(Read<std::uint32_t>(image, table + 4u * i));
    if (name < image.size()) names.emplace_back(image.data() + name, strnlen(image.data() + name, image.size() - name));
  }
  return names;
}

// The demangled exported names of the library at `path`. Windows spells the
// geometry records by their structure tags, which are read back as the
// names the headers use.
std::set<std::string> ExportedSymbols(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  for (std::string const& raw : kWindows ? PeExports(image) : ElfSymbols(image)) {
    std::string name = Demangle(raw.c_str());
    for (std::string tag : {"tagPOINT", "tagSIZE", "tagRECT"}) {
      for (std::size_t at = name.find(tag); at != std::string::npos; at = name.find(tag)) name.erase(at, 3);
    }
    names.insert(name);
  }
  return names;
}

// On Windows the DLL lies beside the program, which names it by its file name.
std::string LibraryPath() {
  if (!kWindows) return BRINDLE_LIBRARY_FILE;
  std::string const program = brindle::testing::ProgramPath();
  return program.substr(0, program.find_last_of("\\/") + 1) + BRINDLE_LIBRARY_FILE;
}

// The exported names are the public surface and nothing else: the platform
// names a client may use come from the library on POSIX only (on Windows they
// are the system's), no internal routine is exported, and every name belongs
// to a known family (a leaked template instantiation or a helper that lost
// its hiding shows up here).
TEST(ExportSurface, PublicFamiliesOnly) {
  std::set<std::string> const symbols = ExportedSymbols(LibraryPath());
  ASSERT_GT(symbols.size(), 100u);
  for (char const* name : {"AString::reserve() const", "AString::operator[](int)", "ATime::RefDate",
                           "ADate::AssertIndexOfMonth(unsigned int)", "AFile::IsLocked() const",
                           "ARpcController::getStatusString() const", "typeinfo for CUserException"}) {
    EXPECT_EQ(symbols.count(name), 1u) << name;
  }
  for (char const* name : {"LoadStringA", "_tzset", "_timezone", "_daylight", "RpcBindingInqClient",
                           "brindle::StringTable::Find(unsigned int) const"}) {
    EXPECT_EQ(symbols.count(name), kWindows ? 0u : 1u) << name;
  }
  std::vector<std::string> const prefixes = {
      "AString::", "CString::", "CTime::", "CException::", "CUserException::", "CArchiveException::",
      "CFileException::", "CFile::", "CMemFile::", "CArchive::", "CWinThread::", "brindle::StringTable::",
      "AfxThrowUserException()", "AfxBeginThread(", "LoadStringA", "_tzset", "_timezone", "_daylight",
      "charEncrypt(", "strEncrypt(", "sprintf(", "ABitField::", "AHugeNum::", "APoint::", "ASize::", "ARect::",
      "ADirectory::", "AdirSystem32::", "AdirDesktop::", "AdirTaskBarProgs::", "AFile::", "ADate::", "ATime::",
      "operator>>(std::istream&, ADate&)", "operator<<(std::ostream&, ADate const&)",
      "operator<<(std::ostream&, ATime const&)", "ARpcClient::", "ARpcServer::",
      "ARpcController::getStatus() const", "ARpcController::getStatusString() const", "RpcBindingInqClient",
      "typeinfo for ", "typeinfo name for ", "vtable for ",
      "__odr_asan."};  // AddressSanitizer's one-definition-rule markers
  for (auto const& name : symbols) {
    EXPECT_TRUE(std::any_of(prefixes.begin(), prefixes.end(),
                            [&](std::string const& prefix) { return name.rfind(prefix, 0) == 0; }))
        << name;
    EXPECT_EQ(name.find("brindle::detail"), std::string::npos) << name;
  }
}

}  // namespace
