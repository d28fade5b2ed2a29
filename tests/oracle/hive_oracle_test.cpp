// The hive files against the distribution's own hive parsers: libregf's regfexport judges every
// sound and damaged file that the check judges, and hivexsh and regfexport read back what the
// simulated RegSaveKey wrote. The parsers run as programs on real files in a temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>

#include "hive_damage.h"
#include "services/hive_file_check.h"
#include "sim_test.h"

namespace {

// The parser's output (stdout and stderr) and exit status.
std::string RunTool(const std::string &command, int *status) {
  std::string output;
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

std::string Quoted(const std::string &path) { return "'" + path + "'"; }

// Where the check is stricter than libregf, and why. libregf is a forensic reader: it reads what
// it can, leaves out a value it cannot reach and still exits with 0; where it drops data, its export
// differs from that of the sound file, which the test confirms.
struct Stricter {
  const char *why;
  bool libregfDropsData;
};
const std::map<std::string, Stricter> kStricter = {
    {"sequence numbers differ (a save that did not finish)",
     {"a hive whose sequence numbers differ was being written when the save stopped; Windows loads it "
      "only by replaying its log, which a backup set does not have", false}},
    {"major version 2", {"Windows writes and loads only version 1 of the format (1.2 to 1.6)", false}},
    {"value list entry outside the data",
     {"libregf leaves the value out; the loader refuses the hive, and a restore would lose the value", true}},
    {"big data segment list at nothing",
     {"libregf leaves the value's data out; the loader refuses the hive", true}},
    {"a value listed twice",
     {"libregf lists the value twice; a value belongs to one key once, and a restore would put the "
      "hive in place with one cell in two places", false}},
    {"an ri that lists one leaf twice",
     {"libregf lists those sub-keys twice; a key reached twice would be loaded twice", false}},
    {"sub-key count larger than its list",
     {"libregf takes the index as it stands; the loader refuses a key whose count and index disagree", false}},
};

class HiveOracleTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    char pattern[] = "/tmp/brovink_oracle_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    if (!getenv("BROVINK_ORACLE_KEEP")) std::filesystem::remove_all(folder_);
    SimTest::TearDown();
  }

  std::string WriteReal(const std::string &name, const std::string &bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::string ReadReal(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // libregf's verdict: regfexport walks the whole tree and every value, and fails on a fault. It
  // follows a loop in the key tree for ever (libregf 20201007): a run that does not end is no
  // acceptance.
  bool LibregfAccepts(const std::string &bytes, std::string *output) {
    int status = 0;
    *output = RunTool("timeout 5 regfexport " + Quoted(WriteReal("judged", bytes)), &status);
    if (status == 124) *output = "regfexport did not end within 5 seconds";
    return status == 0;
  }

  bool CheckAccepts(const std::string &bytes) {
    sim::PutFile("C:\\Judged", bytes);
    return CheckHiveFile("C:\\Judged").state == HiveFileState::Good;
  }

  // A hive written by hivex: the simulation's SAM with keys and values that hivexsh adds and
  // commits, which grows it into a second hive bin.
  std::string HivexHive() {
    const std::string path = WriteReal("hivex", sim::HiveSnapshot("HKLM\\SAM"));
    std::string script = "add Neu\ncd Neu\nsetval 3\nText\nstring:Gruesse\nZahl\ndword:0x1234\n"
                         "Bin\nhex:3:0102ff0a0b0c\n";
    for (int i = 0; i < 4; i++) script += "add Unter" + std::to_string(i) + "\n";
    script += "commit\n";
    const std::string scriptPath = WriteReal("hivex.script", script);
    int status = 0;
    const std::string output = RunTool("hivexsh -w " + Quoted(path) + " < " + Quoted(scriptPath), &status);
    EXPECT_EQ(status, 0) << output;
    return ReadReal(path);
  }

  std::string LargeSimulatedHive() {
    for (int i = 0; i < 600; i++) sim::SetRegDword("HKLM\\SOFTWARE\\Viele\\K" + std::to_string(i), "Nummer", static_cast<DWORD>(i));
    sim::SetRegValue("HKLM\\SOFTWARE\\Gross", "Daten", REG_BINARY, std::string(40000, '\x5A'));
    return sim::HiveSnapshot("HKLM\\SOFTWARE");
  }

  std::string folder_;
};

// Every row: the check and libregf agree on accept or reject, unless the row is one where the
// check is stricter, which then must be the only difference.
TEST_F(HiveOracleTest, CheckAgreesWithLibregfOnSoundAndDamagedFiles) {
  const std::pair<const char *, std::string> genuine[] = {
      {"hivexsh", HivexHive()},
      {"simulated SAM", sim::HiveSnapshot("HKLM\\SAM")},
      {"simulated SOFTWARE with ri and db", LargeSimulatedHive()},
  };
  ASSERT_GT(genuine[0].second.size(), 8192u) << "hivex grows the SAM into a second bin";
  for (const auto &[source, sound] : genuine) {
    SCOPED_TRACE(source);
    std::string output, soundExport;
    EXPECT_TRUE(LibregfAccepts(sound, &soundExport)) << soundExport;
    EXPECT_TRUE(CheckAccepts(sound));
    for (const hive_damage::Damage &damage : hive_damage::Damages()) {
      SCOPED_TRACE(damage.name);
      std::string bytes = sound;
      if (!damage.apply(bytes)) continue;
      const bool libregf = LibregfAccepts(bytes, &output), ours = CheckAccepts(bytes);
      const auto stricter = kStricter.find(damage.name);
      if (stricter != kStricter.end()) {
        EXPECT_FALSE(ours) << "stricter row: " << stricter->second.why;
        EXPECT_TRUE(libregf) << "libregf now refuses it too; the row need not say why any more";
        if (stricter->second.libregfDropsData) {
          EXPECT_NE(output, soundExport) << "libregf read it all";
        }
      } else {
        EXPECT_EQ(ours, libregf) << "libregf says:\n" << output.substr(0, 2000);
      }
    }
  }
}

// What hivexsh shows of a value: "name"= and the data as hivex formats it (strings decoded from
// UTF-16 with \ and " escaped, dword in hex digits, everything else as hex(type): bytes).
std::string HivexLine(const std::string &name, DWORD type, const std::string &ansi) {
  std::string line = "\"" + (name.empty() ? std::string("@") : name) + "\"=";
  std::string text;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    for (char c : ansi.substr(0, ansi.find('\0'))) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (c == '\\' || c == '"') text += '\\';
      if (u == 0x80) {
        text += "\xE2\x82\xAC";  // the euro sign, the one byte of the tests' strings beyond Latin-1
      } else if (u >= 0x80) {
        text += static_cast<char>(0xC0 | u >> 6);
        text += static_cast<char>(0x80 | (u & 0x3F));
      } else {
        text += c;
      }
    }
    return line + (type == REG_SZ ? "\"" + text + "\"" : "str(2):\"" + text + "\"");
  }
  char hex[16];
  if (type == REG_DWORD) {
    DWORD value = 0;
    memcpy(&value, ansi.data(), 4);
    snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(value));
    return line + hex;
  }
  std::string bytes = ansi;
  if (type == REG_MULTI_SZ) {  // stored in UTF-16 (the tests' lists are ASCII)
    bytes.clear();
    for (char c : ansi) bytes += std::string(1, c) + '\0';
  }
  snprintf(hex, sizeof hex, "hex(%u):", static_cast<unsigned>(type));
  line += hex;
  for (size_t i = 0; i < bytes.size(); i++) {
    snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", static_cast<unsigned char>(bytes[i]));
    line += hex;
  }
  return line;
}

