// Fuzzes the key-path parser with arbitrary bytes: a well-formed path splits at its first
// backslash into the root of the name before it and the rest; any other text shows the format box
// once and gives nothing.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "services/key_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FreshMachine();
  const std::string original(reinterpret_cast<const char *>(data), size);
  const std::optional<KeyPath> parsed = ParseKeyPath(original);

  const bool wellFormed = original.compare(0, 5, "HKEY_") == 0 && original.back() != '\\';
  FUZZ_CHECK(parsed.has_value() == wellFormed);
  const auto &boxes = sim::MessageBoxes();
  if (parsed) {
    FUZZ_CHECK(boxes.empty());
    const size_t slash = original.find('\\');
    FUZZ_CHECK(parsed->subKey == (slash == std::string::npos ? "" : original.substr(slash + 1)));
    FUZZ_CHECK(parsed->root == RootKeyFromName(original.substr(0, slash)));
  } else {
    FUZZ_CHECK(boxes.size() == 1);
    FUZZ_CHECK(boxes[0].owner == nullptr && boxes[0].style == MB_OK);
    FUZZ_CHECK(boxes[0].text == "Falsches Format:\n\n" + UpToNul(original));
    FUZZ_CHECK(boxes[0].caption == "Schl\xFCssel-Parser");
  }
  return 0;
}
