// bcrypt.dll's CNG hashing as far as SHA-256 goes: algorithm provider, hash objects that the
// provider allocates, and the digest of FIPS 180-4. HMAC and caller-supplied hash objects are not
// modelled and are refused.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "internal.h"
#include "simctl.h"

namespace {

const NTSTATUS kSuccess = 0;
const NTSTATUS kInvalidHandle = static_cast<NTSTATUS>(0xC0000008);
const NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kNotFound = static_cast<NTSTATUS>(0xC0000225);
const NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BB);

const ULONG kDigestSize = 32;

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

struct Sha256 {
  uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char block[64];
  size_t used = 0;
  uint64_t length = 0;  // bytes hashed so far
  bool finished = false;
};

uint32_t Rotate(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void Compress(Sha256 &h, const unsigned char *p) {
  uint32_t w[64];
  for (int i = 0; i < 16; i++) {
    w[i] = static_cast<uint32_t>(p[4 * i]) << 24 | static_cast<uint32_t>(p[4 * i + 1]) << 16 |
           static_cast<uint32_t>(p[4 * i + 2]) << 8 | p[4 * i + 3];
  }
  for (int i = 16; i < 64; i++) {
    const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h.state[0], b = h.state[1], c = h.state[2], d = h.state[3];
  uint32_t e = h.state[4], f = h.state[5], g = h.state[6], k = h.state[7];
  for (int i = 0; i < 64; i++) {
    const uint32_t t1 = k + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    k = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h.state[0] += a, h.state[1] += b, h.state[2] += c, h.state[3] += d;
  h.state[4] += e, h.state[5] += f, h.state[6] += g, h.state[7] += k;
}

void Update(Sha256 &h, const unsigned char *data, size_t size) {
  h.length += size;
  while (size > 0) {
    if (h.used == 0 && size >= 64) {
      Compress(h, data);
      data += 64;
      size -= 64;
      continue;
    }
    const size_t take = std::min(size, 64 - h.used);
    memcpy(h.block + h.used, data, take);
    h.used += take;
    data += take;
    size -= take;
    if (h.used == 64) {
      Compress(h, h.block);
      h.used = 0;
    }
  }
}

void Finish(Sha256 &h, unsigned char *digest) {
  const uint64_t bits = h.length * 8;
  const unsigned char one = 0x80, zero = 0;
  Update(h, &one, 1);
  while (h.used != 56) Update(h, &zero, 1);
  unsigned char tail[8];
  for (int i = 0; i < 8; i++) tail[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  Update(h, tail, 8);
  for (int i = 0; i < 8; i++) {
    for (int j = 0; j < 4; j++) digest[4 * i + j] = static_cast<unsigned char>(h.state[i] >> (24 - 8 * j));
  }
}

// The live handles; anything else is refused as Windows refuses a handle without its object.
struct Provider {};
std::set<Provider *> g_providers;
std::set<Sha256 *> g_hashes;

void ResetBcrypt() {
  for (Provider *provider : g_providers) delete provider;
  for (Sha256 *hash : g_hashes) delete hash;
  g_providers.clear();
  g_hashes.clear();
}
const sim_internal::ResetHook bcryptReset(ResetBcrypt);

bool IsSha256Name(LPCWSTR name) {
  static const char kName[] = "SHA256";
  for (size_t i = 0; i < sizeof kName; i++) {
    if (name[i] != static_cast<WCHAR>(kName[i])) return false;
  }
  return true;
}

Sha256 *LiveHash(BCRYPT_HASH_HANDLE handle) {
  Sha256 *hash = static_cast<Sha256 *>(handle);
  return g_hashes.count(hash) ? hash : nullptr;
}

}  // namespace

NTSTATUS WINAPI BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE *phAlgorithm, LPCWSTR pszAlgId,
                                            LPCWSTR pszImplementation, ULONG dwFlags) {
  SIM_FAULT_STATUS("BCryptOpenAlgorithmProvider", NTSTATUS);
  if (!phAlgorithm || !pszAlgId) return kInvalidParameter;
  if (dwFlags & ~static_cast<ULONG>(BCRYPT_ALG_HANDLE_HMAC_FLAG | BCRYPT_HASH_REUSABLE_FLAG)) return kInvalidParameter;
  if (dwFlags != 0) return kNotSupported;  // HMAC and reusable hashes are not modelled
  if (!IsSha256Name(pszAlgId)) return kNotFound;  // only SHA-256 exists here
  if (pszImplementation) return kNotFound;       // no named provider is modelled
  Provider *provider = new Provider;
  g_providers.insert(provider);
  *phAlgorithm = provider;
  return kSuccess;
}

NTSTATUS WINAPI BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE hAlgorithm, ULONG dwFlags) {
  SIM_FAULT_STATUS("BCryptCloseAlgorithmProvider", NTSTATUS);
  (void)dwFlags;
  Provider *provider = static_cast<Provider *>(hAlgorithm);
  if (!g_providers.erase(provider)) return kInvalidHandle;
  delete provider;
  return kSuccess;
}

NTSTATUS WINAPI BCryptCreateHash(BCRYPT_ALG_HANDLE hAlgorithm, BCRYPT_HASH_HANDLE *phHash,
                                 PUCHAR pbHashObject, ULONG cbHashObject, PUCHAR pbSecret,
                                 ULONG cbSecret, ULONG dwFlags) {
  SIM_FAULT_STATUS("BCryptCreateHash", NTSTATUS);
  if (!g_providers.count(static_cast<Provider *>(hAlgorithm))) return kInvalidHandle;
  if (!phHash) return kInvalidParameter;
  // A caller's hash object, a secret (HMAC) and flags are not modelled.
  if (pbHashObject || cbHashObject || pbSecret || cbSecret || dwFlags) return kNotSupported;
  Sha256 *hash = new Sha256;
  g_hashes.insert(hash);
  *phHash = hash;
  return kSuccess;
}

NTSTATUS WINAPI BCryptHashData(BCRYPT_HASH_HANDLE hHash, PUCHAR pbInput, ULONG cbInput, ULONG dwFlags) {
  SIM_FAULT_STATUS("BCryptHashData", NTSTATUS);
  Sha256 *hash = LiveHash(hHash);
  if (!hash) return kInvalidHandle;
  if (dwFlags || (!pbInput && cbInput)) return kInvalidParameter;
  // Use of a finished hash (not reusable) is not modelled: refused, never hashed on.
  if (hash->finished) return kInvalidHandle;
  if (cbInput) Update(*hash, pbInput, cbInput);
  return kSuccess;
}

NTSTATUS WINAPI BCryptFinishHash(BCRYPT_HASH_HANDLE hHash, PUCHAR pbOutput, ULONG cbOutput, ULONG dwFlags) {
  SIM_FAULT_STATUS("BCryptFinishHash", NTSTATUS);
  Sha256 *hash = LiveHash(hHash);
  if (!hash) return kInvalidHandle;
  // The output must be exactly the digest's size, no more and no less.
  if (!pbOutput || cbOutput != kDigestSize || dwFlags) return kInvalidParameter;
  if (hash->finished) return kInvalidHandle;
  Finish(*hash, pbOutput);
  hash->finished = true;
  return kSuccess;
}

NTSTATUS WINAPI BCryptDestroyHash(BCRYPT_HASH_HANDLE hHash) {
  SIM_FAULT_STATUS("BCryptDestroyHash", NTSTATUS);
  if (!hHash) return kInvalidParameter;  // no handle at all is a bad parameter here, not a bad handle
  Sha256 *hash = LiveHash(hHash);
  if (!hash) return kInvalidHandle;
  g_hashes.erase(hash);
  delete hash;
  return kSuccess;
}

namespace sim {

int OpenCngHandleCount() {
  sim_internal::CallScope scope;
  return static_cast<int>(g_providers.size() + g_hashes.size());
}

}  // namespace sim
