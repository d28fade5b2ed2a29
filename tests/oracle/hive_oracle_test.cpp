// The hive files against the distribution's own hive parsers: libregf's regfexport judges every
// sound and damaged file that the check judges, and hivexsh and regfexport read back what the
// simulated RegSaveKey wrote. The parsers run as programs on real files in a temporary folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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
    std::filesystem::remove_all(folder_);
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

}  // namespace
