// Fuzzes the Startup folder rules: an arbitrary "Startup" shell folder value (any type, any bytes,
// or none) and an arbitrary profile folder, then the clean-up script written into the folder found.
// The folder never holds a NUL byte, and a script that could be written ends in its two closing
// lines, the "cd /d" line naming the folder lower-cased with "ü" as the console's byte.
// Input: a kind byte at the end (bit 0: USERPROFILE is set, bit 1: the value is written, kind >> 2:
// its type), from the front the profile folder as a FuzzedDataProvider string (backslashes doubled,
// ended by a backslash and one other byte), and the rest as the value's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdexcept>

#include "fuzz_support.h"
#include "workflows/cleanup_script.h"

namespace {

const char *const kShellFolders =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t kind = input.ConsumeIntegral<uint8_t>();
  const std::string profile = input.ConsumeRandomLengthString(300);
  const std::string value = input.ConsumeRemainingBytesAsString();

  sim::Reset();
  std::vector<std::string> environment = {"SystemRoot=C:\\WINDOWS"};
  if (kind & 1) environment.push_back("USERPROFILE=" + UpToNul(profile));
  sim::SetEnvironment(environment);
  ReadEnvironmentBlock();
  if (kind & 2) sim::SetRegValue(kShellFolders, "Startup", kTypes[(kind >> 2) % 5], value);

  const std::string folder = FindStartupFolder();
  FUZZ_CHECK(folder.find('\0') == std::string::npos);

  // Where the folder is a place the file system can hold, it is made, so that the script is written.
  try {
    sim::MakeFolders(folder);
  } catch (const std::invalid_argument &) {
  }
  {
    TextFile cleanup;
    CleanupScript::Open(cleanup, folder);
    CleanupScript::AddHive(cleanup, "C:\\WINDOWS\\System32\\config", "SOFTWARE");
    CleanupScript::Finish(cleanup, folder);
  }

  const std::string script = sim::FileBytes(folder + "\\dellog.bat");
  if (!script.empty()) {
    const std::string log = "\"C:\\WINDOWS\\System32\\config\\SOFTWARE.tmp.log\"\r\n";
    const std::string head = "attrib -r -s -h " + log + "del " + log + "cd /d \"";
    const std::string tail = "\"\r\ndel /f dellog.bat\r\n";
    FUZZ_CHECK(script.size() >= head.size() + tail.size());
    FUZZ_CHECK(script.compare(0, head.size(), head) == 0);
    FUZZ_CHECK(script.compare(script.size() - tail.size(), tail.size(), tail) == 0);
    const std::string named = script.substr(head.size(), script.size() - head.size() - tail.size());
    FUZZ_CHECK(named.size() == folder.size());
    for (char c : named) FUZZ_CHECK(c != '\xFC' && !(c >= 'A' && c <= 'Z'));
  }
  return 0;
}
