// The hive file check against files the simulated RegSaveKey wrote, sound and damaged.
#include "services/hive_file_check.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "hive_damage.h"
#include "sim_test.h"

namespace {

class HiveFileCheckTest : public SimTest {
 protected:
  // SOFTWARE grown past one hive bin: 600 sub-keys of one key (an ri index over lh leaves), a
  // value of 40,000 bytes (db big data), and the value types the backup meets.
  static std::string LargeSoftware() {
    for (int i = 0; i < 600; i++) {
      sim::SetRegDword("HKLM\\SOFTWARE\\Viele\\Schl\xFC" "ssel " + std::to_string(i), "Nummer", static_cast<DWORD>(i));
    }
    sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "Daten", REG_BINARY, std::string(40000, '\x5A'));
    sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "Text", REG_EXPAND_SZ, std::string("%SystemRoot%\\\x80", 15));
    sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "Liste", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
    sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "", REG_NONE, "");
    return sim::HiveSnapshot("HKLM\\SOFTWARE");
  }

  static HiveFileState StateOf(const std::string &bytes, const std::string &machineHive = "") {
    sim::PutFile("C:\\Hive", bytes);
    return CheckHiveFile("C:\\Hive", machineHive).state;
  }
};

TEST_F(HiveFileCheckTest, DamagedFilesFailWithTheFirstFaultAndSoundOnesPass) {
  const std::string genuine[] = {LargeSoftware(), sim::HiveSnapshot("HKLM\\SAM")};
  ASSERT_GT(genuine[0].size(), 12288u);
  ASSERT_FALSE(hive_damage::Cells(genuine[0], "ri").empty());
  ASSERT_FALSE(hive_damage::Cells(genuine[0], "db").empty());
  for (const hive_damage::Damage &damage : hive_damage::Damages()) {
    SCOPED_TRACE(damage.name);
    int applied = 0;
    for (const std::string &sound : genuine) {
      EXPECT_EQ(StateOf(sound), HiveFileState::Good);
      std::string bytes = sound;
      if (!damage.apply(bytes)) continue;
      applied++;
      EXPECT_EQ(StateOf(bytes), damage.state);
    }
    EXPECT_GT(applied, 0) << "no file to show the fault in";
  }
}

// Each machine hive's file must hold that hive; a user hive's file may hold any.
TEST_F(HiveFileCheckTest, MachineHiveFileMustHoldThatHive) {
  const char *const hives[] = {"SOFTWARE", "SYSTEM", "SECURITY", "SAM"};
  for (const char *held : hives) {
    const std::string bytes = sim::HiveSnapshot(std::string("HKLM\\") + held);
    for (const char *expected : hives) {
      SCOPED_TRACE(std::string(held) + " as " + expected);
      EXPECT_EQ(StateOf(bytes, expected), std::string(held) == expected ? HiveFileState::Good : HiveFileState::OtherHive);
    }
    EXPECT_EQ(StateOf(bytes), HiveFileState::Good);
  }
  // SYSTEM is known by either key; names compare without regard to case.
  sim::DeleteRegKey("HKLM\\SYSTEM\\Select");
  EXPECT_EQ(StateOf(sim::HiveSnapshot("HKLM\\SYSTEM"), "SYSTEM"), HiveFileState::OtherHive);
  sim::SetRegDword("HKLM\\SYSTEM\\controlset001\\Control", "x", 1);
  EXPECT_EQ(StateOf(sim::HiveSnapshot("HKLM\\SYSTEM"), "SYSTEM"), HiveFileState::Good);
  // A key below the root does not count.
  EXPECT_EQ(StateOf(sim::HiveSnapshot("HKLM\\SOFTWARE\\Classes"), "SOFTWARE"), HiveFileState::OtherHive);
  const HiveFileCheck check = CheckHiveFile("C:\\Hive", "SOFTWARE");
  EXPECT_EQ(HiveFileReason(check), "enthält nicht den Hive SOFTWARE");
}

// coreutils' SHA-256 of the bytes, as 64 lower-case hex digits.
std::string Sha256sum(const std::string &bytes) {
  char path[] = "/tmp/brovink-hash.XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "mkstemp failed";
  const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fd);
  std::string digest;
  if (FILE *pipe = written ? popen((std::string("sha256sum ") + path).c_str(), "r") : nullptr) {
    char line[128] = {};
    if (fgets(line, sizeof line, pipe)) digest.assign(line, strnlen(line, 64));
    pclose(pipe);
  }
  unlink(path);
  return digest;
}

// The file is read once, front to back, in blocks of a megabyte (besides one look at the last byte
// that its base block announces), and the hash comes from the same reads: the bytes behind the
// hive's data are hashed too, and a file that fails its check gets no hash.
TEST_F(HiveFileCheckTest, ReadsTheFileOnceInLargeBlocksForCheckAndHash) {
  sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "Daten", REG_BINARY, std::string(3 << 20, '\x5A'));
  const std::string bytes = sim::HiveSnapshot("HKLM\\SOFTWARE") + "dahinter";
  sim::PutFile("C:\\Hive", bytes);
  const size_t blocks = (bytes.size() + (1 << 20) - 1) / (1 << 20);
  std::string hash = "unset";
  EXPECT_EQ(CheckHiveFile("C:\\Hive", "SAM", &hash).state, HiveFileState::OtherHive);
  EXPECT_EQ(hash, "unset");
  int before = sim::CallCount("ReadFile");
  EXPECT_EQ(CheckHiveFile("C:\\Hive", "SOFTWARE", &hash).state, HiveFileState::Good);
  EXPECT_EQ(hash, Sha256sum(bytes));
  // Every block, the look at the last byte, and the read that finds the end.
  EXPECT_LE(static_cast<size_t>(sim::CallCount("ReadFile") - before), blocks + 2);
  before = sim::CallCount("ReadFile");
  EXPECT_EQ(CheckHiveFile("C:\\Hive").state, HiveFileState::Good);
  EXPECT_LE(static_cast<size_t>(sim::CallCount("ReadFile") - before), blocks + 1);
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

}  // namespace
