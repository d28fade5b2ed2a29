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
  const HKEY before = HKEY_CURRENT_CONFIG;  // what the caller's root held before the parse
  struct Row {
    const char *name;
    std::string path;
    bool ok;
    HKEY root;
    std::string rest;  // the key path afterwards
  } rows[] = {
      // name, key path, parsed, root afterwards, key path afterwards
      {"machine hive", "HKEY_LOCAL_MACHINE\\SOFTWARE", true, HKEY_LOCAL_MACHINE, "SOFTWARE"},
      {"later backslashes stay", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\hivelist",
       true, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\hivelist"},
      {"root alone", "HKEY_USERS", true, HKEY_USERS, ""},
      {"doubled backslash", "HKEY_LOCAL_MACHINE\\\\SOFTWARE", true, HKEY_LOCAL_MACHINE,
       "\\SOFTWARE"},
      {"prefix alone", "HKEY_", true, nullptr, ""},
      {"case of a later letter", "HKEY_Users\\s-1-5-18", true, nullptr, "s-1-5-18"},
      {"made-up root", "HKEY_NOWHERE\\Sub\\Key", true, nullptr, "Sub\\Key"},
      {"trailing backslash", "HKEY_USERS\\", false, before, "HKEY_USERS\\"},
      {"lower-case prefix", "hkey_local_machine\\SOFTWARE", false, before,
       "hkey_local_machine\\SOFTWARE"},
      {"shorter than the prefix", "HKEY", false, before, "HKEY"},
      {"empty", "", false, before, ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ResetForNextRow();
    if (!row.ok) sim::AnswerMessageBox(IDOK);
    std::string path = row.path;
    HKEY root = before;
    EXPECT_EQ(ParseKeyPath(path, root), row.ok);
    EXPECT_EQ(root, row.root);
    EXPECT_EQ(path, row.rest);
    if (row.ok) {
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

TEST_F(KeyPathTest, SharedRootKeepsThePreviousParseAfterAFormatError) {
  std::string first = "HKEY_USERS\\s-1-5-18";
  ASSERT_TRUE(ParseKeyPath(first, g_parsedRoot));
  std::string malformed = "HKEY_LOCAL_MACHINE\\";
  sim::AnswerMessageBox(IDOK);
  EXPECT_FALSE(ParseKeyPath(malformed, g_parsedRoot));
  EXPECT_EQ(g_parsedRoot, HKEY_USERS);
}

}  // namespace
