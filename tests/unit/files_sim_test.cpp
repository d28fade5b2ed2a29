// The simulated file calls: the Win32 codes and path rules that the services' tests do not show.
#include <cstring>
#include <string>
#include <vector>

#include "internal.h"
#include "sim_test.h"

namespace {

const DWORD kMarker = 0xDEADBEEF;

class FilesSimTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::PutFile("C:\\Temp\\a.txt", "alpha");
    sim::PutFile("C:\\Temp\\B", "beta", FILE_ATTRIBUTE_READONLY);
    sim::MakeFolders("C:\\Temp\\sub");
  }
};

std::vector<std::string> Search(const std::string &pattern, DWORD *error) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  SetLastError(kMarker);
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  *error = GetLastError();
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileA(h, &data));
  *error = GetLastError();
  EXPECT_TRUE(FindClose(h));
  return names;
}

TEST_F(FilesSimTest, FindFirstFileMatchesAndFailsAsWindowsDoes) {
  struct Row {
    const char *name;
    const char *pattern;
    std::vector<std::string> names;
    DWORD error;  // after the last FindNextFileA, or of FindFirstFileA
  } rows[] = {
      {"star dot star lists all, dot entries first", "C:\\Temp\\*.*", {".", "..", "a.txt", "B", "sub"}, ERROR_NO_MORE_FILES},
      {"case-insensitive mask", "c:\\TEMP\\A.*", {"a.txt"}, ERROR_NO_MORE_FILES},
      {"question mark is one character", "C:\\Temp\\?.txt", {"a.txt"}, ERROR_NO_MORE_FILES},
      {"a folder named without wildcards", "C:\\Temp", {"Temp"}, ERROR_NO_MORE_FILES},
      {"no dot entries at a drive root", "C:\\*", {"Temp", "Users", "WINDOWS"}, ERROR_NO_MORE_FILES},
      {"no match", "C:\\Temp\\*.bat", {}, ERROR_FILE_NOT_FOUND},
      {"missing folder", "C:\\Nope\\*.*", {}, ERROR_PATH_NOT_FOUND},
      {"existing folder with trailing backslash", "C:\\Temp\\", {}, ERROR_FILE_NOT_FOUND},
      {"missing folder with trailing backslash", "C:\\Nope\\", {}, ERROR_PATH_NOT_FOUND},
      {"drive root", "C:\\", {}, ERROR_FILE_NOT_FOUND},
      {"unknown drive", "Q:\\*", {}, ERROR_PATH_NOT_FOUND},
      {"wildcard in a folder name", "C:\\T*\\a.txt", {}, ERROR_INVALID_NAME},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    DWORD error = 0;
    EXPECT_EQ(Search(row.pattern, &error), row.names);
    EXPECT_EQ(error, row.error);
  }
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(FilesSimTest, PathsResolveAsWin32ResolvesThem) {
  sim::PutFile("C:\\Temp\\\xE4rger\xDF", "");
  struct Row {
    const char *name;
    std::string path;
    DWORD attributes;
    DWORD error;
  } rows[] = {
      {"doubled backslash collapses", "C:\\\\Temp\\\\a.txt", FILE_ATTRIBUTE_ARCHIVE, kMarker},
      {"relative to the current directory", "..\\..\\Temp\\B", FILE_ATTRIBUTE_READONLY, kMarker},
      {"rooted on the current drive", "\\Temp\\sub", FILE_ATTRIBUTE_DIRECTORY, kMarker},
      {"folder with trailing backslash", "C:\\Temp\\sub\\", FILE_ATTRIBUTE_DIRECTORY, kMarker},
      {"file with trailing backslash", "C:\\Temp\\a.txt\\", INVALID_FILE_ATTRIBUTES, ERROR_INVALID_NAME},
      {"missing file", "C:\\Temp\\c.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {"missing folder on the way", "C:\\Nope\\c.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {"a file on the way", "C:\\Temp\\a.txt\\c", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {"empty", "", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {"259 characters are fine", "C:\\Temp\\" + std::string(251, 'x'), INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {"MAX_PATH characters are too long", "C:\\Temp\\" + std::string(252, 'x'), INVALID_FILE_ATTRIBUTES, ERROR_FILENAME_EXCED_RANGE},
      {"trailing dot of the last component goes", "C:\\Temp\\a.txt.", FILE_ATTRIBUTE_ARCHIVE, kMarker},
      {"trailing blanks and dots go", "C:\\Temp\\B . .", FILE_ATTRIBUTE_READONLY, kMarker},
      {"only dots: the folder itself", "C:\\Temp\\sub\\...", FILE_ATTRIBUTE_DIRECTORY, kMarker},
      {"a trailing dot stays in a folder on the way", "C:\\Temp.\\a.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {"ASCII case folds", "c:\\TEMP\\A.TXT", FILE_ATTRIBUTE_ARCHIVE, kMarker},
      {"Windows-1252 letters fold (\xC4 is \xE4)", "C:\\Temp\\\xC4rger\xDF", FILE_ATTRIBUTE_ARCHIVE, kMarker},
      {"\xDF has no capital of its own", "C:\\Temp\\\xE4rgerSS", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kMarker);
    EXPECT_EQ(GetFileAttributesA(row.path.c_str()), row.attributes);
    EXPECT_EQ(GetLastError(), row.error);
  }
}

TEST_F(FilesSimTest, CreateFileDispositionsAndSharing) {
  HANDLE h = CreateFileA("C:\\Temp\\a.txt", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\a.txt"), "alpha") << "OPEN_ALWAYS keeps the content";

  SetLastError(kMarker);
  EXPECT_EQ(CreateFileA("C:\\Temp\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "opened without sharing";
  EXPECT_FALSE(DeleteFileA("C:\\Temp\\a.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  DWORD written = kMarker;
  ASSERT_TRUE(WriteFile(h, "xy", 2, &written, nullptr));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 5u);
  EXPECT_EQ(SetFilePointer(h, -9, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), 131u);  // ERROR_NEGATIVE_SEEK
  ASSERT_TRUE(SetFilePointer(h, 3, nullptr, FILE_BEGIN) == 3u && SetEndOfFile(h));
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\a.txt"), "xyp");
  EXPECT_EQ(sim::OpenFileCount("C:\\Temp\\a.txt"), 1);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(sim::OpenFileCount("C:\\Temp\\a.txt"), 0);
  EXPECT_FALSE(WriteFile(h, "z", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  struct Row {
    const char *name;
    const char *path;
    DWORD access, disposition, error;
  } rows[] = {
      {"new file", "C:\\Temp\\n.txt", GENERIC_WRITE, CREATE_NEW, 0},
      {"CREATE_NEW on an existing file", "C:\\Temp\\n.txt", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
      {"CREATE_ALWAYS on an existing file", "C:\\Temp\\n.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ALREADY_EXISTS},
      {"OPEN_EXISTING on a missing file", "C:\\Temp\\m.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {"writing a read-only file", "C:\\Temp\\B", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {"a folder", "C:\\Temp\\sub", GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
      {"missing folder", "C:\\Nope\\n.txt", GENERIC_WRITE, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
      {"wildcard", "C:\\Temp\\*.txt", GENERIC_WRITE, OPEN_ALWAYS, ERROR_INVALID_NAME},
      {"bad disposition", "C:\\Temp\\n.txt", GENERIC_WRITE, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kMarker);
    HANDLE file = CreateFileA(row.path, row.access, 0, nullptr, row.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, row.error == 0 || row.error == ERROR_ALREADY_EXISTS);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  EXPECT_EQ(sim::FileAttributes("C:\\Temp\\n.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FilesSimTest, CopyFileTakesAttributesAndHonoursLocks) {
  sim::PutFile("C:\\Temp\\h", "hidden", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(CopyFileA("C:\\Temp\\B", "C:\\Temp\\copy", TRUE));
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\copy"), "beta");
  EXPECT_EQ(sim::FileAttributes("C:\\Temp\\copy"),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

  struct Row {
    const char *name;
    const char *source, *target;
    BOOL failIfExists;
    DWORD error;
  } rows[] = {
      {"fail if exists", "C:\\Temp\\a.txt", "C:\\Temp\\h", TRUE, ERROR_FILE_EXISTS},
      {"read-only target", "C:\\Temp\\a.txt", "C:\\Temp\\copy", FALSE, ERROR_ACCESS_DENIED},
      {"hidden target, plain source", "C:\\Temp\\a.txt", "C:\\Temp\\h", FALSE, ERROR_ACCESS_DENIED},
      {"onto itself", "C:\\Temp\\a.txt", "c:\\temp\\A.TXT", FALSE, ERROR_SHARING_VIOLATION},
      {"missing source", "C:\\Temp\\m", "C:\\Temp\\x", FALSE, ERROR_FILE_NOT_FOUND},
      {"folder as source", "C:\\Temp\\sub", "C:\\Temp\\x", FALSE, ERROR_ACCESS_DENIED},
      {"missing target folder", "C:\\Temp\\a.txt", "C:\\Nope\\x", FALSE, ERROR_PATH_NOT_FOUND},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kMarker);
    EXPECT_FALSE(CopyFileA(row.source, row.target, row.failIfExists));
    EXPECT_EQ(GetLastError(), row.error);
  }

  sim::HoldOpen("C:\\Temp\\a.txt", FILE_SHARE_WRITE);
  EXPECT_FALSE(CopyFileA("C:\\Temp\\a.txt", "C:\\Temp\\y", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "source held without read sharing";
  sim::ReleaseHold("C:\\Temp\\a.txt");
  sim::HoldOpen("C:\\Temp\\a.txt", FILE_SHARE_READ);
  EXPECT_TRUE(CopyFileA("C:\\Temp\\a.txt", "C:\\Temp\\y", FALSE));
  EXPECT_EQ(sim::CallLog().back(), "CopyFileA C:\\Temp\\a.txt C:\\Temp\\y");
}

TEST_F(FilesSimTest, CreateDirectoryAndWriteDenial) {
  SetLastError(kMarker);
  EXPECT_FALSE(CreateDirectoryA("C:\\Temp\\sub", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA("C:\\Temp\\x\\y", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(CreateDirectoryA("C:\\Temp\\x\\", nullptr));
  EXPECT_TRUE(sim::FolderExists("c:\\temp\\X"));
  EXPECT_EQ(sim::ListFolder("C:\\Temp"), (std::vector<std::string>{"a.txt", "B", "sub", "x"}));

  sim::DenyWrites("C:\\Temp");
  EXPECT_FALSE(CreateDirectoryA("C:\\Temp\\sub\\deeper", nullptr)) << "anywhere below the folder";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DeleteFileA("C:\\Temp\\a.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(sim_internal::FsCreateNew("C:\\Temp\\SAM", "hive"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = CreateFileA("C:\\Temp\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << "reading stays allowed";
  CloseHandle(h);
}

TEST_F(FilesSimTest, HiveFileEntryPoints) {
  EXPECT_EQ(sim_internal::FsCreateNew("D:\\x", "h"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(sim_internal::FsCreateNew("C:\\Temp\\SAM", "hive"), 0u);
  EXPECT_EQ(sim_internal::FsCreateNew("C:\\Temp\\sam", "again"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  std::string bytes;
  EXPECT_EQ(sim_internal::FsRead("C:\\TEMP\\sam", &bytes), 0u);
  EXPECT_EQ(bytes, "hive");
  EXPECT_EQ(sim_internal::FsWrite("C:\\Temp\\SAM", "new"), 0u);
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\SAM"), "new");
  EXPECT_EQ(sim_internal::FsWrite("C:\\Temp\\B", "x"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(sim_internal::FsDelete("C:\\Temp\\SAM"), 0u);
  EXPECT_FALSE(sim_internal::FsExists("C:\\Temp\\SAM"));
  EXPECT_TRUE(sim_internal::FsExists("C:\\Temp\\sub"));
  EXPECT_EQ(sim_internal::FsRead("C:\\Temp\\SAM", &bytes), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A name written with a trailing dot or blank, or in another case, creates and finds the same file.
TEST_F(FilesSimTest, NamesThatWindowsTakesForTheSameFile) {
  HANDLE file = CreateFileA("C:\\Temp\\Neu. ", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(sim::ListFolder("C:\\Temp"), (std::vector<std::string>{"a.txt", "B", "Neu", "sub"}));
  SetLastError(kMarker);
  EXPECT_EQ(CreateFileA("C:\\Temp\\NEU.", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_TRUE(DeleteFileA("C:\\Temp\\neu  "));
  EXPECT_FALSE(sim::FileExists("C:\\Temp\\Neu"));
  EXPECT_TRUE(CreateDirectoryA("C:\\Temp\\\xC4.", nullptr));
  EXPECT_TRUE(sim::FolderExists("C:\\Temp\\\xE4"));
  EXPECT_FALSE(CreateDirectoryA("C:\\Temp\\\xE4", nullptr));
}

TEST_F(FilesSimTest, MoveFileExReplacesOnlyWhatARenameMayDelete) {
  sim::PutFile("C:\\Temp\\neu", "new");
  sim::PutFile("C:\\Temp\\offen", "held");
  sim::HoldOpen("C:\\Temp\\offen", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  struct Row {
    const char *name;
    const char *target;
    DWORD flags;
    DWORD error;
  } rows[] = {
      {"existing target without the replace flag", "C:\\Temp\\a.txt", 0, ERROR_ALREADY_EXISTS},
      {"read-only target", "C:\\Temp\\B", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
      {"folder as target", "C:\\Temp\\sub", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
      {"target open in another process", "C:\\Temp\\offen", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
      {"another drive", "D:\\neu", MOVEFILE_REPLACE_EXISTING, 17},
      {"missing folder on the way", "C:\\Fehlt\\neu", MOVEFILE_REPLACE_EXISTING, ERROR_PATH_NOT_FOUND},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kMarker);
    EXPECT_FALSE(MoveFileExA("C:\\Temp\\neu", row.target, row.flags));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(sim::FileBytes("C:\\Temp\\neu"), "new");
  }
  ASSERT_TRUE(MoveFileExA("C:\\Temp\\neu", "c:\\temp\\A.TXT", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(sim::ListFolder("C:\\Temp"), (std::vector<std::string>{"A.TXT", "B", "offen", "sub"}));
  EXPECT_EQ(sim::FileBytes("C:\\Temp\\a.txt"), "new");
  SetLastError(kMarker);
  EXPECT_FALSE(MoveFileExA("C:\\Temp\\neu", "C:\\Temp\\x", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesSimTest, ReadFileFromThePointer) {
  HANDLE file = CreateFileA("C:\\Temp\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[8] = {};
  DWORD read = kMarker;
  EXPECT_TRUE(ReadFile(file, buffer, 3, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "alp");
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "ha");
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 0u) << "at the end";
  EXPECT_TRUE(CloseHandle(file));
  file = CreateFileA("C:\\Temp\\a.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  SetLastError(kMarker);
  EXPECT_FALSE(ReadFile(file, buffer, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FilesSimTest, CurrentDirectoryAndDosDevices) {
  char buffer[64];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetCurrentDirectoryA(14, buffer), 15u) << "too small: the size needed with the NUL";
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(GetCurrentDirectoryA(15, buffer), 14u);
  EXPECT_STREQ(buffer, "C:\\Users\\admin");
  sim::SetCurrentDirectory("c:\\temp\\");
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 7u);
  EXPECT_STREQ(buffer, "c:\\temp");
  EXPECT_EQ(GetFileAttributesA("a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  sim::AddDrive('f', "\\Device\\HarddiskVolume12");
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(QueryDosDeviceA("f:", buffer, sizeof buffer), 26u);
  EXPECT_EQ(std::string(buffer, 26), std::string("\\Device\\HarddiskVolume12\0\0", 26));
  EXPECT_EQ(QueryDosDeviceA("D:", buffer, sizeof buffer), 25u);
  EXPECT_EQ(std::string(buffer, 25), std::string("\\Device\\HarddiskVolume2\0\0", 25));
  SetLastError(kMarker);
  EXPECT_EQ(QueryDosDeviceA("c:", buffer, 24), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(QueryDosDeviceA("e:", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(sim::FolderExists("D:\\"));
}

TEST_F(FilesSimTest, InjectedFaultsAndStartState) {
  sim::FailCall("SetFileAttributesA", ERROR_WRITE_PROTECT);
  EXPECT_FALSE(SetFileAttributesA("C:\\Temp\\a.txt", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
  EXPECT_TRUE(SetFileAttributesA("C:\\Temp\\a.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(sim::FileAttributes("C:\\Temp\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));

  sim::Reset();
  EXPECT_FALSE(sim::FolderExists("C:\\Temp"));
  EXPECT_TRUE(sim::FolderExists("C:\\WINDOWS\\System32\\config"));
  EXPECT_EQ(sim::ListFolder("C:\\"), (std::vector<std::string>{"Users", "WINDOWS"}));
  EXPECT_EQ(sim::ListFolder("C:\\WINDOWS\\System32\\config"), std::vector<std::string>{});
}

}  // namespace
