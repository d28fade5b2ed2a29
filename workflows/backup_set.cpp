// The backup set: its files' names and paths, the path-length rule of a run, and the rules that
// make a folder's files a set to restore, a complete set, or a set retention may remove.
#include "workflows/backup_set.h"

#include "services/hive_save.h"

#include <algorithm>
#include <utility>

#include "services/file_helpers.h"
#include "services/fingerprint.h"
#include "services/handles.h"
#include "services/hive_save.h"
#include "services/text_ops.h"
#include "workflows/hive_list.h"

const MachineHive kMachineHives[4] = {
    {"läuft... SOFTWARE", "SOFTWARE", "SOFTWARE.TMP", "HKEY_LOCAL_MACHINE\\SOFTWARE", 10},
    {"läuft... SYSTEM", "SYSTEM", "SYSTEM.tmp", "HKEY_LOCAL_MACHINE\\SYSTEM", 20},
    {"läuft... SECURITY", "SECURITY", "SECURITY.tmp", "HKEY_LOCAL_MACHINE\\SECURITY", 30},
    {"läuft... SAM", "SAM", "SAM.tmp", "HKEY_LOCAL_MACHINE\\SAM", 40},
};

const char kConsoleScriptName[] = "ConsoleBackup.bat";
const char kFingerprintName[] = "SHA256SUMS";

