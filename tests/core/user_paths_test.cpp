// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the documents folder and settings file lookup under a temporary home.
#include "common/user_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/test_util.h"

namespace tarn {
namespace {

using testing::TempDir;
using testing::WriteAll;

TEST(UserPaths, DocumentsFolderFromXdgUserDirs) {
  TempDir home;
  const std::string h = home.path().string();
  ASSERT_EQ(setenv("HOME", h.c_str(), 1), 0);
  ASSERT_EQ(unsetenv("XDG_CONFIG_HOME"), 0);

  EXPECT_EQ(UserDocumentsDir(), h + "/Documents");
  EXPECT_EQ(UserCfgFile(), h + "/Documents/Tarn/TARN.CFG");

  std::filesystem::create_directories(home.path() / ".config");
  WriteAll(
      h + "/.config/user-dirs.dirs",
      "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente/\"\n");
  EXPECT_EQ(UserDocumentsDir(), h + "/Dokumente");

  // XDG_CONFIG_HOME moves the file; an absolute path is taken as it stands.
  std::filesystem::create_directories(home.path() / "cfg");
  WriteAll(h + "/cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs\"\r\n");
  ASSERT_EQ(setenv("XDG_CONFIG_HOME", (h + "/cfg").c_str(), 1), 0);
  EXPECT_EQ(UserCfgFile(), "/srv/docs/Tarn/TARN.CFG");

  // A relative path is unusable: the default stands.
  WriteAll(h + "/cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"docs\"\n");
  EXPECT_EQ(UserDocumentsDir(), h + "/Documents");
  ASSERT_EQ(unsetenv("XDG_CONFIG_HOME"), 0);
}

}  // namespace
}  // namespace tarn
