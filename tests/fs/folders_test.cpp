#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "brindle/fs.h"
#include "platform/platform.h"
#include "tests/portable.h"

namespace {

std::string Native(std::string text) {
  for (char& c : text) {
    if (c == '/') c = brindle::kPathSeparator;
  }
  return text;
}

using Value = std::optional<std::string>;  // nullopt: the variable is not set

void SetVariable(char const* name, Value const& value) {
  brindle::testing::SetEnv(name, value ? value->c_str() : nullptr);
}

// The folder variables are the test's to set; the process gets its own back.
class FolderTest : public ::testing::Test {
 protected:
  static constexpr char const* kNames[] = {"OS", "windir", "USERPROFILE"};

  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      char const* value = std::getenv(kNames[i]);
      saved_[i] = value != nullptr ? Value(value) : std::nullopt;
    }
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) SetVariable(kNames[i], saved_[i]);
  }

  static void Set(Value const& os, Value const& windir, Value const& profile) {
    SetVariable("OS", os);
    SetVariable("windir", windir);
    SetVariable("USERPROFILE", profile);
  }

  Value saved_[3];
};

TEST_F(FolderTest, RulesByFamilyAndVariables) {
  std::string const w = Native("/win");
  std::string const u = Native("/home/ann");
  struct Row {
    char const* label;
    Value os, windir, profile;
    std::string system32, desktop, taskbar;  // written with '/'
  };
  Row const rows[] = {
      {"NT", "Windows_NT", w, u, "/win/System32", "/win/PROFILES/All Users/Desktop", "/home/ann/Start Menu/Programs"},
      {"no OS", std::nullopt, w, u, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {"OS in other case", "windows_nt", w, u, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {"OS with a space", "Windows_NT ", w, u, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {"other OS", "Linux", w, std::nullopt, "/win/System", "/win/Desktop", "/win/Start Menu/Programs"},
      {"NT, no profile", "Windows_NT", w, std::nullopt, "/win/System32", "/win/PROFILES/All Users/Desktop", ""},
      {"NT, no windir", "Windows_NT", std::nullopt, u, "", "", "/home/ann/Start Menu/Programs"},
      {"nothing set", std::nullopt, std::nullopt, std::nullopt, "", "", ""},
      {"only OS", "Windows_NT", std::nullopt, std::nullopt, "", "", ""},
      // values are used as they are
      {"windir ends with /", "Windows_NT", w + Native("/"), u + Native("/"), "/win//System32",
       "/win//PROFILES/All Users/Desktop", "/home/ann//Start Menu/Programs"},
      // Windows' C runtime holds no empty variable: setting one removes it.
      brindle::testing::kWindows
          ? Row{"windir empty", std::nullopt, std::string(), u, "", "", ""}
          : Row{"windir empty", std::nullopt, std::string(), u, "/System", "/Desktop", "/Start Menu/Programs"},
      {"windir with spaces", std::nullopt, std::string(" W "), u, " W /System", " W /Desktop",
       " W /Start Menu/Programs"},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.label);
    Set(row.os, row.windir, row.profile);
    EXPECT_EQ(std::string(AdirSystem32().path), Native(row.system32));
    EXPECT_EQ(std::string(AdirDesktop().path), Native(row.desktop));
    EXPECT_EQ(std::string(AdirTaskBarProgs().path), Native(row.taskbar));
  }
}

TEST_F(FolderTest, EachConstructionReadsTheEnvironmentAfresh) {
  Set("Windows_NT", Native("/first"), Native("/p1"));
  AdirSystem32 before;
  AdirTaskBarProgs progs_before;
  Set(std::nullopt, Native("/second"), Native("/p2"));
  AdirSystem32 after;
  AdirTaskBarProgs progs_after;
  EXPECT_EQ(std::string(before.path), Native("/first/System32"));
  EXPECT_EQ(std::string(after.path), Native("/second/System"));
  EXPECT_EQ(std::string(progs_before.path), Native("/p1/Start Menu/Programs"));
  EXPECT_EQ(std::string(progs_after.path), Native("/second/Start Menu/Programs"));
}

TEST_F(FolderTest, FoldersJoinLikeAnyDirectory) {
  Set("Windows_NT", Native("/win"), std::nullopt);
  EXPECT_EQ(std::string((AdirSystem32() ^ "drivers").path), Native("/win/System32/drivers"));
}

}  // namespace
