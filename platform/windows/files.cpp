// brindle::ProbeExclusiveWrite on Windows: the system's own exclusive write
// open, closed at once. When it meets a sharing violation, this process's
// modules and handles are looked through for the same file; the system
// offers no call that says who holds a file.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace {

// An entry of NtQuerySystemInformation's extended handle table (class 64),
// which, unlike class 16, keeps handle values whole.
struct HandleEntry {
  void* object;
  ULONG_PTR process_id;
  ULONG_PTR handle;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT object_type_index;
  ULONG attributes;
  ULONG reserved;
};

struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

constexpr auto kExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr std::size_t kMaxTableBytes = 64u << 20;
// The access that takes part in sharing: a handle with any of it keeps out
// an open with share mode 0.
constexpr ULONG kSharingAccess = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_EXECUTE | DELETE;

bool SameFile(BY_HANDLE_FILE_INFORMATION const& a, BY_HANDLE_FILE_INFORMATION const& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// The identity of the file at `path`, through an open for attributes only,
// which takes no part in sharing.
bool IdentityOf(char const* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE const file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool const known = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return known;
}

// Whether the file is the program or a library this process runs: the
// system keeps writers out of a mapped image.
bool RunByThisProcess(BY_HANDLE_FILE_INFORMATION const& target) {
  HMODULE modules[1024];
  DWORD bytes = 0;
  if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return false;
  for (DWORD i = 0; i < std::min<DWORD>(bytes, sizeof modules) / sizeof modules[0]; ++i) {
    char name[MAX_PATH];
    DWORD const length = GetModuleFileNameA(modules[i], name, MAX_PATH);
    BY_HANDLE_FILE_INFORMATION info;
    if (length != 0 && length < MAX_PATH && IdentityOf(name, &info) && SameFile(info, target)) return true;
  }
  return false;
}

// Whether one of this process's handles to the file takes part in sharing.
bool OpenInThisProcess(BY_HANDLE_FILE_INFORMATION const& target) {
  std::vector<char> buffer(64u << 10);
  NTSTATUS status = kInfoLengthMismatch;
  ULONG needed = 0;
  while ((status = NtQuerySystemInformation(kExtendedHandleInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch &&
         buffer.size() < kMaxTableBytes) {
    buffer.resize(std::min(kMaxTableBytes, std::max<std::size_t>(buffer.size() * 2, needed + (64u << 10))));
  }
  if (!NT_SUCCESS(status)) return false;
  auto const* table = reinterpret_cast<HandleTable const*>(buffer.data());
  ULONG_PTR const self = GetCurrentProcessId();
  for (ULONG_PTR i = 0; i < table->count; ++i) {
    HandleEntry const& entry = table->entries[i];
    auto const handle = reinterpret_cast<HANDLE>(entry.handle);
    BY_HANDLE_FILE_INFORMATION info;
    // Only disk files are asked about: a query on a pipe handle can wait for
    // another thread's read.
    if (entry.process_id == self && (entry.granted_access & kSharingAccess) != 0 &&
        GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) && SameFile(info, target)) {
      return true;
    }
  }
  return false;
}

}  // namespace

namespace brindle {

DWORD ProbeExclusiveWrite(char const* path, bool* held_here) {
  *held_here = false;
  HANDLE const handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return ERROR_SUCCESS;
  }
  DWORD const error = GetLastError();
  BY_HANDLE_FILE_INFORMATION target;
  if (error == ERROR_SHARING_VIOLATION && IdentityOf(path, &target)) {
    *held_here = RunByThisProcess(target) || OpenInThisProcess(target);
  }
  return error;
}

}  // namespace brindle
