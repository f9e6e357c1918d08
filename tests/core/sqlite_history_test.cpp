// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the SQLite history file itself: files it must refuse without touching, a read-only
// file, a killed import, and files of earlier schema versions.
#include "history/sqlite/sqlite_history.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/instrument_text.h"
#include "core/test_util.h"
#include "history/history_store.h"
#include "history/sqlite/sqlite_schema.h"

namespace tarn {
namespace {

using testing::At;
using testing::NembraTag;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

std::string SqlScalar(const std::string& path, const std::string& query) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_exec(
        db, query.c_str(),
        [](void* o, int, char** v, char**) {
          *static_cast<std::string*>(o) = v[0] ? v[0] : "";
          return 0;
        },
        &out, nullptr);
  }
  sqlite3_close(db);
  return out;
}

bool ExecSql(const std::string& path, const std::string& text) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// A history with one probe of `n` readings.
std::string MakeHistory(const TempDir& dir, int n = 100) {
  const std::string path = dir.file("history.sqlite");
  WriteAll(dir.file("seed.nid"),
           NembraTag("SEED", "1", false, At(2025, 1, 1), n, 60, [](int i) { return i; }));
  std::string error;
  auto store = OpenHistory(path, &error);
  EXPECT_TRUE(store && store->Import(dir.file("seed.nid"), {}).status.ok) << error;
  return path;
}

TEST(SqliteHistory, RefusesFilesItCannotTrustAndLeavesThemAlone) {
  struct Case {
    const char* name;
    std::function<void(const TempDir&, const std::string&)> make;
    const char* message;
  };
  const Case cases[] = {
      {"text", [](const TempDir&, const std::string& p) { WriteAll(p, std::string(5000, 'x')); },
       "is not a Tarn history (it is not an SQLite database)"},
      {"other program",
       [](const TempDir&, const std::string& p) { ExecSql(p, "CREATE TABLE t(a)"); },
       "is an SQLite database of another program"},
      {"newer",
       [](const TempDir& d, const std::string& p) {
         std::filesystem::rename(MakeHistory(d), p);
         ExecSql(p, "PRAGMA user_version = 99");
       },
       "written by a newer version of Tarn (schema 99"},
      {"damaged",
       [](const TempDir& d, const std::string& p) {
         std::filesystem::rename(MakeHistory(d), p);
         std::string bytes = ReadAll(p);
         // The schema lives on the first page, after the 100-byte file header.
         for (std::size_t i = 100; i < 16384; ++i) bytes[i] = static_cast<char>(i * 7);
         WriteAll(p, bytes);
       },
       "is damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("bad.sqlite");
    c.make(dir, path);
    const std::string before = ReadAll(path);
    std::string error;
    EXPECT_EQ(OpenHistory(path, &error), nullptr);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(ReadAll(path), before);
  }
}

TEST(SqliteHistory, ReadOnlyFileReadsButRefusesChanges) {
  TempDir dir;
  const std::string path = MakeHistory(dir);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  std::string error;
  auto store = OpenHistory(path, &error);
  ASSERT_NE(store, nullptr) << error;
  EXPECT_TRUE(store->ReadOnly());
  const auto probes = store->ListProbes(30);
  ASSERT_EQ(probes.size(), 1u);
  EXPECT_EQ(store->ReadRange(probes[0].id, INT64_MIN, INT64_MAX).size(), 100u);
  const ImportResult r = store->Import(dir.file("seed.nid"), {});
  EXPECT_FALSE(r.status.ok);
  EXPECT_NE(r.status.message.find("read-only history"), std::string::npos) << r.status.message;
  EXPECT_FALSE(store->SetLimits(0, {}).ok);
}

// Runs history_reader (built beside this test) as the user nobody; its output.
std::string ReadAsNobody(const TempDir& dir, const std::string& location, const std::string& file) {
  // The build tree may be closed to other users: the reader runs from the test's own folder.
  const std::string tool = dir.file("history_reader");
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  std::filesystem::copy_file(self.parent_path() / "history_reader", tool,
                             std::filesystem::copy_options::overwrite_existing);
  chmod(tool.c_str(), 0755);
  const std::string command =
      "runuser -u nobody -- " + tool + " '" + location + "' '" + file + "' 2>&1";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SqliteHistory, AReaderWhoMayNotWriteLeavesNothingInTheWritersWay) {
  if (geteuid() != 0 || getpwnam("nobody") == nullptr) {
    GTEST_SKIP() << "runs the reader as the user nobody, which needs root";
  }
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  const std::string next = dir.file("next.nid");
  WriteAll(next, NembraTag("NEXT", "1", false, At(2025, 2, 1), 10, 60, [](int i) { return i; }));
  chmod(next.c_str(), 0644);
  // A shared folder everyone may write, a history only its owner may write, and a folder
  // nobody but its owner may write (as on read-only media).
  const struct {
    const char* folder;
    mode_t mode;
  } cases[] = {{"shared", 01777}, {"closed", 0755}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string folder = dir.file(c.folder);
    std::filesystem::create_directory(folder);
    TempDir scratch;
    const std::string seeded = MakeHistory(scratch);
    const std::string path = folder + "/history.sqlite";
    std::filesystem::copy_file(seeded, path);
    chmod(path.c_str(), 0644);
    chmod(folder.c_str(), c.mode);

    // The owner is away: the reader lists everything and may not import.
    std::string out = ReadAsNobody(dir, path, next);
    EXPECT_NE(out.find("probes 1 readings 100 read-only 1"), std::string::npos) << out;
    EXPECT_NE(out.find("import failed: The history " + path + " is a read-only history"),
              std::string::npos)
        << out;
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"history.sqlite"});

    // The owner works on it meanwhile: the reader sees what is committed, and the owner's next
    // import is not blocked by anything the reader left.
    std::string error;
    auto owner = OpenHistory(path, &error);
    ASSERT_NE(owner, nullptr) << error;
    ASSERT_TRUE(owner->Import(next, {}).status.ok);
    out = ReadAsNobody(dir, path, next);
    EXPECT_NE(out.find("probes 2 readings 110 read-only 1"), std::string::npos) << out;
    WriteAll(dir.file("more.nid"),
             NembraTag("MORE", "1", false, At(2025, 3, 1), 5, 60, [](int i) { return i; }));
    const ImportResult r = owner->Import(dir.file("more.nid"), {});
    EXPECT_TRUE(r.status.ok) << r.status.message;
    owner.reset();
    out = ReadAsNobody(dir, path, next);
    EXPECT_NE(out.find("probes 3 readings 115 read-only 1"), std::string::npos) << out;
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"history.sqlite"});
  }
}

