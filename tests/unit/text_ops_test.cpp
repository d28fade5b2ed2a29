// The shared text and file operations against the simulated machine.
#include <string>
#include <vector>

#include "services/ansi_path.h"
#include "services/file_helpers.h"
#include "services/text_ops.h"
#include "sim_test.h"

namespace {

using TextOpsTest = SimTest;

// ---- error numbers -----------------------------------------------------------------------------
TEST(ErrorNumber, MapsTheSystemCodes) {
  struct Row {
    DWORD code;
    int number;
  } rows[] = {
      // code: number            reason
      {2, 53},   {18, 53},      // not found, no more files
      {3, 76},                  // path not found
      {5, 70},   {19, 70},  {32, 70}, {33, 70}, {36, 70},  // denied, write-protected, sharing, lock
      {1, 75},   {16, 75},  {35, 75}, {37, 75},
      {4, 67},
      {6, 51},   {11, 51},  {12, 51}, {13, 51}, {22, 51}, {24, 51},
      {8, 7},    {14, 7},
      {15, 68},  {20, 68},
      {17, 74},
      {21, 71},
      {23, 72},  {25, 72},  {31, 72}, {34, 72},
      {38, 62},
      {39, 61},  {112, 61},     // disk full
      {7, 241},  {9, 241},  {10, 241},
      {183, 75}, {206, 75}, {123, 75}, {0, 75},  // unlisted codes
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_EQ(ErrorNumber(row.code), row.number);
  }
}

// ---- file delete -------------------------------------------------------------------------------
TEST_F(TextOpsTest, DeleteOfSingleFiles) {
  sim::PutFile("C:\\Temp\\plain", "p");
  sim::PutFile("C:\\Temp\\ro", "r", FILE_ATTRIBUTE_READONLY);
  sim::PutFile("C:\\Temp\\hidden", "h", FILE_ATTRIBUTE_HIDDEN);
  sim::PutFile("C:\\Temp\\system", "s", FILE_ATTRIBUTE_SYSTEM);
  struct Row {
    const char *name;
    const char *path;
    int result;
    bool stays;
  } rows[] = {
      {"plain file", "C:\\Temp\\plain", 0, false},
      {"read-only file", "C:\\Temp\\ro", 70, true},
      {"hidden file is passed over", "C:\\Temp\\hidden", 0, true},
      {"system file is passed over", "C:\\Temp\\system", 0, true},
      {"missing file", "C:\\Temp\\none", 53, false},
      {"missing folder", "C:\\None\\x", 76, false},
      {"empty name does nothing", "", 0, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DeleteFiles(row.path), row.result);
    EXPECT_EQ(sim::FileExists(row.path), row.stays);
  }
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// Plain files go in the search's order until the first that cannot be deleted.
TEST_F(TextOpsTest, DeleteOfAFolderStopsAtTheFirstFailure) {
  sim::PutFile("C:\\Temp\\a", "");
  sim::PutFile("C:\\Temp\\b.log", "", FILE_ATTRIBUTE_HIDDEN);
  sim::PutFile("C:\\Temp\\c", "", FILE_ATTRIBUTE_READONLY);
  sim::PutFile("C:\\Temp\\d", "");
  sim::PutFile("C:\\Temp\\sub\\e", "");
  EXPECT_EQ(DeleteFiles("C:\\Temp\\"), 70);
  EXPECT_EQ(sim::ListFolder("C:\\Temp"), (std::vector<std::string>{"b.log", "c", "d", "sub"}));
  EXPECT_TRUE(sim::FileExists("C:\\Temp\\sub\\e"));
  EXPECT_EQ(sim::CallLog(), (std::vector<std::string>{"DeleteFileA C:\\Temp\\a", "DeleteFileA C:\\Temp\\c"}));
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(TextOpsTest, DeleteByPattern) {
  sim::AddDrive('D', "\\Device\\HarddiskVolume2");
  sim::PutFile("D:\\x.tmp", "");
  sim::PutFile("D:\\y.TMP", "");
  sim::PutFile("D:\\z.bak", "");
  EXPECT_EQ(DeleteFiles("D:\\*.tmp"), 0);
  EXPECT_EQ(sim::ListFolder("D:\\"), std::vector<std::string>{"z.bak"});
  EXPECT_EQ(DeleteFiles("D:"), 0) << "a drive name stands for all its files";
  EXPECT_EQ(sim::ListFolder("D:\\"), std::vector<std::string>{});
  EXPECT_EQ(DeleteFiles("D:\\*.tmp"), 53);
}

TEST_F(TextOpsTest, DeleteOfAFileOpenElsewhere) {
  sim::PutFile("C:\\Temp\\a", "");
  sim::HoldOpen("C:\\Temp\\a", FILE_SHARE_READ);
  EXPECT_EQ(DeleteFiles("C:\\Temp\\a"), 70);
  EXPECT_TRUE(sim::FileExists("C:\\Temp\\a"));
}

// ---- copy, folder creation, attribute change ---------------------------------------------------
TEST_F(TextOpsTest, CopyReplacesAnExistingTarget) {
  sim::PutFile("C:\\Temp\\new", "new bytes");
  sim::PutFile("C:\\Temp\\old", "older and longer bytes");
  EXPECT_EQ(CopyFileOver("C:\\Temp\\new", "C:\\Temp\\old"), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\old"), "new bytes");
  EXPECT_EQ(CopyFileOver("C:\\Temp\\none", "C:\\Temp\\old"), 53);
  EXPECT_EQ(CopyFileOver("C:\\Temp\\new", "C:\\None\\old"), 76);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\old"), "new bytes");
}

TEST_F(TextOpsTest, FolderCreationIsOneLevel) {
  sim::PutFile("C:\\Temp\\keep", "k");
  EXPECT_EQ(CreateFolder("C:\\Temp"), 75);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\keep"), "k");
  EXPECT_EQ(CreateFolder("C:\\Temp\\a\\b"), 76);
  EXPECT_FALSE(sim::FolderExists("C:\\Temp\\a"));
  EXPECT_EQ(CreateFolder("C:\\Temp\\a"), 0);
  EXPECT_TRUE(sim::FolderExists("C:\\Temp\\a"));
}

TEST_F(TextOpsTest, AttributeChangePassesOnlyTheFourBits) {
  sim::PutFile("C:\\Temp\\f", "", FILE_ATTRIBUTE_HIDDEN);
  struct Row {
    const char *name;
    const char *path;
    DWORD requested;
    int result;
    DWORD after;
  } rows[] = {
      {"normal clears all", "C:\\Temp\\f", FILE_ATTRIBUTE_NORMAL, 0, FILE_ATTRIBUTE_NORMAL},
      {"four bits kept, others dropped", "C:\\Temp\\f", 0x3F | FILE_ATTRIBUTE_NORMAL, 0, 0x27},
      {"wildcards change nothing", "C:\\Temp\\?", 0, 64, 0x27},
      {"missing file", "C:\\Temp\\g", 0, 53, 0x27},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SetAttributes(row.path, row.requested), row.result);
    EXPECT_EQ(sim::FileAttributes("C:\\Temp\\f"), row.after);
  }
  const auto &passed = sim::AttributeRequests();
  ASSERT_EQ(passed.size(), 3u) << "the wildcard name is not passed on";
  EXPECT_EQ(passed[0].attributes, 0u) << "normal passes 0";
  EXPECT_EQ(passed[1].attributes, 0x27u);
}

// A cut path would name another file: one that does not fit is not handed to the system. The
// files that the cut names would have named keep their bytes.
TEST_F(TextOpsTest, OverlongPathsAreNotCut) {
  const std::string folder = "C:\\" + std::string(240, 'f');
  const std::string name255 = folder + "\\" + std::string(11, 'n');
  const std::string name256 = name255 + "n";
  const std::string name257 = name256 + "n";
  sim::PutFile(folder + "\\x", "x");
  sim::PutFile(name255, "keep 255", FILE_ATTRIBUTE_HIDDEN);
  sim::PutFile(name256, "keep 256");
  TextFile file;
  EXPECT_EQ(DeleteFiles(name257), 75);
  EXPECT_EQ(CopyFileOver(folder + "\\x", name257), 75);
  EXPECT_EQ(CopyFileOver(name257, folder + "\\x"), 75);
  EXPECT_EQ(CreateFolder(name256), 75);
  EXPECT_EQ(SetAttributes(name256, 0), 75);
  EXPECT_EQ(TextFileOpen(file, name256), 75);
  for (const char *api : {"FindFirstFileA", "CopyFileA", "CreateDirectoryA", "SetFileAttributesA", "CreateFileA"}) {
    EXPECT_EQ(sim::CallCount(api), 0) << api;
  }
  EXPECT_EQ(sim::FileBytes(name255), "keep 255");
  EXPECT_EQ(sim::FileAttributes(name255), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(sim::FileBytes(name256), "keep 256");
  EXPECT_EQ(file.handle, INVALID_HANDLE_VALUE);
}

// ---- text file ---------------------------------------------------------------------------------
TEST_F(TextOpsTest, TextFileReplacesAnOlderLongerFile) {
  sim::PutFile("C:\\Temp\\s.bat", "a much longer older script\r\nsecond line\r\n");
  TextFile file;
  ASSERT_EQ(TextFileOpen(file, "C:\\Temp\\s.bat"), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\s.bat"), "") << "emptied at the open";
  EXPECT_EQ(TextFileWriteLine(file, "läuft"), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\s.bat"), "l\xE4uft\r\n") << "written at once";
  EXPECT_EQ(TextFileOpen(file, "C:\\Temp\\other.bat"), 55);
  EXPECT_EQ(TextFileWriteLine(file, ""), 0);
  EXPECT_EQ(TextFileClose(file), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\s.bat"), "l\xE4uft\r\n\r\n");
  EXPECT_EQ(file.handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::OpenHandleCount(), 0);
  EXPECT_FALSE(sim::FileExists("C:\\Temp\\other.bat"));
}

TEST_F(TextOpsTest, TextFileIsHeldWithoutSharing) {
  TextFile file;
  ASSERT_EQ(TextFileOpen(file, "C:\\Temp\\s.bat"), 76);
  sim::MakeFolders("C:\\Temp");
  ASSERT_EQ(TextFileOpen(file, "C:\\Temp\\s.bat"), 0);
  EXPECT_EQ(CopyFileOver("C:\\Temp\\s.bat", "C:\\Temp\\copy"), 70);
  TextFile second;
  EXPECT_EQ(TextFileOpen(second, "C:\\Temp\\S.BAT"), 70);
  EXPECT_EQ(TextFileClose(file), 0);
  EXPECT_EQ(CopyFileOver("C:\\Temp\\s.bat", "C:\\Temp\\copy"), 0);
}

TEST_F(TextOpsTest, TextFileThatCouldNotBeOpened) {
  sim::PutFile("C:\\Temp\\s.bat", "old script");
  sim::HoldOpen("C:\\Temp\\s.bat", FILE_SHARE_READ);
  TextFile file;
  EXPECT_EQ(TextFileOpen(file, "C:\\Temp\\s.bat"), 70);
  EXPECT_EQ(TextFileWriteLine(file, "line"), 52);
  EXPECT_EQ(TextFileClose(file), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\s.bat"), "old script");
  EXPECT_EQ(TextFileOpen(file, "C:\\Temp\\*.bat"), 64);
  EXPECT_EQ(TextFileOpen(file, ""), 64);
  EXPECT_EQ(sim::CallCount("WriteFile"), 0);
}

TEST_F(TextOpsTest, TextFileLineThatFailsIsLostAndTheNextIsWritten) {
  TextFile file;
  ASSERT_EQ(TextFileOpen(file, "C:\\Users\\admin\\s.bat"), 0);
  sim::FailCall("WriteFile", ERROR_DISK_FULL);
  EXPECT_EQ(TextFileWriteLine(file, "lost"), 61);
  EXPECT_EQ(TextFileWriteLine(file, "kept"), 0);
  EXPECT_EQ(TextFileClose(file), 0);
  EXPECT_EQ(sim::FileBytes("C:\\Users\\admin\\s.bat"), "kept\r\n");
}

// ---- current folder, environment, date ---------------------------------------------------------
TEST_F(TextOpsTest, CurrentFolder) {
  std::string folder;
  EXPECT_TRUE(ExactCurrentFolder(&folder));
  EXPECT_EQ(folder, "C:\\Users\\admin");
  sim::SetCurrentDirectory("C:\\");
  EXPECT_TRUE(ExactCurrentFolder(&folder));
  EXPECT_EQ(folder, "C:\\");
  sim::FailCall("GetCurrentDirectoryW", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(ExactCurrentFolder(&folder));
  EXPECT_EQ(folder, "");
}

TEST_F(TextOpsTest, EnvironmentLookup) {
  sim::SetEnvironment({"SystemRoot=C:\\WINDOWS", "Path=%SystemRoot%\\system32", "UserProfile=",
                       "SYSTEM=not the root", "BLANK value after a blank", "Ä=umlaut", "BARE"});
  ReadEnvironmentBlock();
  struct Row {
    const char *name;
    std::string value;
  } rows[] = {
      {"systemroot", "C:\\WINDOWS"},
      {"SYSTEMROOT", "C:\\WINDOWS"},
      {"system", "not the root"},
      {"systemroo", ""},
      {"path", "%SystemRoot%\\system32"},
      {"userprofile", ""},
      {"blank", "value after a blank"},
      {"Ä", "umlaut"},
      {"ä", "umlaut"},  // names compare as Windows compares them, Windows-1252 letters included
      {"bare", ""},
      {"unknown", ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(EnvironmentValue(row.name), row.value);
  }
  EXPECT_EQ(EnvironmentValue(std::string(300, 'S')), "");
}

TEST_F(TextOpsTest, EnvironmentIsReadOnce) {
  sim::SetEnvironment({"SystemRoot=D:\\WIN"});
  EXPECT_EQ(EnvironmentValue("systemroot"), "C:\\WINDOWS");
  ReadEnvironmentBlock();
  EXPECT_EQ(EnvironmentValue("systemroot"), "D:\\WIN");
  EXPECT_EQ(sim::CallCount("GetEnvironmentStringsA"), 2);
}

TEST_F(TextOpsTest, DateTextIsMonthDayYear) {
  EXPECT_EQ(DateText(), "12-08-2026");
  sim::SetLocalTime(2027, 1, 5, 23, 59, 59);
  EXPECT_EQ(DateText(), "01-05-2027");
}

// ---- text helpers ------------------------------------------------------------------------------
TEST(TextHelpers, LowerCaseFoldsAsciiAndCodePage437Capitals) {
  struct Row {
    unsigned char in, out;
  } rows[] = {
      {'A', 'a'}, {'Z', 'z'}, {'a', 'a'}, {'@', '@'}, {'[', '['},
      {0x80, 0x87}, {0x8E, 0x84}, {0x8F, 0x86}, {0x90, 0x82}, {0x99, 0x94}, {0x9A, 0x81}, {0xA5, 0xA4},
      {0xC4, 0xC4}, {0xD6, 0xD6}, {0xDC, 0xDC}, {0x81, 0x81}, {0xFC, 0xFC}, {0x00, 0x00},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(static_cast<int>(row.in));
    EXPECT_EQ(LowerCase(std::string(1, static_cast<char>(row.in))), std::string(1, static_cast<char>(row.out)));
  }
  EXPECT_EQ(LowerCase("C:\\Startmenü\\PROGRAMME"), "c:\\startmenü\\programme");
}

TEST(TextHelpers, Search) {
  struct Row {
    const char *name;
    int start;
    std::string text, find;
    int position;
  } rows[] = {
      {"first occurrence", 1, "a\\user\\b\\user\\", "\\user\\", 2},
      {"from a later start", 3, "a\\user\\b\\user\\", "\\user\\", 9},
      {"case-sensitive", 1, "\\USER\\", "\\user\\", 0},
      {"empty find gives start", 1, "abc", "", 1},
      {"empty find in empty text", 4, "", "", 4},
      {"start past the end", 5, "abcd", "d", 0},
      {"find at the very end", 4, "abcd", "d", 4},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SearchText(row.start, row.text, row.find), row.position);
  }
}

TEST(TextHelpers, Replace) {
  struct Row {
    const char *name;
    std::string find, replacement, text, result;
  } rows[] = {
      {"every occurrence", "\\Device\\HarddiskVolume1", "c:",
       "\\Device\\HarddiskVolume1\\a\\Device\\HarddiskVolume1", "c:\\ac:"},
      {"no overlaps, left to right", "aa", "b", "aaaaa", "bba"},
      {"replacement holds the find", "a", "aa", "aba", "aabaa"},
      {"case-sensitive", "x", "y", "X", "X"},
      {"empty find changes nothing", "", "y", "abc", "abc"},
      {"single bytes beyond ASCII", "\xFC", "\x81", "startmen\xFC", "startmen\x81"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ReplaceText(row.find, row.replacement, row.text), row.result);
  }
}

TEST(TextHelpers, NumberText) {
  EXPECT_EQ(NumberText(5), " 5");
  EXPECT_EQ(NumberText(0), " 0");
  EXPECT_EQ(NumberText(-5), "-5");
  EXPECT_EQ(NumberText(1234567), " 1234567");
  EXPECT_EQ(NumberText(-2147483647L - 1), "-2147483648");
}

TEST(TextHelpers, FitsBuffer) {
  EXPECT_TRUE(FitsBuffer(std::string(255, 'x'), 256));
  EXPECT_FALSE(FitsBuffer(std::string(256, 'x'), 256));
  EXPECT_FALSE(FitsBuffer(std::string("C:\\a\0b", 6), 256)) << "a NUL inside would cut it";
}

}  // namespace
