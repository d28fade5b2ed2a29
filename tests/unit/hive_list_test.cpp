// The loaded-hive list walk and the mapping of device paths to drive letters.
#include <gtest/gtest.h>

#include <utility>

#include "sim_test.h"
#include "workflows/hive_list.h"

namespace {

using Hive = std::pair<std::string, std::string>;

std::vector<Hive> Walk() {
  std::vector<Hive> hives;
  WalkUserHives([&](const std::string &name, const std::string &file) { hives.emplace_back(name, file); });
  return hives;
}

class HiveListTest : public SimTest {};

TEST_F(HiveListTest, YieldsUserHivesWithLowerCaseNamesInListOrder) {
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\U1\\NTUSER.DAT");
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000_Classes", "\\Device\\HarddiskVolume1\\U1\\UsrClass.dat");
  sim::AddHiveListValue("\\REGISTRY\\MACHINE\\HARDWARE", "");
  sim::AddHiveListValue("\\Registry\\User\\Ä\\user\\X", "\\Device\\HarddiskVolume1\\twice");

  const std::vector<Hive> expected = {
      {"s-1-5-21-1-2-3-1000", "\\Device\\HarddiskVolume1\\U1\\NTUSER.DAT"},
      {"s-1-5-21-1-2-3-1000_classes", "\\Device\\HarddiskVolume1\\U1\\UsrClass.dat"},
      {"Ä\\user\\x", "\\Device\\HarddiskVolume1\\twice"},  // after the first "\user\"; 0xC4 stays
  };
  EXPECT_EQ(Walk(), expected);
}

TEST_F(HiveListTest, MachineHivesOnlyOrAnUnreadableListYieldNothing) {
  EXPECT_TRUE(Walk().empty());
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-18", "\\Device\\HarddiskVolume1\\x");
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Walk().empty());
}

TEST_F(HiveListTest, ValueThatDoesNotFitEndsTheWalkThere) {
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-18", "\\Device\\HarddiskVolume1\\a");
  sim::AddHiveListValue("\\REGISTRY\\USER\\" + std::string(250, 'L'), "\\Device\\HarddiskVolume1\\b");
  sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-19", "\\Device\\HarddiskVolume1\\c");
  EXPECT_EQ(Walk(), (std::vector<Hive>{{"s-1-5-18", "\\Device\\HarddiskVolume1\\a"}}));
}

// Data without a terminating NUL is read up to the length the call returned, not past it.
TEST_F(HiveListTest, DataWithoutNulStopsAtItsLength) {
  HKEY list = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\hivelist", 0,
                          KEY_ALL_ACCESS, &list),
            ERROR_SUCCESS);
  const char data[] = "\\Device\\X";  // the NUL is not handed over
  ASSERT_EQ(RegSetValueExA(list, "\\REGISTRY\\USER\\S-1-5-20", 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(data), sizeof data - 1),
            ERROR_SUCCESS);
  RegCloseKey(list);
  EXPECT_EQ(Walk(), (std::vector<Hive>{{"s-1-5-20", "\\Device\\X"}}));
}

TEST_F(HiveListTest, MapToDrivePath) {
  struct Row {
    const char *name;
    std::vector<std::pair<char, std::string>> drives;
    std::string path;
    std::vector<std::string> expected;
  } rows[] = {
      {"one drive", {}, "\\Device\\HarddiskVolume1\\Profiles\\u1\\hivefile",
       {"c:\\Profiles\\u1\\hivefile"}},
      {"no drive matches", {}, "\\Device\\HarddiskVolume7\\x", {}},
      {"device again further on stays", {}, "\\Device\\HarddiskVolume1\\a\\Device\\HarddiskVolume1",
       {"c:\\a\\Device\\HarddiskVolume1"}},
      {"device only in the middle", {}, "\\x\\Device\\HarddiskVolume1\\y", {}},
      {"device without a path after it", {}, "\\Device\\HarddiskVolume1", {}},
      {"case counts", {}, "\\device\\harddiskvolume1\\x", {}},
      // A shorter device name that begins the longer one is no match for the longer one's paths.
      {"volume 10 besides volume 1", {{'d', "\\Device\\HarddiskVolume10"}},
       "\\Device\\HarddiskVolume10\\x", {"d:\\x"}},
      {"volume 12 besides volume 1", {{'e', "\\Device\\HarddiskVolume12"}},
       "\\Device\\HarddiskVolume12\\Users\\x\\NTUSER.DAT", {"e:\\Users\\x\\NTUSER.DAT"}},
      {"a later letter meets the replaced path", {{'e', "c:"}}, "\\Device\\HarddiskVolume1\\x",
       {"c:\\x", "e:\\x"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    for (const auto &drive : row.drives) sim::AddDrive(drive.first, drive.second);
    EXPECT_EQ(MapToDrivePath(row.path), row.expected);
  }
}

}  // namespace
