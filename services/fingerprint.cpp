// SHA-256 of files through CNG, and the fingerprint list of a backup set ("SHA256SUMS").
#include "services/fingerprint.h"

#include "services/file_helpers.h"
#include "services/handles.h"
#include "services/text_ops.h"

namespace {

const DWORD kReadBlock = 1 << 20;          // the files are read in blocks of 1 MiB
const ULONG kDigestSize = 32;              // SHA-256
const size_t kHashDigits = 2 * kDigestSize;
const DWORD kLargestList = 4 << 20;        // far beyond the lines of thousands of user hives

bool Fail(FingerprintError *error, DWORD code, const char *call) {
  error->code = code;
  error->call = call;
  return false;
}

bool IsLowerHex(const std::string &text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// The whole file into *bytes; false when it cannot be read or is larger than limit.
bool ReadWhole(const std::string &path, DWORD limit, std::string *bytes, FingerprintError *error, bool *tooLarge) {
  *tooLarge = false;
  if (!FitsBuffer(path, MAX_PATH)) return Fail(error, ERROR_FILENAME_EXCED_RANGE, "CreateFile");
  HandleOwner file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail(error, GetLastError(), "CreateFile");
  bytes->clear();
  std::string block(64 * 1024, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) {
      return Fail(error, GetLastError(), "ReadFile");
    }
    if (read == 0) return true;
    if (bytes->size() + read > limit) {
      *tooLarge = true;
      return false;
    }
    bytes->append(block.data(), read);
  }
}

}  // namespace

Sha256Stream::Sha256Stream() {
  NTSTATUS status = BCryptOpenAlgorithmProvider(algorithm_.Receive(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) {
    Fail(&error_, static_cast<DWORD>(status), "BCryptOpenAlgorithmProvider");
    return;
  }
  status = BCryptCreateHash(algorithm_.Get(), hash_.Receive(), nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) Fail(&error_, static_cast<DWORD>(status), "BCryptCreateHash");
}

void Sha256Stream::Add(const unsigned char *bytes, DWORD size) {
  if (error_.code != 0 || size == 0) return;
  // CNG takes a non-const buffer but only reads it.
  const NTSTATUS status = BCryptHashData(hash_.Get(), const_cast<unsigned char *>(bytes), size, 0);
  if (!BCRYPT_SUCCESS(status)) Fail(&error_, static_cast<DWORD>(status), "BCryptHashData");
}

std::string Sha256Stream::Finish(FingerprintError *error) {
  unsigned char digest[kDigestSize];
  if (error_.code == 0) {
    const NTSTATUS status = BCryptFinishHash(hash_.Get(), digest, kDigestSize, 0);
    if (!BCRYPT_SUCCESS(status)) Fail(&error_, static_cast<DWORD>(status), "BCryptFinishHash");
  }
  if (error_.code != 0) {
    *error = error_;
    return "";
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string HashFile(const std::string &path, FingerprintError *error) {
  if (!FitsBuffer(path, MAX_PATH)) {
    Fail(error, ERROR_FILENAME_EXCED_RANGE, "CreateFile");
    return "";
  }
  // Another program may hold the file open (a scanner, an indexer): reading is still allowed. A file
  // that someone writes meanwhile gives another hash, which fails the comparison, never passes it.
  HandleOwner file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Fail(error, GetLastError(), "CreateFile");
    return "";
  }
  Sha256Stream hash;
  std::vector<unsigned char> block(kReadBlock);
  while (!hash.Failed()) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), block.data(), kReadBlock, &read, nullptr)) {
      Fail(error, GetLastError(), "ReadFile");
      return "";
    }
    if (read == 0) break;
    hash.Add(block.data(), read);
  }
  return hash.Finish(error);
}

bool WriteFingerprint(const std::string &path, const std::string &tempPath,
                      const std::vector<FingerprintLine> &lines, FingerprintError *error) {
  if (!FitsBuffer(path, MAX_PATH) || !FitsBuffer(tempPath, MAX_PATH)) {
    return Fail(error, ERROR_FILENAME_EXCED_RANGE, "CreateFile");
  }
  std::string text;
  for (const FingerprintLine &line : lines) text += line.hash + "  " + line.name + "\r\n";
  // The temporary name is the run's own and new (CREATE_NEW): no one else's file is replaced.
  {
    HandleOwner file(CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(error, GetLastError(), "CreateFile");
    DWORD written = 0;
    bool ok = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
    if (!ok) Fail(error, GetLastError(), "WriteFile");
    if (ok && written != text.size()) ok = Fail(error, ERROR_HANDLE_DISK_FULL, "WriteFile");
    const LONG closed = file.Close();
    if (ok && closed != ERROR_SUCCESS) ok = Fail(error, static_cast<DWORD>(closed), "CloseHandle");
    if (!ok) {
      ForceDelete(tempPath);
      return false;
    }
  }
  // A rename replaces no read-only file.
  if (PathExists(path) == 1) SetAttributes(path, 0);
  if (!MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    Fail(error, GetLastError(), "MoveFileEx");
    ForceDelete(tempPath);
    return false;
  }
  return true;
}

FingerprintState ReadFingerprint(const std::string &path, std::vector<FingerprintLine> *lines,
                                 FingerprintError *error) {
  lines->clear();
  if (PathExists(path) != 1) return FingerprintState::Missing;
  std::string text;
  bool tooLarge = false;
  if (!ReadWhole(path, kLargestList, &text, error, &tooLarge)) {
    return tooLarge ? FingerprintState::Damaged : FingerprintState::Unreadable;
  }
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return FingerprintState::Damaged;  // cut in the middle of a line
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.size() < kHashDigits + 3 || line.compare(kHashDigits, 2, "  ") != 0) return FingerprintState::Damaged;
    FingerprintLine entry{line.substr(0, kHashDigits), line.substr(kHashDigits + 2)};
    if (!IsLowerHex(entry.hash) || !IsPlainFileName(entry.name)) return FingerprintState::Damaged;
    for (const FingerprintLine &earlier : *lines) {
      if (SameNameNoCase(earlier.name, entry.name)) return FingerprintState::Damaged;
    }
    lines->push_back(entry);
  }
  return FingerprintState::Good;
}