// The simulation's saved hive read by hivex and libregf: every key, value name, type and data as
// the simulated registry held them.
TEST_F(HiveOracleTest, SimulatedSavesReadBackInHivexAndLibregf) {
  struct Value {
    const char *name;
    DWORD type;
    std::string data;
  };
  const Value values[] = {
      {"Text", REG_SZ, std::string("Gr\xFC\xDF" "e \x80 \\\"x\"\0", 13)},
      {"Pfad", REG_EXPAND_SZ, std::string("%SystemRoot%\\System32\0", 22)},
      {"Liste", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
      {"Zahl", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
      {"Drei", REG_BINARY, std::string("\x01\x02\xFF", 3)},
      {"Leer", REG_NONE, ""},
      {"Mittel", REG_BINARY, std::string(300, '\x81')},
      {"", REG_BINARY, std::string(40000, 'z')},  // big data in db segments
  };
  const std::string key = "HKLM\\SOFTWARE\\Typen \xFC";
  for (const Value &value : values) sim::SetRegValue(key, value.name, value.type, value.data);
  for (int i = 0; i < 600; i++) sim::SetRegDword("HKLM\\SOFTWARE\\Viele\\K" + std::to_string(i), "Nummer", 1);
  const std::string path = WriteReal("SOFTWARE", sim::HiveSnapshot("HKLM\\SOFTWARE"));

  std::string expected, script = "cd \\Typen \xC3\xBC\nlsval\ncd \\Viele\nls\ncd \\Viele\\K599\nlsval\n"
                                 "cd \\Microsoft\\Windows NT\\CurrentVersion\nlsval\nls\ncd \\\nls\n";
  for (const Value &value : values) expected += HivexLine(value.name, value.type, value.data) + "\n";
  std::vector<std::string> many;
  for (int i = 0; i < 600; i++) many.push_back("K" + std::to_string(i));
  std::sort(many.begin(), many.end());  // hivex lists the index's order: names sorted without case
  for (const std::string &name : many) expected += name + "\n";
  expected += "\"Nummer\"=dword:00000001\n";
  expected += "\"ProductName\"=\"Microsoft Windows XP\"\n\"CurrentVersion\"=\"5.1\"\n"
              "\"SystemRoot\"=\"C:\\\\WINDOWS\"\nSetup\n";
  expected += "Classes\nMicrosoft\nTypen \xC3\xBC\nViele\n";
  int status = 0;
  const std::string shown = RunTool("hivexsh " + Quoted(path) + " < " + Quoted(WriteReal("read.script", script)), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(shown, expected);

  const std::string exported = RunTool("regfexport " + Quoted(path), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(exported.find("Is corrupted"), std::string::npos) << exported.substr(0, 4000);
  // Value names, types and sizes as stored (string data in UTF-16: two bytes per character).
  const char *const typeNames[] = {"undefined (REG_NONE)", "string (REG_SZ)", "expandable string (REG_EXPAND_SZ)",
                                   "binary data (REG_BINARY)", "32-bit integer little-endian (REG_DWORD_LITTLE_ENDIAN)",
                                   "", "", "multi-value string (REG_MULTI_SZ)"};
  for (size_t i = 0; i < std::size(values); i++) {
    const Value &value = values[i];
    const bool utf16 = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    const std::string entry = "Value: " + std::to_string(i) + " " + (*value.name ? value.name : "(default)") +
                              "\nType: " + typeNames[value.type] + "\nData size: " +
                              std::to_string(value.data.size() * (utf16 ? 2 : 1)) + "\n";
    EXPECT_NE(exported.find(entry), std::string::npos) << entry;
  }
  EXPECT_NE(exported.find("Key path: SOFTWARE\\Viele\\K599\n"), std::string::npos);
}

}  // namespace
