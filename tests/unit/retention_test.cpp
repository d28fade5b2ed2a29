// Retention of dated backup sets: which sub-folders are sets, and that only the oldest sets beyond
// the number to keep go, file by file, while anything else below the folder stays as it was.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "services/hive_save.h"
#include "sim_test.h"
#include "services/fingerprint.h"
#include "workflows/backup_set.h"
#include "workflows/retention.h"

namespace {

const char kUser[] = "s-1-5-21-1-2-3-1000";

std::string Names(const std::vector<std::string> &names) {
  std::string text;
  for (const std::string &name : names) text += name + ";";
  return text;
}

class RetentionTest : public SimTest {
 protected:
  std::string hive;  // bytes of a real hive file

  void SetUp() override {
    SimTest::SetUp();
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u\\NTUSER.DAT");
    hive = HiveBytes();
  }

  std::string HiveBytes() {
    sim::MakeFolders("C:\\scratch");
    EXPECT_EQ(SaveHive(std::string("HKEY_USERS\\") + kUser, "C:\\scratch\\hive"), 0);
    return sim::FileBytes("C:\\scratch\\hive");
  }

  void PutSet(const std::string &folder, bool withUserHive = true) {
    for (const char *name : {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"}) {
      sim::PutFile(folder + "\\" + name, sim::HiveSnapshot(std::string("HKEY_LOCAL_MACHINE\\") + name));
    }
    sim::PutFile(folder + "\\ConsoleBackup.bat", "Set allowallpaths = true\r\n");
    if (withUserHive) sim::PutFile(folder + "\\" + kUser, hive);
    // As a backup leaves it: with the fingerprint of what it wrote.
    std::vector<std::string> written = {"SOFTWARE", "SYSTEM", "SECURITY", "SAM", "ConsoleBackup.bat"};
    if (withUserHive) written.push_back(kUser);
    FingerprintError error;
    EXPECT_TRUE(WriteSetFingerprint(folder, written, &error)) << error.code;
  }
};

TEST_F(RetentionTest, DateFolderNamesAreExactlyTheCheckBoxsRealDates) {
  struct Row {
    const char *name;
    int key;
  };
  const Row rows[] = {
      {"12-08-2026", 20261208}, {"02-29-2028", 20280229}, {"02-29-2000", 20000229}, {"01-31-2027", 20270131},
      {"02-29-2027", 0},        {"02-29-2100", 0},        {"04-31-2026", 0},        {"13-01-2026", 0},
      {"00-10-2026", 0},        {"12-00-2026", 0},        {"2026-12-08", 0},        {"12-8-2026", 0},
      {"12-08-26", 0},          {"12_08_2026", 0},        {"12-08-2026 ", 0},       {"12-08-2026.", 0},
      {"12-08-2026x", 0},       {"+1-08-2026", 0},        {"12-08-0000", 0},        {"", 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DateFolderKey(row.name), row.key);
  }
}

TEST_F(RetentionTest, OnlyTheOldestWholeSetsBeyondTheNumberToKeepGo) {
  struct Row {
    const char *name;
    int keep;
    std::vector<std::string> sets;          // whole sets written, each with a user hive
    std::vector<std::string> otherFiles;    // files that make a folder something else
    std::vector<std::string> otherFolders;  // likewise, folders
    std::vector<std::string> missing;       // set files taken away again
    std::vector<std::string> left;          // what D:\B holds afterwards
  };
  const std::string today = "12-08-2026";
  const Row rows[] = {
      {"keeps the newest two of four, by date and not by name", 2,
       {"12-08-2026", "01-15-2026", "11-30-2025", "12-01-2026"}, {}, {}, {}, {"12-01-2026", "12-08-2026"}},
      {"fewer sets than kept: nothing goes", 5, {"12-08-2026", "12-01-2026"}, {}, {}, {},
       {"12-01-2026", "12-08-2026"}},
      {"keep 1: only the current set stays", 1, {"12-08-2026", "12-01-2026", "11-01-2026"}, {}, {}, {},
       {"12-08-2026"}},
      {"a future-dated set does not push out the current one", 1, {"12-08-2026", "01-01-2027"}, {}, {}, {},
       {"12-08-2026"}},
      {"a dated folder with a foreign file stays and is not counted", 2, {"12-08-2026", "12-07-2026", "12-06-2026"},
       {"12-05-2026\\notes.txt", "12-07-2026\\notes.txt"}, {}, {},
       {"12-05-2026", "12-06-2026", "12-07-2026", "12-08-2026"}},
      {"names that are no real date stay", 1, {"12-08-2026", "2026-12-01", "12-01-2026x", "02-30-2026"}, {}, {}, {},
       {"02-30-2026", "12-01-2026x", "12-08-2026", "2026-12-01"}},
      {"a dated file is no set", 1, {"12-08-2026"}, {"12-01-2026"}, {}, {}, {"12-01-2026", "12-08-2026"}},
      {"a set with a sub-folder stays", 1, {"12-08-2026", "12-01-2026"}, {}, {"12-01-2026\\extra"}, {},
       {"12-01-2026", "12-08-2026"}},
      {"a user hive file that is no hive stays", 1, {"12-08-2026", "12-01-2026"}, {"12-01-2026\\s-1-5-21-9"}, {}, {},
       {"12-01-2026", "12-08-2026"}},
      {"a save's temporary file is no set file", 1, {"12-08-2026", "12-01-2026"}, {"12-01-2026\\~1a2c.0"}, {}, {},
       {"12-01-2026", "12-08-2026"}},
      {"a set whose fingerprint is damaged is no set", 1, {"12-08-2026", "12-01-2026"},
       {"12-01-2026\\SHA256SUMS"}, {}, {}, {"12-01-2026", "12-08-2026"}},
      {"a set without SAM is no set", 1, {"12-08-2026", "12-01-2026"}, {}, {}, {"12-01-2026\\SAM"},
       {"12-01-2026", "12-08-2026"}},
      {"files and folders beside the sets stay", 1, {"12-08-2026", "12-01-2026"}, {"readme.txt"}, {"Archiv"}, {},
       {"12-08-2026", "Archiv", "readme.txt"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    sim::AddDrive('D', "\\Device\\HarddiskVolume2");
    for (const std::string &set : row.sets) PutSet("D:\\B\\" + set);
    for (const std::string &file : row.otherFiles) sim::PutFile("D:\\B\\" + file, "x");
    for (const std::string &folder : row.otherFolders) sim::MakeFolders("D:\\B\\" + folder);
    for (const std::string &file : row.missing) ASSERT_TRUE(DeleteFileA(("D:\\B\\" + file).c_str()));
    std::vector<std::string> before;
    for (const std::string &name : row.left) {
      const std::string path = "D:\\B\\" + name;
      before.push_back(sim::FolderExists(path) ? Names(sim::ListFolder(path)) : sim::FileBytes(path));
    }
    const std::vector<std::string> removed = RemoveOldSets("D:\\B", row.keep, today).removed;
    EXPECT_EQ(sim::ListFolder("D:\\B"), row.left);
    std::vector<std::string> gone;
    for (const std::string &set : row.sets) {
      if (std::find(row.left.begin(), row.left.end(), set) == row.left.end()) gone.push_back("D:\\B\\" + set);
    }
    std::sort(gone.begin(), gone.end());
    std::vector<std::string> removedSorted = removed;
    std::sort(removedSorted.begin(), removedSorted.end());
    EXPECT_EQ(removedSorted, gone) << "the folders reported as removed";
    for (size_t i = 0; i < row.left.size(); i++) {
      const std::string path = "D:\\B\\" + row.left[i];
      EXPECT_EQ(sim::FolderExists(path) ? Names(sim::ListFolder(path)) : sim::FileBytes(path), before[i])
          << row.left[i] << " is left as it was";
    }
    EXPECT_EQ(sim::OpenHandleCount(), 0);
  }
}

// A folder is a set only when every file passes the restore's check, and a set goes whole or
// leaves a renamed folder that the next run finishes; what another run holds is not touched.
TEST_F(RetentionTest, SetsGoWholeOrLeaveARenamedFolderThatTheNextRunFinishes) {
  struct Row {
    const char *name;
    std::function<void(const std::string &old)> setup;  // on D:\B\12-01-2026, a whole set
    std::vector<std::string> left;                        // what D:\B holds afterwards
    std::vector<std::string> removed;                     // as RemoveOldSets reports them
    std::string leftovers;                                // "file code;" each, then "kept folder code;"
  };
  const std::string old = "D:\\B\\12-01-2026";
  const std::string gone = "D:\\B\\12-01-2026.wird-entfernt";
  const Row rows[] = {
      {"a whole set goes", [](const std::string &) {}, {"12-08-2026"}, {old}, ""},
      {"a set without its fingerprint goes", [](const std::string &o) { DeleteFileA((o + "\\SHA256SUMS").c_str()); },
       {"12-08-2026"}, {old}, ""},
      {"a hive that differs from the fingerprint is no set",
       [](const std::string &o) { sim::PutFile(o + "\\SECURITY", sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SECURITY") + std::string(4096, '\0')); },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"a cut hive of a user not logged on, in a set without a fingerprint, is no set",
       [&](const std::string &o) {
         DeleteFileA((o + "\\SHA256SUMS").c_str());
         sim::PutFile(o + "\\s-1-5-21-9-9-9-1000", hive.substr(0, hive.size() - 1));
       },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"a text note as SYSTEM is no set", [](const std::string &o) { sim::PutFile(o + "\\SYSTEM", "Notiz"); },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"an empty SOFTWARE is no set", [](const std::string &o) { sim::PutFile(o + "\\SOFTWARE", ""); },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"a link among the files is no set", [](const std::string &o) { sim::MakeReparsePoint(o + "\\" + kUser); },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"a set that another run holds stays",
       [](const std::string &o) {
         sim::PutFile(o + "\\~brovink.lock", "");
         sim::HoldOpen(o + "\\~brovink.lock", 0);
       },
       {"12-01-2026", "12-08-2026"}, {}, ""},
      {"a file held open keeps the folder from its rename: the set stays whole",
       [](const std::string &o) { sim::HoldOpen(o + "\\ConsoleBackup.bat", FILE_SHARE_READ); }, {"12-01-2026", "12-08-2026"},
       {}, "kept D:\\B\\12-01-2026 5;"},
      {"a read-only file stays in the renamed folder",
       [](const std::string &o) { SetFileAttributesA((o + "\\ConsoleBackup.bat").c_str(), FILE_ATTRIBUTE_READONLY); },
       {"12-01-2026.wird-entfernt", "12-08-2026"}, {}, "D:\\B\\12-01-2026.wird-entfernt\\ConsoleBackup.bat 5;"},
      {"an earlier run's leftover is finished",
       [&](const std::string &o) {
         sim::PutFile(gone + "\\SAM", sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
         sim::PutFile(gone + "\\" + kUser, hive);
         DeleteFileA((o + "\\SAM").c_str());  // and this one is no set
       },
       {"12-01-2026", "12-08-2026"}, {gone}, ""},
      {"a leftover that holds something else stays, and so does the set its name would take",
       [&](const std::string &) {
         sim::PutFile(gone + "\\SAM", sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SAM"));
         sim::PutFile(gone + "\\Notizen.txt", "meine");
       },
       {"12-01-2026", "12-01-2026.wird-entfernt", "12-08-2026"}, {},
       "D:\\B\\12-01-2026.wird-entfernt\\Notizen.txt 145;kept D:\\B\\12-01-2026 183;"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    sim::AddDrive('D', "\\Device\\HarddiskVolume2");
    sim::LoadUserHive(kUser, "\\Device\\HarddiskVolume1\\Users\\u\\NTUSER.DAT");
    hive = HiveBytes();
    PutSet("D:\\B\\12-08-2026");
    PutSet(old);
    row.setup(old);
    const RetentionResult result = RemoveOldSets("D:\\B", 1, "12-08-2026");
    EXPECT_EQ(sim::ListFolder("D:\\B"), row.left);
    EXPECT_EQ(result.removed, row.removed);
    std::string leftovers;
    for (const RetentionLeftover &leftover : result.leftovers) {
      leftovers += leftover.file + " " + std::to_string(leftover.code) + ";";
    }
    for (const RetentionLeftover &kept : result.kept) leftovers += "kept " + kept.folder + " " + std::to_string(kept.code) + ";";
    EXPECT_EQ(leftovers, row.leftovers);
    if (sim::FolderExists(gone) && !sim::FileExists(gone + "\\Notizen.txt")) {
      EXPECT_EQ(sim::ListFolder(gone).size(), 1u) << "the rest of the set went";
    }
    EXPECT_EQ(sim::ListFolder("D:\\B\\12-08-2026").size(), 7u) << "the current set is whole";
    EXPECT_EQ(sim::OpenHandleCount(), 0);
  }
}

}  // namespace
