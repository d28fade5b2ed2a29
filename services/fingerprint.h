// The fingerprint of a backup set: SHA-256 of each file through the system's CNG (bcrypt.dll), and
// the list of them as `sha256sum` writes and reads it ("SHA256SUMS": 64 lower-case hex digits, two
// blanks, the file name, CR LF).
#pragma once

#include <string>
#include <vector>

#include "platform.h"
#include "services/handles.h"

// A failure: the system's code (a Win32 error, or the NTSTATUS of a CNG call) and the call.
struct FingerprintError {
  DWORD code = 0;
  const char *call = "";
};

// SHA-256 through CNG, fed in pieces as a file is read. A failed CNG call is kept and reported by
// Finish; the pieces after it are not hashed.
class Sha256Stream {
 public:
  Sha256Stream();
  Sha256Stream(const Sha256Stream &) = delete;
  Sha256Stream &operator=(const Sha256Stream &) = delete;

  void Add(const unsigned char *bytes, DWORD size);
  bool Failed() const { return error_.code != 0; }
  // The digest as 64 lower-case hex digits; "" with *error set when a CNG call failed.
  std::string Finish(FingerprintError *error);

 private:
  CngAlgorithmOwner algorithm_;
  CngHashOwner hash_;
  FingerprintError error_;
};

// The SHA-256 of the file's bytes as 64 lower-case hex digits, read once in large blocks. "" with
// *error set when the file cannot be read or hashed.
std::string HashFile(const std::string &path, FingerprintError *error);

struct FingerprintLine {
  std::string hash;  // 64 lower-case hex digits
  std::string name;  // a plain file name in the list's folder
};

// Writes the lines into tempPath and renames it over path, so that a failed write leaves no half
// list under the list's name (an earlier list stays as it was). False with *error set on failure;
// the temporary file is removed then.
bool WriteFingerprint(const std::string &path, const std::string &tempPath,
                      const std::vector<FingerprintLine> &lines, FingerprintError *error);

enum class FingerprintState {
  Missing,     // no file of that name
  Good,        // read, every line well-formed
  Damaged,     // a line that is not "hash  name" CR LF, a name twice, or too large a file
  Unreadable,  // cannot be opened or read (error holds the code)
};

// Reads a list that WriteFingerprint wrote. Each name is one plain file name (IsPlainFileName), no
// two the same without regard to case.
FingerprintState ReadFingerprint(const std::string &path, std::vector<FingerprintLine> *lines,
                                 FingerprintError *error);
