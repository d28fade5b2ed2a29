// CNG hashing (bcrypt.dll): SHA-256 through an algorithm provider and hash objects that the
// provider allocates, with the known-answer vectors of FIPS 180-4 and the error paths Brovink's
// fingerprint relies on.
#include <cstring>
#include <string>

#include "check.h"

namespace conf {
namespace {

const NTSTATUS kSuccess = 0;
const NTSTATUS kInvalidHandle = static_cast<NTSTATUS>(0xC0000008);
const NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kNotFound = static_cast<NTSTATUS>(0xC0000225);

std::string Hex(const unsigned char *bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; i++) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

// The digest of `count` pieces of `piece`, each handed to BCryptHashData on its own.
std::string Digest(BCRYPT_ALG_HANDLE algorithm, const std::string &piece, size_t count) {
  BCRYPT_HASH_HANDLE hash = reinterpret_cast<BCRYPT_HASH_HANDLE>(static_cast<uintptr_t>(0xdeadbeef));
  NTSTATUS status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  ok(status == kSuccess && hash != nullptr, "BCryptCreateHash: %08lx", (unsigned long)status);
  if (status != kSuccess) return "";
  for (size_t i = 0; i < count; i++) {
    status = BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char *>(piece.data())),
                            static_cast<ULONG>(piece.size()), 0);
    if (status != kSuccess) break;
  }
  ok(status == kSuccess, "BCryptHashData: %08lx", (unsigned long)status);
  unsigned char digest[32];
  memset(digest, 0xAA, sizeof digest);
  status = BCryptFinishHash(hash, digest, sizeof digest, 0);
  ok(status == kSuccess, "BCryptFinishHash: %08lx", (unsigned long)status);
  status = BCryptDestroyHash(hash);
  ok(status == kSuccess, "BCryptDestroyHash: %08lx", (unsigned long)status);
  return Hex(digest, sizeof digest);
}

void CheckKnownAnswers(BCRYPT_ALG_HANDLE algorithm) {
  struct Row {
    const char *name;
    std::string piece;
    size_t count;
    const char *digest;
  };
  const Row rows[] = {
      {"the empty message", "", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"\"abc\"", "abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"448 bits, padded into a second block", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million \"a\", in pieces of 1000", std::string(1000, 'a'), 1000,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"a million \"a\" at once", std::string(1000000, 'a'), 1,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Row &row : rows) {
    const std::string digest = Digest(algorithm, row.piece, row.count);
    ok(digest == row.digest, "SHA-256 of %s: %s", row.name, digest.c_str());
  }

  // The pieces may end anywhere: "abc" in three calls gives the digest of "abc".
  BCRYPT_HASH_HANDLE hash = nullptr;
  BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  for (char c : std::string("abc")) BCryptHashData(hash, reinterpret_cast<PUCHAR>(&c), 1, 0);
  unsigned char digest[32];
  BCryptFinishHash(hash, digest, sizeof digest, 0);
  BCryptDestroyHash(hash);
  ok(Hex(digest, sizeof digest) == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "SHA-256 of \"abc\" a byte at a time: %s", Hex(digest, sizeof digest).c_str());
}

void CheckErrors(BCRYPT_ALG_HANDLE algorithm) {
  // The output must be the digest's size exactly; the buffer is left as it was.
  BCRYPT_HASH_HANDLE hash = nullptr;
  NTSTATUS status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  ok(status == kSuccess, "BCryptCreateHash: %08lx", (unsigned long)status);
  unsigned char digest[33];
  memset(digest, 0xAA, sizeof digest);
  status = BCryptFinishHash(hash, digest, 31, 0);
  ok(status == kInvalidParameter && digest[0] == 0xAA, "BCryptFinishHash into 31 bytes: %08lx", (unsigned long)status);
  status = BCryptFinishHash(hash, digest, 33, 0);
  ok(status == kInvalidParameter && digest[0] == 0xAA, "BCryptFinishHash into 33 bytes: %08lx", (unsigned long)status);
  status = BCryptHashData(hash, nullptr, 0, 0);
  ok(status == kSuccess, "BCryptHashData of nothing: %08lx", (unsigned long)status);
  status = BCryptFinishHash(hash, digest, 32, 0);
  ok(status == kSuccess && Hex(digest, 32) == "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "BCryptFinishHash after the failed ones: %08lx %s", (unsigned long)status, Hex(digest, 32).c_str());
  BCryptDestroyHash(hash);

  // No handle: STATUS_INVALID_HANDLE from every call that takes one.
  status = BCryptCreateHash(nullptr, &hash, nullptr, 0, nullptr, 0, 0);
  ok(status == kInvalidHandle, "BCryptCreateHash without a provider: %08lx", (unsigned long)status);
  status = BCryptHashData(nullptr, digest, 1, 0);
  ok(status == kInvalidHandle, "BCryptHashData without a hash: %08lx", (unsigned long)status);
  status = BCryptFinishHash(nullptr, digest, 32, 0);
  ok(status == kInvalidHandle, "BCryptFinishHash without a hash: %08lx", (unsigned long)status);
  status = BCryptDestroyHash(nullptr);
  ok(status == kInvalidParameter, "BCryptDestroyHash without a hash: %08lx", (unsigned long)status);
  status = BCryptCloseAlgorithmProvider(nullptr, 0);
  ok(status == kInvalidHandle, "BCryptCloseAlgorithmProvider without a provider: %08lx", (unsigned long)status);
}

}  // namespace

void CheckCrypto() {
  BCRYPT_ALG_HANDLE algorithm = reinterpret_cast<BCRYPT_ALG_HANDLE>(static_cast<uintptr_t>(0xdeadbeef));
  NTSTATUS status = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  ok(status == kSuccess && algorithm != nullptr, "BCryptOpenAlgorithmProvider SHA256: %08lx", (unsigned long)status);
  if (status != kSuccess) return;
  CheckKnownAnswers(algorithm);
  CheckErrors(algorithm);
  status = BCryptCloseAlgorithmProvider(algorithm, 0);
  ok(status == kSuccess, "BCryptCloseAlgorithmProvider: %08lx", (unsigned long)status);

  // An algorithm that does not exist.
  const WCHAR unknown[] = {'N', 'O', 'S', 'U', 'C', 'H', 'H', 'A', 'S', 'H', 0};
  BCRYPT_ALG_HANDLE none = nullptr;
  status = BCryptOpenAlgorithmProvider(&none, unknown, nullptr, 0);
  if (!skip_on_wine(UnknownAlgorithmNotImplemented)) {
    ok(status == kNotFound && none == nullptr, "BCryptOpenAlgorithmProvider of an unknown algorithm: %08lx",
       (unsigned long)status);
  }
  if (status == kSuccess) BCryptCloseAlgorithmProvider(none, 0);
}

}  // namespace conf
