// Splitting key paths into root and sub-key, and the format box for a malformed path.
#include "services/key_path.h"

#include <gtest/gtest.h>

#include "sim_test.h"

namespace {

class KeyPathTest : public SimTest {};

TEST_F(KeyPathTest, RootNamesMatchByteForByte) {
  struct Row {
    const char *name;
    HKEY root;
  } rows[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},
      {"HKEY_Local_Machine", nullptr},
      {"HKEY_USERS ", nullptr},
      {"HKLM", nullptr},
      {"", nullptr},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RootKeyFromName(row.name), row.root);
  }
  // The root key values are 32-bit: HKEY_LOCAL_MACHINE is 0x80000002.
  EXPECT_EQ(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(RootKeyFromName("HKEY_LOCAL_MACHINE"))),
      0x80000002u);
}

TEST_F(KeyPathTest, Split) {
  struct Row {
    const char *name;
    std::string path;
    bool ok;
    HKEY root;
    std::string subKey;
  } rows[] = {
      // name, key path, parsed, root, sub-key
      {"machine hive", "HKEY_LOCAL_MACHINE\\SOFTWARE", true, HKEY_LOCAL_MACHINE, "SOFTWARE"},
      {"later backslashes stay", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist",
       true, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\hivelist"},
      {"root alone", "HKEY_USERS", true, HKEY_USERS, ""},
      {"doubled backslash", "HKEY_LOCAL_MACHINE\\\\SOFTWARE", true, HKEY_LOCAL_MACHINE,
       "\\SOFTWARE"},
      {"prefix alone", "HKEY_", true, nullptr, ""},
      {"case of a later letter", "HKEY_Users\\s-1-5-18", true, nullptr, "s-1-5-18"},
      {"made-up root", "HKEY_NOWHERE\\Sub\\Key", true, nullptr, "Sub\\Key"},
      {"trailing backslash", "HKEY_USERS\\", false, nullptr, ""},
      {"lower-case prefix", "hkey_local_machine\\SOFTWARE", false, nullptr, ""},
      {"shorter than the prefix", "HKEY", false, nullptr, ""},
      {"empty", "", false, nullptr, ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    if (!row.ok) sim::AnswerMessageBox(IDOK);
    const std::optional<KeyPath> parsed = ParseKeyPath(row.path);
    ASSERT_EQ(parsed.has_value(), row.ok);
    if (row.ok) {
      EXPECT_EQ(parsed->root, row.root);
      EXPECT_EQ(parsed->subKey, row.subKey);
      EXPECT_TRUE(sim::MessageBoxes().empty());
      continue;
    }
    ASSERT_EQ(sim::MessageBoxes().size(), 1u);
    const sim::MessageBoxRecord &box = sim::MessageBoxes()[0];
    EXPECT_EQ(box.text, "Falsches Format:\x0A\x0A" + row.path);  // two line feeds, no CR
    EXPECT_EQ(box.caption, "Schlüssel-Parser");
    EXPECT_EQ(box.style, 0u);
    EXPECT_EQ(box.owner, nullptr);
  }
}

}  // namespace