namespace {

// The text file's open and the hive save take paths of up to 255 characters (256-byte buffers), the
// tightest of the calls that write the set.
const size_t kSetPathBuffer = 256;

bool IsMachineHiveName(const std::string &name) {
  for (const MachineHive &machine : kMachineHives) {
    if (SameNameNoCase(name, machine.hive)) return true;
  }
  return false;
}

// The files of the set that are no user hive.
bool IsOwnFileName(const std::string &name) {
  return IsMachineHiveName(name) || SameNameNoCase(name, kConsoleScriptName) ||
         SameNameNoCase(name, kFingerprintName);
}

// A listed entry that is a plain regular file under a name of the set: the file the name opens is
// the listed file, no link and no other reparse point.
bool IsPlainSetEntry(const std::string &folder, const SetFolderEntry &entry) {
  if (entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  if (!IsPlainFileName(entry.name)) return false;
  if (!IsOwnFileName(entry.name) && !IsUsableHiveName(entry.name)) return false;
  const std::string path = SetFilePath(folder, entry.name);
  if (!FitsBuffer(path, MAX_PATH)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

HiveFileCheck Failed(const std::string &file, DWORD code) {
  HiveFileCheck check;
  check.file = file;
  check.state = HiveFileState::Unreadable;
  check.error = code;
  return check;
}

// Compares the files of a folder with its fingerprint, each listed file at most once.
class FingerprintComparison {
 public:
  explicit FingerprintComparison(std::vector<FingerprintLine> lines)
      : lines_(std::move(lines)), seen_(lines_.size(), false) {}

  bool Listed(const std::string &name) const { return Find(name) >= 0; }

  // A file of the set that is there: it must be listed, and its bytes (hashed as its check read
  // them) must have the listed hash. A file that already failed its own check is only marked as seen.
  void Compare(HiveFileCheck &check, const std::string &name, const std::string &hash) {
    const int index = Find(name);
    if (index >= 0) seen_[static_cast<size_t>(index)] = true;
    if (check.state != HiveFileState::Good) return;
    if (index < 0) {
      check = Failed(check.file, kFileNotFingerprinted);
    } else if (hash != lines_[static_cast<size_t>(index)].hash) {
      check = Failed(check.file, kFileChanged);
    }
  }

  // Marks a listed name as handled; false when it is not listed.
  bool Take(const std::string &name) {
    const int index = Find(name);
    if (index < 0) return false;
    seen_[static_cast<size_t>(index)] = true;
    return true;
  }

  // The listed names not handled yet, in the list's order.
  std::vector<std::string> Rest() const {
    std::vector<std::string> rest;
    for (size_t i = 0; i < lines_.size(); i++) {
      if (!seen_[i]) rest.push_back(lines_[i].name);
    }
    return rest;
  }

 private:
  int Find(const std::string &name) const {
    for (size_t i = 0; i < lines_.size(); i++) {
      if (SameNameNoCase(lines_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<FingerprintLine> lines_;
  std::vector<bool> seen_;
};

// A hive file of the set by its structure and, with a fingerprint that lists it, by its hash, both
// from one read of the file.
HiveFileCheck CheckListedHive(FingerprintComparison &fingerprint, bool compare, const std::string &file,
                              const std::string &name, const std::string &machineHive) {
  std::string hash;
  HiveFileCheck check = CheckHiveFile(file, machineHive, compare && fingerprint.Listed(name) ? &hash : nullptr);
  if (compare) fingerprint.Compare(check, name, hash);
  return check;
}

}  // namespace

std::string SetFilePath(const std::string &folder, const std::string &name) { return folder + "\\" + name; }

bool IsUsableHiveName(const std::string &hiveName) {
  return IsPlainFileName(hiveName) && !IsOwnFileName(hiveName);
}

std::string LongestSetPath(const std::string &folder) {
  std::string longest = kConsoleScriptName;
  // The run's temporary names and its lock file have at most 13 characters: never the longest.
  if (std::string(kFingerprintName).size() > longest.size()) longest = kFingerprintName;
  for (const MachineHive &machine : kMachineHives) {
    if (std::string(machine.hive).size() > longest.size()) longest = machine.hive;
  }
  WalkUserHives([&](const std::string &hiveName, const std::string &) {
    if (IsUsableHiveName(hiveName) && hiveName.size() > longest.size()) longest = hiveName;
  });
  return SetFilePath(folder, longest);
}

bool SetPathsFit(const std::string &folder) { return FitsBuffer(LongestSetPath(folder), kSetPathBuffer); }

bool OffersRestore(const std::string &folder) {
  if (folder.empty()) return false;  // joined with the names it would point at the drive's root
  const int16_t software = PathExists(SetFilePath(folder, kMachineHives[0].hive));
  const int16_t system = PathExists(SetFilePath(folder, kMachineHives[1].hive));
  const int16_t sam = PathExists(SetFilePath(folder, kMachineHives[3].hive));
  return (software & system & sam) == 1;
}

SetCheck CheckSet(const std::string &folder, const std::vector<std::string> &userHives) {
  SetCheck result;
  const std::string fingerprintPath = SetFilePath(folder, kFingerprintName);
  std::vector<FingerprintLine> lines;
  FingerprintError readError;
  const FingerprintState state = ReadFingerprint(fingerprintPath, &lines, &readError);
  result.fingerprinted = state != FingerprintState::Missing;
  // A damaged list fails the set; the files are then checked by their structure alone.
  if (state == FingerprintState::Damaged) result.files.push_back(Failed(fingerprintPath, kFingerprintDamaged));
  if (state == FingerprintState::Unreadable) result.files.push_back(Failed(fingerprintPath, readError.code));
  const bool compare = state == FingerprintState::Good;
  FingerprintComparison fingerprint(lines);

  for (const MachineHive &machine : kMachineHives) {
    const std::string file = SetFilePath(folder, machine.hive);
    if (PathExists(file) == 1) {
      result.files.push_back(CheckListedHive(fingerprint, compare, file, machine.hive, machine.hive));
    } else if (compare && fingerprint.Take(machine.hive)) {
      result.files.push_back(Failed(file, kFingerprintedFileMissing));
    } else {
      result.missing.push_back(file);
    }
  }
  std::vector<std::string> checkedHives;
  // named: one the caller needs (the offline restore's, from the set's script), missing when absent.
  const auto checkUserHive = [&](const std::string &hiveName, bool named) {
    const std::string file = SetFilePath(folder, hiveName);
    if (!IsUsableHiveName(hiveName)) return;
    for (const std::string &checked : checkedHives) {
      if (SameNameNoCase(checked, hiveName)) return;
    }
    const bool present = PathExists(file) == 1;
    if (!present && !named) return;
    checkedHives.push_back(hiveName);
    if (present) {
      result.files.push_back(CheckListedHive(fingerprint, compare, file, hiveName, ""));
    } else {
      fingerprint.Take(hiveName);
      result.files.push_back(Failed(file, kFingerprintedFileMissing));
    }
  };
  WalkUserHives([&](const std::string &hiveName, const std::string &) { checkUserHive(hiveName, false); });
  // The caller's user hives are held to the fingerprint as the loaded ones are: a file a failed save
  // left from an earlier run is no file of it.
  for (const std::string &hiveName : userHives) checkUserHive(hiveName, true);
  if (!compare) return result;

  const std::string script = SetFilePath(folder, kConsoleScriptName);
  if (PathExists(script) == 1) {
    // The script is no hive: hashed only.
    HiveFileCheck check;
    check.file = script;
    std::string hash;
    if (fingerprint.Listed(kConsoleScriptName)) {
      FingerprintError error;
      hash = HashFile(script, &error);
      if (hash.empty()) check = Failed(script, error.code);
    }
    fingerprint.Compare(check, kConsoleScriptName, hash);
    result.files.push_back(check);
  }
  // The listed files that no loaded hive names: user hives of users not logged on now.
  for (const std::string &name : fingerprint.Rest()) {
    const std::string file = SetFilePath(folder, name);
    const bool isScript = SameNameNoCase(name, kConsoleScriptName);
    if (!isScript && !IsUsableHiveName(name)) {
      // The list names itself or the temporary file: no run writes that.
      result.files.push_back(Failed(fingerprintPath, kFingerprintDamaged));
    } else if (PathExists(file) != 1) {
      result.files.push_back(Failed(file, kFingerprintedFileMissing));
    } else {
      result.files.push_back(CheckListedHive(fingerprint, true, file, name, ""));
    }
  }
  return result;
}

namespace {

const size_t kLongestScript = 1024 * 1024;  // a set's script is a few lines per hive

// The whole file, or false when it cannot be read or is longer than any script of a set.
bool ReadSmallFile(const std::string &path, std::string *bytes) {
  if (!FitsBuffer(path, MAX_PATH)) return false;
  HandleOwner file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[4096];
  while (true) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) return true;
    bytes->append(buffer, read);
    if (bytes->size() > kLongestScript) return false;
  }
}

// The file names Windows gives the hives it loads below HKEY_USERS: a profile's NTUSER.DAT, its
// classes' UsrClass.dat, and the DEFAULT hive of the configuration folder. A line aimed at any other
// file (a program, another installation's file) would put a hive in its place.
bool IsUserHiveFileName(const std::string &name) {
  return SameNameNoCase(name, "NTUSER.DAT") || SameNameNoCase(name, "UsrClass.dat") || SameNameNoCase(name, "DEFAULT");
}

// `copy "<source>" <rest>` as the backup writes it; false for any other line.
bool SplitCopyLine(const std::string &line, std::string *source, std::string *rest) {
  if (line.rfind("copy \"", 0) != 0) return false;
  const size_t close = line.find("\" ", 6);
  if (close == std::string::npos) return false;
  *source = line.substr(6, close - 6);
  *rest = line.substr(close + 2);
  return !source->empty() && source->find('"') == std::string::npos;
}

}  // namespace

std::string ReadSetScript(const std::string &folder, SetScript *script) {
  const std::string scriptPath = SetFilePath(folder, kConsoleScriptName);
  std::string bytes;
  if (!ReadSmallFile(scriptPath, &bytes)) return scriptPath + " ist nicht lesbar";
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  *script = SetScript();
  for (size_t i = 0; i < lines.size(); i++) {
    const std::string &line = lines[i];
    std::string source, rest;
    const bool copy = SplitCopyLine(line, &source, &rest);
    const std::string hiveName = copy ? source.substr(source.rfind('\\') + 1) : "";
    bool known = (i == 0 && line == "Set allowallpaths = true");
    if (copy && rest.size() > 2 && rest.front() == '"' && rest.back() == '"') {
      const std::string path = rest.substr(1, rest.size() - 2);
      // A backup names each user hive file of the set once: a second line for it would put one
      // user's hive into another profile too.
      bool again = false;
      for (const ScriptUserHive &user : script->userHives) again = again || SameNameNoCase(user.hiveName, hiveName);
      if (!again && IsUsableHiveName(hiveName) && IsPlainFullPath(path) &&
          IsUserHiveFileName(path.substr(path.rfind('\\') + 1))) {
        script->userHives.push_back(ScriptUserHive{hiveName, path});
        known = true;
      }
    } else if (copy && rest.find('"') == std::string::npos) {
      for (const MachineHive &machine : kMachineHives) {
        if (hiveName == machine.hive) known = true;
      }
      const bool drive = rest.size() > 2 && rest[1] == ':' &&
                         ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= 'A' && rest[0] <= 'Z'));
      if (known && script->backupDrive == 0 && drive) script->backupDrive = rest[0];
    }
    if (!known) {
      return scriptPath + " Zeile " + NumberText(static_cast<long>(i + 1)).substr(1) + " ist keine Zeile einer Sicherung";
    }
  }
  return "";
}

bool IsRemovableSetFile(const std::string &folder, const SetFolderEntry &entry) {
  if (!IsPlainSetEntry(folder, entry)) return false;
  if (SameNameNoCase(entry.name, kConsoleScriptName) || SameNameNoCase(entry.name, kFingerprintName)) return true;
  const std::string path = SetFilePath(folder, entry.name);
  for (const MachineHive &machine : kMachineHives) {
    if (SameNameNoCase(entry.name, machine.hive)) return CheckHiveFile(path, machine.hive).state == HiveFileState::Good;
  }
  return CheckHiveFile(path).state == HiveFileState::Good;
}

bool IsRemovableSet(const std::string &folder, const std::vector<SetFolderEntry> &entries) {
  int required = 0;
  for (const SetFolderEntry &entry : entries) {
    if (!IsPlainSetEntry(folder, entry)) return false;
    if (IsMachineHiveName(entry.name) || SameNameNoCase(entry.name, kConsoleScriptName)) required++;
  }
  if (required != 5) return false;
  const SetCheck check = CheckSet(folder);
  if (!IsCompleteSet(check)) return false;
  // The hive files that the set's check did not read (user hives of users not logged on, in a set
  // without a fingerprint) pass the restore's check too; the others were read once, there.
  for (const SetFolderEntry &entry : entries) {
    if (SameNameNoCase(entry.name, kConsoleScriptName) || SameNameNoCase(entry.name, kFingerprintName)) continue;
    const std::string path = SetFilePath(folder, entry.name);
    const bool checked = std::any_of(check.files.begin(), check.files.end(),
                                     [&](const HiveFileCheck &file) { return SameNameNoCase(file.file, path); });
    if (!checked && !IsRemovableSetFile(folder, entry)) return false;
  }
  return true;
}

SetCheck CheckWholeSet(const std::string &folder) {
  SetScript script;
  const std::string fault = ReadSetScript(folder, &script);
  std::vector<std::string> userHives;
  for (const ScriptUserHive &user : script.userHives) userHives.push_back(user.hiveName);
  SetCheck check = CheckSet(folder, userHives);
  check.scriptFault = fault;
  return check;
}

bool IsCompleteSet(const SetCheck &check) {
  if (!check.missing.empty() || !check.scriptFault.empty()) return false;
  for (const HiveFileCheck &file : check.files) {
    if (file.state != HiveFileState::Good) return false;
  }
  return true;
}

std::vector<HiveFileCheck> CheckBackupSet(const std::string &folder, const std::vector<std::string> &userHives) {
  return CheckSet(folder, userHives).files;
}

std::string SetFileReason(const HiveFileCheck &check) {
  if (check.state == HiveFileState::Unreadable) {
    switch (check.error) {
      case kFileChanged:
        return "wurde nach der Sicherung verändert (SHA256SUMS stimmt nicht)";
      case kFileNotFingerprinted:
        return "wurde bei der letzten Sicherung nicht geschrieben (fehlt in SHA256SUMS)";
      case kFingerprintedFileMissing:
        return "fehlt";
      case kFingerprintDamaged:
        return "ist beschädigt";
      default:
        break;
    }
  }
  return HiveFileReason(check);
}

bool WriteSetFingerprint(const std::string &folder, const std::vector<std::string> &written,
                         FingerprintError *error) {
  std::vector<FingerprintLine> lines;
  for (const std::string &name : written) {
    const std::string hash = HashFile(SetFilePath(folder, name), error);
    if (hash.empty()) return false;
    lines.push_back(FingerprintLine{hash, name});
  }
  // Written first under a name of the run's own that was not there before, as the hives are.
  std::string tempPath;
  for (int attempt = 0; attempt < 16 && tempPath.empty(); attempt++) {
    const std::string candidate = SetFilePath(folder, TemporaryName());
    if (PathExists(candidate) == 0) tempPath = candidate;
  }
  if (tempPath.empty()) {
    if (error) {
      error->code = ERROR_FILE_EXISTS;
      error->call = "CreateFile";
    }
    return false;
  }
  return WriteFingerprint(SetFilePath(folder, kFingerprintName), tempPath, lines, error);
}
