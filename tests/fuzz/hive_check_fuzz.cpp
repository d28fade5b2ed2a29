// Fuzzes the hive file check with arbitrary file contents (the seeds are hives as the simulated
// kernel saves them, so that mutations reach the bins, cells and key tree). Properties: a file the
// check calls good in the registry's own format is one the simulated kernel loads (a restore puts
// in place only what the system can load); a file good as a machine hive is good as a user hive
// too, and only then gets a fingerprint; a file is empty exactly when it has no bytes.
// Input: the file's bytes.
#include <string>

#include "fuzz_support.h"
#include "services/hive_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const std::string file = "C:\\Sicherung\\SOFTWARE";
  sim::PutFile(file, bytes);

  const HiveFileCheck asUser = CheckHiveFile(file);
  std::string sha256;
  const HiveFileCheck asMachine = CheckHiveFile(file, "SOFTWARE", &sha256);
  FUZZ_CHECK((asUser.state == HiveFileState::Empty) == bytes.empty());
  FUZZ_CHECK(asUser.state != HiveFileState::Good || HiveFileReason(asUser).empty());
  FUZZ_CHECK(asUser.state == HiveFileState::Good || !HiveFileReason(asUser).empty());
  FUZZ_CHECK(asMachine.state != HiveFileState::Good || asUser.state == HiveFileState::Good);
  FUZZ_CHECK((asMachine.state == HiveFileState::Good) == (sha256.size() == 64));
  if (asUser.state == HiveFileState::Good && bytes.compare(0, 4, "regf") == 0) {
    FUZZ_CHECK(!sim::HiveFileSnapshot(file).empty());
  }
  return 0;
}
