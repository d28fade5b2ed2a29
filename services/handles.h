// Owners of the system's handles: each releases what it holds when it goes out of scope, so that
// an early return cannot leak it. Where the moment of the release matters (a close before a box),
// Close() releases it there and returns the close call's result.
#pragma once

#include "platform.h"

namespace handles {

// The result of a BOOL release call: ERROR_SUCCESS, or the last error it set.
inline LONG ReleaseStatus(BOOL released) {
  return released ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
}

// Traits: the empty value and the release call of one kind of handle.
struct KeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static LONG Close(Type key) { return RegCloseKey(key); }
};

// Files and tokens: CreateFileA's failure is INVALID_HANDLE_VALUE, OpenProcessToken's null.
struct HandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static LONG Close(Type handle) { return ReleaseStatus(CloseHandle(handle)); }
};

// Searches of FindFirstFileA.
struct SearchTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static LONG Close(Type search) { return ReleaseStatus(FindClose(search)); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static LONG Close(Type module) { return ReleaseStatus(FreeLibrary(module)); }
};

struct LocalTraits {
  using Type = HLOCAL;
  static Type Empty() { return nullptr; }
  static LONG Close(Type memory) { return ReleaseStatus(LocalFree(memory) == nullptr); }
};

// CNG (bcrypt.dll): algorithm providers and hash objects; the calls return NTSTATUS.
struct CngAlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static Type Empty() { return nullptr; }
  static LONG Close(Type algorithm) { return BCryptCloseAlgorithmProvider(algorithm, 0); }
};

struct CngHashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static Type Empty() { return nullptr; }
  static LONG Close(Type hash) { return BCryptDestroyHash(hash); }
};

template <typename Traits>
class Owner {
 public:
  using Type = typename Traits::Type;

  Owner() = default;
  explicit Owner(Type value) : value_(value) {}
  ~Owner() { Close(); }
  Owner(const Owner &) = delete;
  Owner &operator=(const Owner &) = delete;

  Type Get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Empty() && value_ != nullptr; }

  // For the calls that return the handle through a pointer; releases what was held before.
  Type *Receive() {
    Close();
    return &value_;
  }

  // Releases the handle now; ERROR_SUCCESS when there was none. The owner is empty afterwards.
  LONG Close() {
    const LONG result = *this ? Traits::Close(value_) : ERROR_SUCCESS;
    value_ = Traits::Empty();
    return result;
  }

 private:
  Type value_ = Traits::Empty();
};

}  // namespace handles

using KeyOwner = handles::Owner<handles::KeyTraits>;
using HandleOwner = handles::Owner<handles::HandleTraits>;
using SearchOwner = handles::Owner<handles::SearchTraits>;
using ModuleOwner = handles::Owner<handles::ModuleTraits>;
using LocalOwner = handles::Owner<handles::LocalTraits>;
using CngAlgorithmOwner = handles::Owner<handles::CngAlgorithmTraits>;
using CngHashOwner = handles::Owner<handles::CngHashTraits>;

// COM for this thread; only a successful CoInitialize is balanced by CoUninitialize.
class ComInit {
 public:
  ComInit() : result_(CoInitialize(nullptr)) {}
  ~ComInit() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInit(const ComInit &) = delete;
  ComInit &operator=(const ComInit &) = delete;

 private:
  HRESULT result_;
};
