// The loaded-hive list walk and the mapping of device paths to drive letters.
#include <gtest/gtest.h>

#include <functional>
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

// Every entry is accounted for: one that cannot be read is a fault (it may be a user hive's), and
// the entries after it are still read. Machine hives' entries are none of the walk's business.
TEST_F(HiveListTest, EntriesThatCannotBeReadAreFaultsAndTheWalkGoesOn) {
  struct Row {
    const char *name;
    std::function<void()> setup;  // between the entries S-1-5-18 (first) and S-1-5-19 (last)
    std::string faults;            // "index name code restOfList;" each (the machine hives are 0 to 3)
    bool lastYielded;
  };
  const std::string longName = "\\REGISTRY\\USER\\" + std::string(250, 'L');
  const Row rows[] = {
      {"name longer than its buffer: named in full",
       [&] { sim::AddHiveListValue(longName, "\\Device\\HarddiskVolume1\\b"); }, "5 " + longName + " 234 0;", true},
      {"data longer than its buffer",
       [] { sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-21-7", "\\Device\\HarddiskVolume1\\" + std::string(300, 'd')); },
       "5 \\REGISTRY\\USER\\S-1-5-21-7 234 0;", true},
      {"a machine hive's long data is no fault",
       [] { sim::AddHiveListValue("\\REGISTRY\\MACHINE\\X", std::string(300, 'd')); }, "", true},
      {"a user hive's entry that is no text",
       [] { sim::SetRegValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist", "\\REGISTRY\\USER\\S-1-5-21-8", REG_BINARY, "\\D"); },
       "5 \\REGISTRY\\USER\\S-1-5-21-8 1629 0;", true},
      {"a machine hive's entry that is no text is no fault",
       [] { sim::SetRegValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist", "\\REGISTRY\\MACHINE\\Y", REG_DWORD, "1234"); },
       "", true},
      {"an enumeration that fails otherwise ends the walk there",
       [] { sim::FailCall("RegEnumValueA", ERROR_ACCESS_DENIED, 1); }, "1  5 1;", false},
      {"a list that cannot be opened",
       [] { sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED); }, "0  5 1;", false},
      {"no list at all: nothing to account for",
       [] { sim::DeleteRegKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist"); }, "", false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-18", "\\Device\\HarddiskVolume1\\a");
    row.setup();
    if (sim::RegKeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\hivelist")) {
      sim::AddHiveListValue("\\REGISTRY\\USER\\S-1-5-19", "\\Device\\HarddiskVolume1\\c");
    }
    std::vector<Hive> hives;
    std::string faults;
    WalkUserHives([&](const std::string &name, const std::string &file) { hives.emplace_back(name, file); },
                  [&](const HiveListFault &fault) {
                    faults += std::to_string(fault.index) + " " + fault.name + " " + std::to_string(fault.code) + " " +
                              (fault.restOfList ? "1" : "0") + ";";
                  });
    EXPECT_EQ(faults, row.faults);
    const bool listed = !hives.empty() && hives.back().first == "s-1-5-19";
    EXPECT_EQ(listed, row.lastYielded);
    EXPECT_EQ(sim::OpenKeyCount(), 0);
  }
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
