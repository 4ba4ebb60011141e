// Tour: directories, the well-known folders and files.
#include <brindle/brindle.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "examples/tour/tour.h"

namespace {

void ShowFolder(char const* label, ADirectory const& folder) {
  std::printf("  %-18s \"%s\"\n", label, static_cast<char const*>(folder.path));
}

void ShowFile(char const* label, AFile const& file) {
  std::printf("  %-30s Exists %d, IsLocked %d\n", label, file.Exists(), file.IsLocked());
}

}  // namespace

void FsTour() {
  std::printf("\nADirectory, the well-known folders and AFile\n");
  char scratch_name[] = "/tmp/brindle-tour-XXXXXX";
  if (mkdtemp(scratch_name) == nullptr) {
    std::printf("  (no scratch directory)\n");
    return;
  }
  ADirectory scratch(scratch_name);
  ADirectory notes = scratch ^ "notes";
  std::printf("  scratch ^ \"notes\"     \"%s\", a directory: %s\n", static_cast<char const*>(notes.path),
              notes.ExistsAsDirectory() ? "yes" : "no");
  std::printf("  the scratch itself    a directory: %s\n", scratch.ExistsAsDirectory() ? "yes" : "no");

  // The folders follow "OS", "windir" and "USERPROFILE" at each construction.
  setenv("OS", "Windows_NT", 1);
  setenv("windir", "/opt/windows", 1);
  setenv("USERPROFILE", "/home/ann", 1);
  ShowFolder("AdirSystem32", AdirSystem32());
  ShowFolder("AdirDesktop", AdirDesktop());
  ShowFolder("AdirTaskBarProgs", AdirTaskBarProgs());
  unsetenv("OS");
  ShowFolder("without \"OS\"", AdirSystem32());
  unsetenv("windir");
  unsetenv("USERPROFILE");
  ShowFolder("without \"windir\"", AdirSystem32());

  // IsLocked answers "could I have it to myself now?": 1 for yes or missing.
  std::string const name = std::string(scratch_name) + "/todo.txt";
  AFile todo(CString(name.c_str()));
  ShowFile("todo.txt, not yet written", todo);
  if (FILE* out = std::fopen(name.c_str(), "w")) {
    std::fputs("write the tour\n", out);
    std::fclose(out);
  }
  ShowFile("todo.txt, written", todo);
  int held = open(name.c_str(), O_RDONLY);
  if (held >= 0 && flock(held, LOCK_SH) == 0) ShowFile("todo.txt, while flock()ed", todo);
  if (held >= 0) close(held);
  ShowFile("todo.txt, released", todo);
  ShowFile("the scratch directory", AFile(CString(scratch_name)));
  ShowFile("AFile(\"/tmp/xyz\", 5): \"/tmp/\"", AFile("/tmp/xyz", 5));

  std::remove(name.c_str());
  rmdir(scratch_name);
}
