// Simulated registry: predefined roots, machine and user hives, key handles, values, saving keys
// into hive files and replacing hives at the next start (sim::Restart).
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "hive_format.h"
#include "internal.h"
#include "simctl.h"

#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_NOACCESS 998L
#define ERROR_BADDB 1009L
#define DELETE_ACCESS 0x00010000L

namespace sim_internal {
void DisableAllPrivileges();  // token.cpp
}

namespace {

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

struct Key;

// The registry compares names in Unicode upper case; for the Windows-1252 letters that is the
// simulation's name folding (ß and µ have no upper-case letter in the code page).
std::string Folded(const std::string &name) {
  std::string folded = name;
  for (char &c : folded) c = sim_internal::FoldNameChar(c);
  return folded;
}

// A key's sub-keys in creation order, indexed by folded name: HKEY_USERS holds one per loaded
// user hive, and a lookup must not walk them all.
class SubKeys {
 public:
  using List = std::vector<std::shared_ptr<Key>>;
  List::const_iterator begin() const { return list_.begin(); }
  List::const_iterator end() const { return list_.end(); }
  std::shared_ptr<Key> Find(const std::string &name) const {
    auto it = index_.find(Folded(name));
    return it == index_.end() ? nullptr : it->second;
  }
  void Add(const std::shared_ptr<Key> &key);     // replaces a sub-key of the same name
  void Remove(const std::shared_ptr<Key> &key);

 private:
  List list_;
  std::unordered_map<std::string, std::shared_ptr<Key>> index_;
};

struct Key {
  std::string name;
  std::vector<Value> values;  // in creation order, as RegEnumValueA lists them
  SubKeys children;
  std::weak_ptr<Key> parent;
  bool hiveRoot = false;
  bool guarded = false;  // hive root of SAM or SECURITY: only backup semantics open it
  bool isVolatile = false;
  bool deleted = false;
  bool container = false;  // \REGISTRY\MACHINE and \REGISTRY\USER: hold hives, no keys of their own
};
using KeyPtr = std::shared_ptr<Key>;

struct OpenKey {
  KeyPtr key;
  REGSAM access;
};

struct Pending {
  sim::Replacement record;
  KeyPtr hive;
  KeyPtr content;
};

struct Registry {
  KeyPtr machine, users, currentUser;
  std::map<uintptr_t, OpenKey> handles;
  uintptr_t nextHandle = 0x40000000;
  std::vector<Pending> pending;
};

Registry &registry() {
  static Registry r;
  return r;
}

const char *const kHiveListPath = "SYSTEM\\CurrentControlSet\\Control\\hivelist";

void SubKeys::Add(const std::shared_ptr<Key> &key) {
  if (std::shared_ptr<Key> old = Find(key->name)) Remove(old);
  list_.push_back(key);
  index_[Folded(key->name)] = key;
}

void SubKeys::Remove(const std::shared_ptr<Key> &key) {
  auto it = std::find(list_.begin(), list_.end(), key);
  if (it == list_.end()) return;
  list_.erase(it);
  index_.erase(Folded(key->name));
}

// Key and value names compare without regard to case, as the registry compares them. From the
// end: sibling names often share long prefixes and differ at their ends.
bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = a.size(); i-- > 0;) {
    if (sim_internal::FoldNameChar(a[i]) != sim_internal::FoldNameChar(b[i])) return false;
  }
  return true;
}

KeyPtr Child(const KeyPtr &key, const std::string &name) { return key->children.Find(name); }

KeyPtr AddChild(const KeyPtr &key, const std::string &name) {
  auto child = std::make_shared<Key>();
  child->name = name;
  child->parent = key;
  key->children.Add(child);
  return child;
}

