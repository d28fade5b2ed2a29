// The hive file check against files the simulated RegSaveKey wrote, sound and damaged.
#include "services/hive_file_check.h"

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

// The file is read once, front to back, in blocks of a megabyte, after one look at the last byte
// that its base block announces.
TEST_F(HiveFileCheckTest, ReadsTheFileOnceInLargeBlocks) {
  sim::SetRegValue("HKLM\\SOFTWARE\\Gro\xDF", "Daten", REG_BINARY, std::string(3 << 20, '\x5A'));
  const std::string bytes = sim::HiveSnapshot("HKLM\\SOFTWARE");
  sim::PutFile("C:\\Hive", bytes);
  const int before = sim::CallCount("ReadFile");
  EXPECT_EQ(CheckHiveFile("C:\\Hive").state, HiveFileState::Good);
  const size_t data = bytes.size() - 4096;
  EXPECT_EQ(static_cast<size_t>(sim::CallCount("ReadFile") - before), 2 + (data + (1 << 20) - 1) / (1 << 20));
  EXPECT_EQ(sim::OpenHandleCount(), 0);
}

}  // namespace
