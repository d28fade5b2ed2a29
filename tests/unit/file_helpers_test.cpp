// PathExists and ForceDelete against the simulated file system.
#include <string>

#include "services/file_helpers.h"
#include "sim_test.h"

namespace {

const DWORD kReadOnlyHiddenSystem = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

using FileHelpersTest = SimTest;

TEST_F(FileHelpersTest, PathExistsForFilesAndFolders) {
  sim::AddDrive('D', "\\Device\\HarddiskVolume2");
  sim::PutFile("D:\\Backup\\SAM", "hive", kReadOnlyHiddenSystem);
  struct Row {
    const char *name;
    std::string path;
    int16_t result;
  } rows[] = {
      {"folder", "D:\\Backup", 1},
      {"folder with trailing backslash", "D:\\Backup\\", 1},
      {"drive root", "D:\\", 1},
      {"read-only, hidden, system file", "D:\\Backup\\SAM", 1},
      {"name in other case", "d:\\backup\\sam", 1},
      {"missing file", "D:\\Backup\\SYSTEM", 0},
      {"missing folder", "D:\\Nope\\SAM", 0},
      {"unknown drive", "Q:\\", 0},
      {"empty path", "", 0},
      {"wildcards", "D:\\Backup\\*", 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(PathExists(row.path), row.result);
  }
}

// Cut to 260 characters, a longer path would test another file; it is not tested at all.
TEST_F(FileHelpersTest, PathExistsOfAnOverlongPathIsNotTested) {
  const std::string folder = "C:\\" + std::string(200, 'f');
  sim::MakeFolders(folder);
  const std::string longPath = folder + "\\" + std::string(70, 'n');
  EXPECT_EQ(PathExists(longPath), 0);
  EXPECT_EQ(sim::CallCount("GetFileAttributesA"), 0);
}

TEST_F(FileHelpersTest, ForceDeleteRemovesAFileOfAnyAttributes) {
  const DWORD attributes[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                              FILE_ATTRIBUTE_SYSTEM, kReadOnlyHiddenSystem | FILE_ATTRIBUTE_ARCHIVE};
  for (DWORD attribute : attributes) {
    SCOPED_TRACE(attribute);
    sim::PutFile("C:\\Backup\\SOFTWARE", "old hive", attribute);
    sim::PutFile("C:\\Backup\\SOFTWARE.bak", "neighbour");
    EXPECT_EQ(ForceDelete("C:\\Backup\\SOFTWARE"), 0);
    EXPECT_FALSE(sim::FileExists("C:\\Backup\\SOFTWARE"));
    EXPECT_EQ(sim::FileBytes("C:\\Backup\\SOFTWARE.bak"), "neighbour");
  }
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(FileHelpersTest, ForceDeleteOfAMissingPathTouchesNothing) {
  EXPECT_EQ(ForceDelete("C:\\Backup\\SOFTWARE"), 53);
  EXPECT_EQ(ForceDelete(""), 53);
  EXPECT_EQ(sim::CallCount("SetFileAttributesA"), 0);
  EXPECT_EQ(sim::CallCount("FindFirstFileA"), 0);
}

TEST_F(FileHelpersTest, ForceDeleteOfAFolderClearsItsAttributesOnly) {
  sim::PutFile("C:\\Backup\\SAM", "hive");
  ASSERT_TRUE(SetFileAttributesA("C:\\Backup", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ForceDelete("C:\\Backup"), 0);
  EXPECT_EQ(sim::FileAttributes("C:\\Backup"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(sim::FileBytes("C:\\Backup\\SAM"), "hive");
  EXPECT_EQ(sim::CallCount("DeleteFileA"), 0);
}

TEST_F(FileHelpersTest, ForceDeleteFailuresLeaveTheFile) {
  struct Row {
    const char *name;
    void (*arrange)();
    int16_t result;
    DWORD attributesAfter;
  } rows[] = {
      {"attributes cannot be changed", [] { sim::LockAttributes("C:\\Backup\\SAM"); }, 70,
       kReadOnlyHiddenSystem},
      {"open elsewhere without delete sharing",
       [] { sim::HoldOpen("C:\\Backup\\SAM", FILE_SHARE_READ | FILE_SHARE_WRITE); }, 70,
       FILE_ATTRIBUTE_NORMAL},
      {"folder refuses deletes", [] { sim::DenyWrites("C:\\Backup"); }, 70, kReadOnlyHiddenSystem},
      {"attribute change fails oddly", [] { sim::FailCall("SetFileAttributesA", ERROR_NOT_READY); }, 71,
       kReadOnlyHiddenSystem},
      {"file vanishes before the delete", [] { sim::FailCall("FindFirstFileA", ERROR_FILE_NOT_FOUND); },
       53, FILE_ATTRIBUTE_NORMAL},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::PutFile("C:\\Backup\\SAM", "hive", kReadOnlyHiddenSystem);
    row.arrange();
    EXPECT_EQ(ForceDelete("C:\\Backup\\SAM"), row.result);
    EXPECT_EQ(sim::FileBytes("C:\\Backup\\SAM"), "hive");
    EXPECT_EQ(sim::FileAttributes("C:\\Backup\\SAM"), row.attributesAfter);
  }
}

TEST_F(FileHelpersTest, ForceDeleteWhileOpenWithDeleteSharing) {
  sim::PutFile("C:\\Backup\\SAM", "hive");
  sim::HoldOpen("C:\\Backup\\SAM", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  EXPECT_EQ(ForceDelete("C:\\Backup\\SAM"), 0);
  EXPECT_FALSE(sim::FileExists("C:\\Backup\\SAM"));
}

}  // namespace