TEST(SqliteHistory, KilledImportLeavesTheHistoryAsItWas) {
  TempDir dir;
  const std::string path = MakeHistory(dir);
  const std::string big = dir.file("big.nid");
  std::string text;
  for (int t = 0; t < 20; ++t) {
    text += NembraTag("T" + std::to_string(t), "1", false, At(2025, 6, 1), 20000, 60,
                      [](int i) { return i * 0.01; });
  }
  WriteAll(big, text);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto store = OpenHistory(path, &error);
    ImportControl control;
    bool told = false;
    // Halfway through the file: tell the parent, then keep importing until killed.
    control.progress = [&](int64_t done) {
      if (!told && done > 100000) {
        told = true;
        (void)!write(ready[1], "x", 1);
      }
    };
    if (store) store->Import(big, control);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  close(ready[1]);
  ASSERT_TRUE(WIFSIGNALED(status));

  std::string error;
  auto store = OpenHistory(path, &error);
  ASSERT_NE(store, nullptr) << error;
  const auto probes = store->ListProbes(0);
  ASSERT_EQ(probes.size(), 1u);
  EXPECT_EQ(probes[0].count, 100);
  EXPECT_EQ(SqlScalar(path, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(SqlScalar(path, "SELECT count(*) FROM reading"), "100");
}

// Files written by each earlier schema version open (and upgrade) with their readings intact.
TEST(SqliteHistory, OpensHistoriesOfEveryEarlierSchemaVersion) {
  const char* source = std::getenv("TARN_SOURCE_DIR");
  // Run by hand, the build names the source tree.
  const std::string root = source != nullptr && *source != '\0' ? std::string(source)
                                                                : std::string(TARN_TEST_SOURCE_DIR);
  for (int version = 1; version <= 5; ++version) {
    SCOPED_TRACE(version);
    TempDir dir;
    const std::string path = dir.file("old.sqlite");
    const std::string dump =
        ReadAll(root + "/tests/history/history_v" + std::to_string(version) + ".sql");
    ASSERT_FALSE(dump.empty());
    ASSERT_TRUE(ExecSql(path, dump));
    std::string error;
    auto store = OpenHistory(path, &error);
    ASSERT_NE(store, nullptr) << error;
    const auto probes = store->ListProbes(0);
    // Version 4's file (and 5's, made from it) holds a second element of the first probe's tag;
    // version 5's has that point renamed.
    ASSERT_EQ(probes.size(), version >= 4 ? 3u : 2u);
    EXPECT_EQ(probes[0].key.tag, "CDU-101-ER");
    // Every probe is at a point, as an import would have placed it.
    const auto points = store->ListPoints(0);
    ASSERT_EQ(points.size(), 2u) << store->LastError().message;
    EXPECT_EQ(points[0].path, version == 5 ? "North/CDU-101/Inlet" : "Unassigned/CDU-101-ER");
    EXPECT_EQ(points[1].path, "Unassigned/CW-501-LPR");
    ASSERT_EQ(points[0].probes.size(), version >= 4 ? 2u : 1u);
    EXPECT_EQ(points[0].probes[0].key.serial, "E1");
    // E2 goes on from E1's last 0.2439: 0.02 ... 0.12 adds 0.10.
    EXPECT_NEAR(points[0].value, version >= 4 ? 0.3439 : 0.2439, 1e-4);
    EXPECT_EQ(probes[0].count, 3);
    EXPECT_NEAR(store->ReadRange(probes[0].id, INT64_MIN, INT64_MAX).back().value, 0.2439, 1e-4);
    EXPECT_TRUE(probes[1].own_limits);
    EXPECT_EQ(probes[1].limits.rate_alarm, 7.0);
    EXPECT_EQ(store->ProbeFiles(probes[0].id).size(), 1u);
    EXPECT_EQ(SqlScalar(path, "PRAGMA user_version"), std::to_string(kSqliteSchemaVersion));
    EXPECT_EQ(store->ListChanges().size(), version == 5 ? 1u : 0u);
    // Events go on its points.
    int64_t event = 0;
    ASSERT_TRUE(
        store->AddEvent({0, At(2025, 2, 3, 12), points[0].path, EventKind::kOther, ""}, &event));
    EXPECT_EQ(store->ListEvents({}).size(), 1u);
    EXPECT_TRUE(store->LastError());
    // Window sums were built from the readings: a stored window (30 days) and one summed from
    // the hours (14 days) both span every reading, so they agree with the whole history's.
    for (const int32_t days : {30, 14}) {
      const auto windowed = store->ListProbes(days);
      ASSERT_TRUE(windowed[0].rate && probes[0].rate) << days;
      EXPECT_NEAR(*windowed[0].rate, *probes[0].rate, 1e-9 * std::abs(*probes[0].rate)) << days;
      ASSERT_TRUE(windowed[1].rate && probes[1].rate) << days;
      EXPECT_NEAR(*windowed[1].rate, *probes[1].rate, 1e-12) << days;
    }
    // The hourly figures were built from the readings already there.
    const auto whole = store->ReadDecimated(probes[0].id, At(2025, 2, 3), At(2025, 2, 4), 1);
    ASSERT_EQ(whole.size(), 2u);  // first = lowest, last = highest
    EXPECT_EQ(whole[0].value, 0.0);
    EXPECT_NEAR(whole[1].value, 0.2439, 1e-4);
    EXPECT_EQ(store->ReadDecimated(probes[1].id, At(2025, 3, 10), At(2025, 3, 11), 1).size(), 2u);
    // And it takes new readings.
    WriteAll(dir.file("new.nid"),
             NembraTag("CDU-101-ER", "E1", true, At(2025, 3, 1), 2, 60, [](int) { return 1.0; }));
    EXPECT_EQ(store->Import(dir.file("new.nid"), {}).added, 2);
  }
}

}  // namespace
}  // namespace tarn