Value *FindValue(Key &key, const std::string &name) {
  for (auto &value : key.values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

void PutValue(Key &key, const std::string &name, DWORD type, const std::string &data) {
  if (Value *existing = FindValue(key, name)) {
    existing->type = type;
    existing->data = data;
  } else {
    key.values.push_back(Value{name, type, data});
  }
}

void MarkDeleted(const KeyPtr &key) {
  key->deleted = true;
  for (const auto &child : key->children) MarkDeleted(child);
}

KeyPtr HiveRootOf(KeyPtr key) {
  while (key && !key->hiveRoot) key = key->parent.lock();
  return key;
}

bool Guarded(const KeyPtr &key) {
  KeyPtr root = HiveRootOf(key);
  return root && root->guarded;
}

std::string FullPath(const KeyPtr &key) {
  std::string path;
  for (KeyPtr k = key; k; k = k->parent.lock())
    path = path.empty() ? k->name : k->name + "\\" + path;
  return path;
}

std::vector<std::string> SplitPath(const std::string &path) {
  std::vector<std::string> parts;
  std::string part;
  for (char ch : path) {
    if (ch == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(ch);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// ---- hive files ----------------------------------------------------------------------------------
// Saved and loaded in the registry's own format (hive_format.cpp). Volatile keys are not saved, as
// Windows leaves them out.
bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

void CopyToHive(const Key &key, sim_internal::HiveKey &out) {
  out.name = key.name;
  for (const auto &value : key.values) out.values.push_back({value.name, value.type, value.data});
  for (const auto &child : key.children) {
    if (child->isVolatile) continue;
    out.children.emplace_back();
    CopyToHive(*child, out.children.back());
  }
}

std::string Serialize(const Key &key) {
  sim_internal::HiveKey tree;
  CopyToHive(key, tree);
  return sim_internal::WriteHiveFile(tree);
}

// Two sub-keys or values of one name, which the kernel's index cannot hold, make the file no hive.
bool CopyFromHive(const sim_internal::HiveKey &in, const KeyPtr &key) {
  for (const auto &value : in.values) {
    if (FindValue(*key, value.name)) return false;
    key->values.push_back(Value{value.name, value.type, value.data});
  }
  for (const auto &child : in.children) {
    if (child.name.empty() || Child(key, child.name)) return false;
    if (!CopyFromHive(child, AddChild(key, child.name))) return false;
  }
  return true;
}

// The tree a hive file holds, or nullptr when the bytes are no hive file.
KeyPtr ParseHive(const std::string &file) {
  sim_internal::HiveKey tree;
  if (!sim_internal::ReadHiveFile(file, &tree)) return nullptr;
  auto root = std::make_shared<Key>();
  root->name = tree.name;
  return CopyFromHive(tree, root) ? root : nullptr;
}

// ---- the machine after a reset ------------------------------------------------------------------
KeyPtr MakePath(const KeyPtr &from, const std::string &path) {
  KeyPtr key = from;
  for (const auto &part : SplitPath(path)) {
    KeyPtr child = Child(key, part);
    key = child ? child : AddChild(key, part);
  }
  return key;
}

std::string Sz(const std::string &text) { return text + std::string(1, '\0'); }

std::string Dword(DWORD value) {
  std::string data(4, '\0');
  std::memcpy(&data[0], &value, 4);
  return data;
}

KeyPtr AddHive(const KeyPtr &container, const std::string &name) {
  KeyPtr hive = AddChild(container, name);
  hive->hiveRoot = true;
  return hive;
}

KeyPtr HiveListKey() {
  KeyPtr key = registry().machine;
  for (const auto &part : SplitPath(kHiveListPath)) {
    key = key ? Child(key, part) : nullptr;
  }
  return key;
}

void ResetRegistry() {
  Registry &r = registry();
  r = Registry{};
  r.machine = std::make_shared<Key>();
  r.machine->name = "HKEY_LOCAL_MACHINE";
  r.machine->container = true;
  r.users = std::make_shared<Key>();
  r.users->name = "HKEY_USERS";
  r.users->container = true;
  r.currentUser = std::make_shared<Key>();
  r.currentUser->name = "HKEY_CURRENT_USER";
  r.currentUser->hiveRoot = true;

  KeyPtr software = AddHive(r.machine, "SOFTWARE");
  KeyPtr version = MakePath(software, "Microsoft\\Windows NT\\CurrentVersion");
  PutValue(*version, "ProductName", REG_SZ, Sz("Microsoft Windows XP"));
  PutValue(*version, "CurrentVersion", REG_SZ, Sz("5.1"));
  PutValue(*version, "SystemRoot", REG_SZ, Sz("C:\\WINDOWS"));
  PutValue(*MakePath(software, "Classes\\.txt"), "", REG_SZ, Sz("txtfile"));

  KeyPtr system = AddHive(r.machine, "SYSTEM");
  PutValue(*MakePath(system, "Select"), "Current", REG_DWORD, Dword(1));
  PutValue(*MakePath(system, "CurrentControlSet\\Control\\ComputerName\\ComputerName"),
           "ComputerName", REG_SZ, Sz("BROVINK-PC"));
  MakePath(system, "CurrentControlSet\\Hardware Profiles\\Current");
  KeyPtr hiveList = MakePath(r.machine, kHiveListPath);
  hiveList->isVolatile = true;

  KeyPtr security = AddHive(r.machine, "SECURITY");
  security->guarded = true;
  PutValue(*MakePath(security, "Policy\\PolAdtEv"), "", REG_BINARY,
           std::string("\x00\x01\x02\x03", 4));
  PutValue(*MakePath(security, "Policy\\Secrets\\DefaultPassword\\CurrVal"), "", REG_BINARY,
           "geheim");

  KeyPtr sam = AddHive(r.machine, "SAM");
  sam->guarded = true;
  PutValue(*MakePath(sam, "SAM\\Domains\\Account\\Users\\000001F4"), "V", REG_BINARY,
           std::string("\x8a\x11\x00\x42hash", 8));

  for (const char *hive : {"SECURITY", "SOFTWARE", "SYSTEM", "SAM"}) {
    PutValue(*hiveList, std::string("\\REGISTRY\\MACHINE\\") + hive, REG_SZ,
             Sz(std::string("\\Device\\HarddiskVolume1\\WINDOWS\\System32\\config\\") + hive));
  }

  MakePath(r.currentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
}

const sim_internal::ResetHook registryReset(ResetRegistry);

// ---- handles ------------------------------------------------------------------------------------
// The predefined handles are 32-bit values sign-extended to the width of a pointer.
bool IsPredefined(HKEY hKey) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                    HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA}) {
    if (hKey == root) return true;
  }
  return false;
}

const char *PredefinedName(HKEY hKey) {
  static const char *const names[] = {
      "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
      "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
  return names[static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey)) - 0x80000000u];
}

// The key behind a handle, with what it grants; false for a handle that is no key.
// HKEY_CLASSES_ROOT is SOFTWARE\Classes and HKEY_CURRENT_CONFIG the current hardware profile;
// HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA are no keys here.
bool Resolve(HKEY hKey, OpenKey *out) {
  Registry &r = registry();
  if (IsPredefined(hKey)) {
    KeyPtr key;
    if (hKey == HKEY_LOCAL_MACHINE) key = r.machine;
    if (hKey == HKEY_USERS) key = r.users;
    if (hKey == HKEY_CURRENT_USER) key = r.currentUser;
    if (hKey == HKEY_CLASSES_ROOT) key = MakePath(r.machine, "SOFTWARE\\Classes");
    if (hKey == HKEY_CURRENT_CONFIG) {
      key = MakePath(r.machine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
    }
    if (!key) return false;
    *out = OpenKey{key, KEY_ALL_ACCESS};
    return true;
  }
  auto it = r.handles.find(reinterpret_cast<uintptr_t>(hKey));
  if (it == r.handles.end()) return false;
  *out = it->second;
  return true;
}

std::string HandlePath(HKEY hKey) {
  if (IsPredefined(hKey)) return PredefinedName(hKey);
  OpenKey open;
  return Resolve(hKey, &open) && !open.key->deleted ? FullPath(open.key) : "?";
}

HKEY NewKeyHandle(const KeyPtr &key, REGSAM access) {
  Registry &r = registry();
  uintptr_t value = r.nextHandle;
  r.nextHandle += 4;
  r.handles[value] = OpenKey{key, access};
  return reinterpret_cast<HKEY>(value);
}

// Below HKEY_LOCAL_MACHINE.
bool InMachine(KeyPtr key) {
  while (key && !key->container) key = key->parent.lock();
  return key && key == registry().machine;
}

bool BackupSemantics(DWORD options) { return (options & REG_OPTION_BACKUP_RESTORE) != 0; }

bool BackupOrRestoreEnabled() {
  return sim::PrivilegeEnabled("SeBackupPrivilege") || sim::PrivilegeEnabled("SeRestorePrivilege");
}

// What opening `key` grants. With backup semantics the requested access is ignored: the backup
// privilege grants reading, the restore privilege writing (RegCreateKeyEx,
// REG_OPTION_BACKUP_RESTORE). The administrator may do anything outside SAM and SECURITY; those two
// only open with backup semantics and one of the two privileges.
LONG OpenAccess(const KeyPtr &key, DWORD options, REGSAM desired, REGSAM *granted) {
  if (!sim_internal::Elevated() && InMachine(key) && !BackupSemantics(options) &&
      (desired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE_ACCESS))) {
    return ERROR_ACCESS_DENIED;
  }
  if (BackupSemantics(options)) {
    if (Guarded(key) && !BackupOrRestoreEnabled()) return ERROR_ACCESS_DENIED;
    *granted = (sim::PrivilegeEnabled("SeBackupPrivilege") ? KEY_READ : 0) |
               (sim::PrivilegeEnabled("SeRestorePrivilege") ? KEY_WRITE | DELETE_ACCESS : 0);
    return ERROR_SUCCESS;
  }
  if (Guarded(key)) return ERROR_ACCESS_DENIED;
  *granted = desired;
  return ERROR_SUCCESS;
}

// Creating a key below `parent`: never directly in \REGISTRY\MACHINE or \REGISTRY\USER, and in SAM
// or SECURITY only with backup semantics and the restore privilege.
LONG CreateAccess(const KeyPtr &parent, DWORD options) {
  if (parent->container) return ERROR_ACCESS_DENIED;
  if (!sim_internal::Elevated() && InMachine(parent)) return ERROR_ACCESS_DENIED;
  if (Guarded(parent) &&
      !(BackupSemantics(options) && sim::PrivilegeEnabled("SeRestorePrivilege"))) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

// Walks `subKey` from `from`; creates missing keys when `create`. A leading backslash is a bad
// path, as NtCreateKey/NtOpenKey take it; doubled and trailing backslashes are passed over.
LONG Walk(const KeyPtr &from, const char *subKey, bool create, DWORD options, KeyPtr *result,
          bool *created) {
  std::string path = subKey ? subKey : "";
  if (!path.empty() && path[0] == '\\') return ERROR_BAD_PATHNAME;
  std::vector<std::string> parts = SplitPath(path);
  for (const auto &part : parts) {
    if (part.size() > 255) return ERROR_INVALID_PARAMETER;
  }
  KeyPtr key = from;
  if (created) *created = false;
  for (const auto &part : parts) {
    KeyPtr child = Child(key, part);
    if (!child) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      LONG access = CreateAccess(key, options);
      if (access != ERROR_SUCCESS) return access;
      child = AddChild(key, part);
      child->isVolatile = key->isVolatile || (options & 1) != 0;  // REG_OPTION_VOLATILE
      if (created) *created = true;
    }
    key = child;
  }
  *result = key;
  return ERROR_SUCCESS;
}

// ---- control-path helpers -----------------------------------------------------------------------
KeyPtr RootForControl(const std::string &name) {
  Registry &r = registry();
  std::string upper = sim_internal::Upper(name);
  if (upper == "HKEY_LOCAL_MACHINE" || upper == "HKLM") return r.machine;
  if (upper == "HKEY_USERS" || upper == "HKU") return r.users;
  if (upper == "HKEY_CURRENT_USER" || upper == "HKCU") return r.currentUser;
  if (upper == "HKEY_CLASSES_ROOT") return MakePath(r.machine, "SOFTWARE\\Classes");
  if (upper == "HKEY_CURRENT_CONFIG") {
    return MakePath(r.machine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
  }
  throw std::invalid_argument("unknown registry root in " + name);
}

KeyPtr ControlKey(const std::string &keyPath, bool create) {
  size_t slash = keyPath.find('\\');
  KeyPtr key = RootForControl(keyPath.substr(0, slash));
  if (slash == std::string::npos) return key;
  for (const auto &part : SplitPath(keyPath.substr(slash + 1))) {
    KeyPtr child = Child(key, part);
    if (!child && create) child = AddChild(key, part);
    if (!child) return nullptr;
    key = child;
  }
  return key;
}

// Volatile keys of a hive are not in its file; at a start the system builds them anew. Here they
// are carried over from the hive that is replaced (the loaded-hive list).
void CollectVolatile(const KeyPtr &key, const std::string &path,
                     std::vector<std::pair<std::string, KeyPtr>> &out) {
  for (const auto &child : key->children) {
    const std::string childPath = path.empty() ? child->name : path + "\\" + child->name;
    if (child->isVolatile) {
      out.emplace_back(childPath, child);
    } else {
      CollectVolatile(child, childPath, out);
    }
  }
}

void PutInPlace(const Pending &pending) {
  const KeyPtr &hive = pending.hive;
  if (hive->deleted) return;
  std::vector<std::pair<std::string, KeyPtr>> keep;
  CollectVolatile(hive, "", keep);
  for (const auto &child : hive->children) MarkDeleted(child);
  for (auto &kept : keep) kept.second->deleted = false;
  hive->values = pending.content->values;
  hive->children = pending.content->children;
  for (const auto &child : hive->children) child->parent = hive;
  for (auto &kept : keep) {
    size_t slash = kept.first.rfind('\\');
    KeyPtr parent = slash == std::string::npos ? hive : MakePath(hive, kept.first.substr(0, slash));
    kept.second->parent = parent;
    parent->children.Add(kept.second);
  }
}

}  // namespace

// ---- control -----------------------------------------------------------------------------------
namespace sim {

void LoadUserHive(const std::string &name, const std::string &deviceFile) {
  Registry &r = registry();
  KeyPtr hive = Child(r.users, name);
  if (!hive) hive = AddHive(r.users, name);
  hive->hiveRoot = true;
  AddHiveListValue("\\REGISTRY\\USER\\" + name, deviceFile);
}

void AddHiveListValue(const std::string &valueName, const std::string &data) {
  KeyPtr list = HiveListKey();
  if (!list) throw std::logic_error("the loaded-hive list key was deleted");
  PutValue(*list, valueName, REG_SZ, Sz(data));
}

void SetRegValue(const std::string &keyPath, const std::string &name, DWORD type,
                 const std::string &data) {
  PutValue(*ControlKey(keyPath, true), name, type, data);
}

void SetRegString(const std::string &keyPath, const std::string &name, const std::string &value) {
  SetRegValue(keyPath, name, REG_SZ, Sz(value));
}

void SetRegDword(const std::string &keyPath, const std::string &name, DWORD value) {
  SetRegValue(keyPath, name, REG_DWORD, Dword(value));
}

bool GetRegValue(const std::string &keyPath, const std::string &name, DWORD *type,
                 std::string *data) {
  KeyPtr key = ControlKey(keyPath, false);
  Value *value = key ? FindValue(*key, name) : nullptr;
  if (!value) return false;
  if (type) *type = value->type;
  if (data) *data = value->data;
  return true;
}

bool RegKeyExists(const std::string &keyPath) { return ControlKey(keyPath, false) != nullptr; }

void DeleteRegKey(const std::string &keyPath) {
  KeyPtr key = ControlKey(keyPath, false);
  KeyPtr parent = key ? key->parent.lock() : nullptr;
  if (!parent) return;
  parent->children.Remove(key);
  MarkDeleted(key);
}

int OpenKeyCount() { return static_cast<int>(registry().handles.size()); }

std::string HiveSnapshot(const std::string &keyPath) {
  KeyPtr key = ControlKey(keyPath, false);
  return key ? Serialize(*key) : "";
}

std::string HiveFileSnapshot(const std::string &file) {
  std::string bytes;
  if (sim_internal::FsRead(file, &bytes) != ERROR_SUCCESS) return "";
  KeyPtr tree = ParseHive(bytes);
  return tree ? Serialize(*tree) : "";
}

std::string SavedDescriptor(const std::string &file) { return sim_internal::FsDescriptor(file); }

std::vector<Replacement> Replacements() {
  std::vector<Replacement> records;
  for (const auto &pending : registry().pending) records.push_back(pending.record);
  return records;
}

// Volatile keys live in memory only and are gone after a restart; the loaded-hive list is one, but
// the kernel makes it again at every start.
void DropVolatile(const KeyPtr &key, const KeyPtr &keep) {
  std::vector<KeyPtr> gone;
  for (const auto &child : key->children) {
    if (child->isVolatile && child != keep) {
      gone.push_back(child);
    } else {
      DropVolatile(child, keep);
    }
  }
  for (const auto &child : gone) {
    key->children.Remove(child);
    MarkDeleted(child);
  }
}

void Restart() {
  Registry &r = registry();
  for (const auto &pending : r.pending) PutInPlace(pending);
  r.pending.clear();
  for (const KeyPtr &root : {r.machine, r.users, r.currentUser}) DropVolatile(root, HiveListKey());
  sim_internal::FsReleaseSystemHolds();
  sim_internal::DisableAllPrivileges();
}

}  // namespace sim

// ---- advapi32 -----------------------------------------------------------------------------------
// Argument checks in the order of advapi32: result pointer (ERROR_BADKEY), reserved, then handle.
LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  (void)lpClass;
  (void)lpSecurityAttributes;
  const std::string sub = lpSubKey ? lpSubKey : "";
  sim_internal::Log("RegCreateKeyExA " + HandlePath(hKey) + (sub.empty() ? "" : "\\" + sub));
  SIM_FAULT_STATUS("RegCreateKeyExA", LONG);
  if (!phkResult) return ERROR_BADKEY;
  if (Reserved) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  if (!Resolve(hKey, &parent)) return ERROR_INVALID_HANDLE;
  if (parent.key->deleted) return ERROR_KEY_DELETED;
  if (dwOptions & ~static_cast<DWORD>(REG_OPTION_BACKUP_RESTORE | 1)) {
    return ERROR_CALL_NOT_IMPLEMENTED;  // links and other options are not modelled
  }
  KeyPtr key;
  bool created = false;
  LONG status = Walk(parent.key, lpSubKey, true, dwOptions, &key, &created);
  if (status != ERROR_SUCCESS) return status;
  REGSAM granted = 0;
  status = OpenAccess(key, dwOptions, samDesired, &granted);
  if (status != ERROR_SUCCESS) return status;
  *phkResult = NewKeyHandle(key, granted);
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

// A predefined key with no sub-key opens as itself, without any check (advapi32 does the same).
LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  const std::string sub = lpSubKey ? lpSubKey : "";
  sim_internal::Log("RegOpenKeyExA " + HandlePath(hKey) + (sub.empty() ? "" : "\\" + sub));
  SIM_FAULT_STATUS("RegOpenKeyExA", LONG);
  if (phkResult && sub.empty() && IsPredefined(hKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  OpenKey parent;
  if (!Resolve(hKey, &parent)) return ERROR_INVALID_HANDLE;
  if (parent.key->deleted) return ERROR_KEY_DELETED;
  KeyPtr key;
  LONG status = Walk(parent.key, lpSubKey, false, ulOptions, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  REGSAM granted = 0;
  status = OpenAccess(key, ulOptions, samDesired, &granted);
  if (status != ERROR_SUCCESS) return status;
  *phkResult = NewKeyHandle(key, granted);
  return ERROR_SUCCESS;
}

// Deletes a key without sub-keys (one with sub-keys: ERROR_ACCESS_DENIED, as advapi32 gives);
// handles still open on it then get ERROR_KEY_DELETED. A hive root cannot be deleted.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  sim_internal::Log(std::string("RegDeleteKeyA ") + HandlePath(hKey) + "\\" + (lpSubKey ? lpSubKey : ""));
  SIM_FAULT_STATUS("RegDeleteKeyA", LONG);
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  if (!Resolve(hKey, &parent)) return ERROR_INVALID_HANDLE;
  if (parent.key->deleted) return ERROR_KEY_DELETED;
  KeyPtr key;
  LONG status = Walk(parent.key, lpSubKey, false, 0, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  KeyPtr above = key->parent.lock();
  if (!above || key->hiveRoot || key->container || key->children.begin() != key->children.end()) {
    return ERROR_ACCESS_DENIED;
  }
  above->children.Remove(key);
  MarkDeleted(key);
  return ERROR_SUCCESS;
}

// Closing a predefined key succeeds and does nothing.
LONG WINAPI RegCloseKey(HKEY hKey) {
  sim_internal::Log("RegCloseKey");
  SIM_FAULT_STATUS("RegCloseKey", LONG);
  if (!hKey) return ERROR_INVALID_HANDLE;
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  return registry().handles.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS
                                                                     : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE *lpData, DWORD cbData) {
  (void)Reserved;  // NtSetValueKey ignores it
  sim_internal::Log(std::string("RegSetValueExA ") + (lpValueName ? lpValueName : ""));
  SIM_FAULT_STATUS("RegSetValueExA", LONG);
  if (!lpData && cbData) return ERROR_NOACCESS;
  OpenKey open;
  if (!Resolve(hKey, &open)) return ERROR_INVALID_HANDLE;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (!(open.access & KEY_SET_VALUE) || open.key->container) return ERROR_ACCESS_DENIED;
  std::string data = cbData ? std::string(reinterpret_cast<const char *>(lpData), cbData) : "";
  PutValue(*open.key, lpValueName ? lpValueName : "", dwType, data);
  return ERROR_SUCCESS;
}

// Too small a buffer: ERROR_MORE_DATA with the size needed, the buffer untouched. A string that
// fits with room to spare and lacks its NUL gets one, as Windows adds it.
LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  SIM_FAULT_STATUS("RegQueryValueExA", LONG);
  if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (!Resolve(hKey, &open)) return ERROR_INVALID_HANDLE;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const Value *value = FindValue(*open.key, lpValueName ? lpValueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  const DWORD size = static_cast<DWORD>(value->data.size());
  LONG status = ERROR_SUCCESS;
  if (lpData) {
    if (size > *lpcbData) {
      status = ERROR_MORE_DATA;
    } else {
      std::memcpy(lpData, value->data.data(), size);
      if (IsStringType(value->type) && size < *lpcbData && size > 0 && lpData[size - 1]) {
        lpData[size] = 0;
      }
    }
  }
  if (lpType) *lpType = value->type;
  if (lpcbData) *lpcbData = size;
  return status;
}

// Values in creation order; ERROR_MORE_DATA when the data does not fit or the name does not fit
// with its NUL (the count is in characters without the NUL); ERROR_NO_MORE_ITEMS after the last.
LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  SIM_FAULT_STATUS("RegEnumValueA", LONG);
  if ((lpData && !lpcbData) || lpReserved || !lpValueName || !lpcchValueName) {
    return ERROR_INVALID_PARAMETER;
  }
  OpenKey open;
  if (!Resolve(hKey, &open)) return ERROR_INVALID_HANDLE;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (dwIndex >= open.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value &value = open.key->values[dwIndex];
  const DWORD size = static_cast<DWORD>(value.data.size());
  LONG status = ERROR_SUCCESS;
  if (lpData && size > *lpcbData) {
    status = ERROR_MORE_DATA;  // data too large: neither the name nor the data is copied
  } else {
    if (value.name.size() >= *lpcchValueName) {
      // Name too long (Windows in a single-byte code page): as much of the name as fits before a
      // NUL and the whole data are copied, the count stays the buffer's size.
      status = ERROR_MORE_DATA;
      if (*lpcchValueName > 0) {
        std::memcpy(lpValueName, value.name.data(), *lpcchValueName - 1);
        lpValueName[*lpcchValueName - 1] = '\0';
      }
    } else {
      std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
      *lpcchValueName = static_cast<DWORD>(value.name.size());
    }
    if (lpData) {
      std::memcpy(lpData, value.data.data(), size);
      if (IsStringType(value.type) && size < *lpcbData && size > 0 && lpData[size - 1]) {
        lpData[size] = 0;
      }
    }
  }
  if (lpType) *lpType = value.type;
  if (lpcbData) *lpcbData = size;
  return status;
}

namespace {

// RegSaveKeyA and RegSaveKeyExA: advapi32 creates the file first (never over an existing one,
// with the caller's security descriptor), then the kernel checks the backup privilege and writes.
// A refused save therefore leaves an empty file behind.
LONG SaveKey(HKEY hKey, LPCSTR lpFile, LPSECURITY_ATTRIBUTES sa, bool extended, DWORD flags) {
  if (!lpFile || !*lpFile) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (!Resolve(hKey, &open)) return ERROR_INVALID_HANDLE;
  if (extended && hKey == HKEY_CLASSES_ROOT) return ERROR_INVALID_PARAMETER;  // not supported
  DWORD status = sim_internal::FsCreateNew(lpFile, "");
  if (status != ERROR_SUCCESS) return static_cast<LONG>(status);
  sim_internal::FsSetDescriptor(lpFile, sim_internal::DescriptorText(sa ? sa->lpSecurityDescriptor : nullptr));
  if (!sim::PrivilegeEnabled("SeBackupPrivilege")) return ERROR_PRIVILEGE_NOT_HELD;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (open.key->container) return ERROR_INVALID_PARAMETER;  // \REGISTRY\MACHINE is no hive
  if (extended) {
    // One format flag; REG_NO_COMPRESSION only for the root of a hive.
    if (flags != REG_STANDARD_FORMAT && flags != REG_LATEST_FORMAT && flags != REG_NO_COMPRESSION) {
      return ERROR_INVALID_PARAMETER;
    }
    if (flags == REG_NO_COMPRESSION && !open.key->hiveRoot) return ERROR_INVALID_PARAMETER;
  }
  return static_cast<LONG>(sim_internal::FsWrite(lpFile, Serialize(*open.key)));
}

}  // namespace

LONG WINAPI RegSaveKeyA(HKEY hKey, LPCSTR lpFile, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  sim_internal::Log(std::string("RegSaveKeyA ") + (lpFile ? lpFile : ""));
  SIM_FAULT_STATUS("RegSaveKeyA", LONG);
  return SaveKey(hKey, lpFile, lpSecurityAttributes, false, 0);
}

LONG WINAPI RegSaveKeyExA(HKEY hKey, LPCSTR lpFile, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                          DWORD Flags) {
  sim_internal::Log(std::string("RegSaveKeyExA ") + (lpFile ? lpFile : ""));
  SIM_FAULT_STATUS("RegSaveKeyExA", LONG);
  return SaveKey(hKey, lpFile, lpSecurityAttributes, true, Flags);
}

// The sub-key is created when missing and stands for the hive that holds it. The kernel needs the
// restore and the backup privilege, reads and checks the new file (ERROR_BADDB when it is no hive file), keeps
// the current hive under the old name (which must not exist yet) and puts the new file in place
// at the next start.
LONG WINAPI RegReplaceKeyA(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpNewFile, LPCSTR lpOldFile) {
  sim_internal::Log(std::string("RegReplaceKeyA ") + (lpSubKey ? lpSubKey : "") + " " +
            (lpNewFile ? lpNewFile : "") + " " + (lpOldFile ? lpOldFile : ""));
  SIM_FAULT_STATUS("RegReplaceKeyA", LONG);
  OpenKey open;
  if (!Resolve(hKey, &open)) return ERROR_INVALID_HANDLE;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (!lpNewFile || !lpOldFile) return ERROR_INVALID_PARAMETER;
  KeyPtr key = open.key;
  if (lpSubKey && *lpSubKey) {
    // Created through the handle: it needs the right to create sub-keys.
    KeyPtr existing;
    LONG status = Walk(open.key, lpSubKey, false, 0, &existing, nullptr);
    if (status == ERROR_FILE_NOT_FOUND) {
      if (!(open.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      status = Walk(open.key, lpSubKey, true, REG_OPTION_BACKUP_RESTORE, &existing, nullptr);
    }
    if (status != ERROR_SUCCESS) return status;
    key = existing;
  }
  if (!sim::PrivilegeEnabled("SeRestorePrivilege") || !sim::PrivilegeEnabled("SeBackupPrivilege")) {
    return ERROR_PRIVILEGE_NOT_HELD;
  }
  KeyPtr hive = HiveRootOf(key);
  if (!hive) return ERROR_INVALID_PARAMETER;  // no hive above the key (HKEY_LOCAL_MACHINE itself)
  std::string bytes;
  DWORD status = sim_internal::FsRead(lpNewFile, &bytes);
  if (status != ERROR_SUCCESS) return static_cast<LONG>(status);
  KeyPtr content = ParseHive(bytes);
  if (!content) return ERROR_BADDB;
  if (sim_internal::FsExists(lpOldFile)) return ERROR_ALREADY_EXISTS;
  status = sim_internal::FsCreateNew(lpOldFile, Serialize(*hive));
  if (status != ERROR_SUCCESS) return static_cast<LONG>(status);
  // The new file stays open, unshared, until the next start puts it in place.
  sim_internal::FsHoldBySystem(lpNewFile);
  registry().pending.push_back(
      Pending{sim::Replacement{FullPath(hive), lpNewFile, lpOldFile}, hive, content});
  return ERROR_SUCCESS;
}
