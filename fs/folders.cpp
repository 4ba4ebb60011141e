// The well-known folders, found from the environment at each construction.
#include <cstdlib>
#include <cstring>

#include "brindle/fs.h"
#include "platform/platform.h"

namespace {

constexpr char kSep = brindle::kPathSeparator;

// The NT family is named by "OS" exactly; any other value, in any letter
// case, or none at all, is the other family.
bool IsNtFamily() {
  char const* os = std::getenv("OS");
  return os != nullptr && std::strcmp(os, "Windows_NT") == 0;
}

}  // namespace

AdirSystem32::AdirSystem32() {
  char const* windir = std::getenv("windir");
  if (windir == nullptr) return;
  if (IsNtFamily()) {
    path.Format("%s%cSystem32", windir, kSep);
  } else {
    path.Format("%s%cSystem", windir, kSep);
  }
}

AdirSystem32::AdirSystem32(AdirSystem32 const& other) = default;

AdirSystem32& AdirSystem32::operator=(AdirSystem32 const& other) = default;

AdirSystem32::~AdirSystem32() = default;

AdirDesktop::AdirDesktop() {
  char const* windir = std::getenv("windir");
  if (windir == nullptr) return;
  if (IsNtFamily()) {
    path.Format("%s%cPROFILES%cAll Users%cDesktop", windir, kSep, kSep, kSep);
  } else {
    path.Format("%s%cDesktop", windir, kSep);
  }
}

AdirDesktop::AdirDesktop(AdirDesktop const& other) = default;

AdirDesktop& AdirDesktop::operator=(AdirDesktop const& other) = default;

AdirDesktop::~AdirDesktop() = default;

AdirTaskBarProgs::AdirTaskBarProgs() {
  char const* base = std::getenv(IsNtFamily() ? "USERPROFILE" : "windir");
  if (base == nullptr) return;
  path.Format("%s%cStart Menu%cPrograms", base, kSep, kSep);
}

AdirTaskBarProgs::AdirTaskBarProgs(AdirTaskBarProgs const& other) = default;

AdirTaskBarProgs& AdirTaskBarProgs::operator=(AdirTaskBarProgs const& other) = default;

AdirTaskBarProgs::~AdirTaskBarProgs() = default;
