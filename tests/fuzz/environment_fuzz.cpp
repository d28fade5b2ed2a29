// Fuzzes the environment lookup: an arbitrary name looked up in an arbitrary environment block
// (entries separated by NUL bytes; an empty entry ends the block, as in Windows' block). A value
// found is always the rest of one entry after that name and its separator.
// Input: the name as a FuzzedDataProvider string (backslashes doubled, ended by a backslash and one
// other byte), then the block's entries separated by NUL bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <vector>

#include "fuzz_support.h"

namespace {

bool SameLetters(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    const bool letters = x < 0x80 && y < 0x80 && std::isalpha(x) && std::isalpha(y);
    if (letters ? std::toupper(x) != std::toupper(y) : x != y) return false;
  }
  return true;
}

// Some entry is exactly name, a separator and value.
bool ComesFromAnEntry(const std::vector<std::string> &block, const std::string &name,
                      const std::string &value) {
  for (const std::string &entry : block) {
    if (entry.size() != name.size() + 1 + value.size()) continue;
    if (!SameLetters(entry.substr(0, name.size()), name)) continue;
    const char separator = entry[name.size()];
    if ((separator == '=' || separator == ' ') && entry.compare(name.size() + 1, value.size(), value) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string name = input.ConsumeRandomLengthString(400);
  const std::string rest = input.ConsumeRemainingBytesAsString();

  std::vector<std::string> entries;
  for (size_t from = 0; from <= rest.size();) {
    const size_t end = std::min(rest.find('\0', from), rest.size());
    entries.push_back(rest.substr(from, end - from));
    from = end + 1;
  }
  std::vector<std::string> block;  // what a reader of the block sees: up to the first empty entry
  for (const std::string &entry : entries) {
    if (entry.empty()) break;
    block.push_back(entry);
  }

  sim::Reset();
  sim::SetEnvironment(entries);
  ReadEnvironmentBlock();
  for (const std::string &asked : {name, std::string("systemroot"), std::string("userprofile")}) {
    const std::string value = EnvironmentValue(asked);
    FUZZ_CHECK(value.empty() || ComesFromAnEntry(block, asked, value));
  }
  return 0;
}
