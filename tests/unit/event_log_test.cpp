// The event source's registration: a run registers the program as the message file of "Brovink"
// when the source is missing or names no file that exists, leaves a usable source alone, writes
// nothing without the right or for a path the value cannot hold, and writes its entry in every
// case.
#include <string>
#include <vector>

#include "services/event_log.h"
#include "sim_test.h"

namespace {

const char kSourceKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Brovink";
const char kProgram[] = "C:\\Program Files\\Brovink\\Brovink.exe";

struct Source {
  bool present;
  DWORD type;
  std::string file;  // EventMessageFile as stored, without its NUL
  DWORD typesSupported;
};

Source ReadSource() {
  Source source{sim::RegKeyExists(kSourceKey), 0, "", 0};
  std::string data;
  if (sim::GetRegValue(kSourceKey, "EventMessageFile", &source.type, &data)) {
    source.file = data.substr(0, data.find('\0'));
  }
  DWORD type = 0;
  if (sim::GetRegValue(kSourceKey, "TypesSupported", &type, &data) && type == REG_DWORD && data.size() == 4) {
    source.typesSupported = static_cast<unsigned char>(data[0]);
  }
  return source;
}

void SetMessageFile(DWORD type, const std::string &file) {
  sim::SetRegValue(kSourceKey, "EventMessageFile", type, file + std::string(1, '\0'));
}

using EventLogTest = SimTest;

TEST_F(EventLogTest, TheSourceNamesAnExistingMessageFileAfterAnEntry) {
  struct Row {
    const char *name;
    std::u16string program;  // GetModuleFileNameW
    bool elevated;
    DWORD type;              // EventMessageFile before; 0: no source at all
    std::string before;
    Source after;
    LONG result;
  };
  const std::string other = "C:\\Tools\\Brovink\\Brovink.exe";
  const Row rows[] = {
      {"missing: this program, expandable, with its types", u"C:\\Program Files\\Brovink\\Brovink.exe", true, 0, "",
       {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"pointing at a file that is gone: this program", u"C:\\Program Files\\Brovink\\Brovink.exe", true, REG_EXPAND_SZ,
       "C:\\Alt\\Brovink.exe", {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"pointing at a folder: no message file, this program", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, "C:\\Tools", {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"pointing at another copy that exists: left alone", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, other, {true, REG_EXPAND_SZ, other, 0}, ERROR_SUCCESS},
      {"an existing file through a variable: left alone", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, "%SystemRoot%\\msg.dll", {true, REG_EXPAND_SZ, "%SystemRoot%\\msg.dll", 0}, ERROR_SUCCESS},
      {"the same variable in a plain string names no file", u"C:\\Program Files\\Brovink\\Brovink.exe", true, REG_SZ,
       "%SystemRoot%\\msg.dll", {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"one of a comma-separated list exists: left alone", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, "C:\\Alt\\x.dll," + other, {true, REG_EXPAND_SZ, "C:\\Alt\\x.dll," + other, 0}, ERROR_SUCCESS},
      {"one of a list exists: left alone", u"C:\\Program Files\\Brovink\\Brovink.exe", true, REG_EXPAND_SZ,
       "C:\\Alt\\x.dll;" + other, {true, REG_EXPAND_SZ, "C:\\Alt\\x.dll;" + other, 0}, ERROR_SUCCESS},
      {"a long list whose last entry exists: left alone", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, std::string(1100, 'x') + ";" + other, {true, REG_EXPAND_SZ, std::string(1100, 'x') + ";" + other, 0},
       ERROR_SUCCESS},
      {"a long string that names no file: this program", u"C:\\Program Files\\Brovink\\Brovink.exe", true,
       REG_EXPAND_SZ, std::string(1100, 'x'), {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"a number in its place: this program", u"C:\\Program Files\\Brovink\\Brovink.exe", true, REG_DWORD,
       std::string("\x05\0\0", 3), {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"long binary data in its place, an existing path's bytes: this program",
       u"C:\\Program Files\\Brovink\\Brovink.exe", true, REG_BINARY, other + std::string(1100, '\0'),
       {true, REG_EXPAND_SZ, kProgram, 7}, ERROR_SUCCESS},
      {"not elevated: nothing written", u"C:\\Program Files\\Brovink\\Brovink.exe", false, 0, "", {false, 0, "", 0},
       ERROR_ACCESS_DENIED},
      {"not elevated, pointing elsewhere: left as it was", u"C:\\Program Files\\Brovink\\Brovink.exe", false,
       REG_EXPAND_SZ, "C:\\Alt\\Brovink.exe", {true, REG_EXPAND_SZ, "C:\\Alt\\Brovink.exe", 0}, ERROR_ACCESS_DENIED},
      {"a program path the code page cannot spell: nothing written", u"C:\\b\u0101ck\\Brovink.exe", true, 0, "",
       {false, 0, "", 0}, ERROR_INVALID_NAME},
      {"a program path with %: the value would expand it, nothing written", u"C:\\%SystemRoot%\\Brovink.exe", true, 0,
       "", {false, 0, "", 0}, ERROR_INVALID_NAME},
      {"a program path with ;: the value would split it, nothing written", u"C:\\a;b\\Brovink.exe", true, 0, "",
       {false, 0, "", 0}, ERROR_INVALID_NAME},
      {"a program path with a comma: the event log splits there too, nothing written",
       u"C:\\Tools, Admin\\Brovink.exe", true, 0, "", {false, 0, "", 0}, ERROR_INVALID_NAME},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    ReadEnvironmentBlock();
    sim::PutFile(other, "MZ");
    sim::PutFile("C:\\WINDOWS\\msg.dll", "MZ");
    sim::MakeFolders("C:\\Tools");
    sim::SetProgramFile(row.program);
    if (row.type) SetMessageFile(row.type, row.before);
    sim::SetElevated(row.elevated);

    WriteEventLog(EVENTLOG_INFORMATION_TYPE, kEventRunSummary, "Sicherung fertig: D:\\B");
    const Source after = ReadSource();
    EXPECT_EQ(after.present, row.after.present);
    EXPECT_EQ(after.type, row.after.type);
    EXPECT_EQ(after.file, row.after.file);
    EXPECT_EQ(after.typesSupported, row.after.typesSupported);
    EXPECT_EQ(RegisterEventSourceFile(), row.result) << "a second look finds the source as the first left it";
    ASSERT_EQ(sim::EventLogEntries().size(), 1u) << "the entry is written whatever became of the source";
    EXPECT_EQ(sim::EventLogEntries()[0].strings, std::vector<std::string>{"Sicherung fertig: D:\\B"});
    EXPECT_EQ(sim::OpenKeyCount(), 0);
  }
}

// A backup run whose registration fails still ends with exit code 0 and its summary.
TEST_F(EventLogTest, ARegistrationThatFailsNeverFailsABackup) {
  sim::AddDrive('D', "\\Device\\HarddiskVolume2");
  sim::SetProgramFile(u"C:\\b\u0101ck\\Brovink.exe");
  sim::SetCommandLine(u"Brovink.exe /backup D:\\B");
  EXPECT_EQ(WinMain(sim::ProgramInstance(), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), 0);
  EXPECT_FALSE(sim::RegKeyExists(kSourceKey));
  ASSERT_EQ(sim::EventLogEntries().size(), 1u);
  EXPECT_EQ(sim::EventLogEntries()[0].id, kEventRunSummary);
  EXPECT_EQ(sim::EventLogEntries()[0].type, EVENTLOG_INFORMATION_TYPE);
}

}  // namespace
