// Benchmarks of the backup run and the restore run on the simulated machine with 0, 10, 100,
// 1,000 and 3,000 loaded user hives. Each iteration starts from a fresh machine (set up outside
// the timing); after the runs a table gives the time per run and, against the run without user
// hives, the time per user hive, which stays flat when the cost grows linearly. Then the hive
// file check of a SOFTWARE hive of more than 100 MB, in bytes per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/main_window.h"
#include "tests/brovink_machine.h"
#include "services/hive_file_check.h"
#include "services/text_ops.h"
#include "simctl.h"
#include "workflows/backup.h"
#include "workflows/restore.h"

namespace {

const char *const kFolder = "D:\\Sicherung";
const char *const kStartup = "C:\\Users\\admin\\Startmenü\\Programme\\Autostart";

std::string UserSid(int index) {
  return "S-1-5-21-1004336348-1177238915-682003330-" + std::to_string(1000 + index);
}

// A machine with `users` loaded user hives, each holding a few keys and values as a small profile
// does, and the main window with its folder field set.
HWND PrepareMachine(int users) {
  // The previous iteration's window goes as Quit ends it, and its object with it.
  if (IsWindow(sim::MainWindow())) DestroyWindow(sim::MainWindow());
  UseBrovinkMachine();
  sim::Reset();
  ReadEnvironmentBlock();
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  sim::MakeFolders(kStartup);
  for (int i = 0; i < users; i++) {
    const std::string sid = UserSid(i);
    sim::LoadUserHive(sid, "\\Device\\HarddiskVolume1\\Users\\u" + std::to_string(i) + "\\NTUSER.DAT");
    const std::string key = "HKEY_USERS\\" + sid;
    sim::SetRegString(key + "\\Environment", "TEMP", "%USERPROFILE%\\AppData\\Local\\Temp");
    sim::SetRegString(key + "\\Control Panel\\International", "LocaleName", "de-DE");
    sim::SetRegDword(key + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", "ShellState", 36);
  }
  InitCommonControls();
  HWND window = CreateMainWindow(nullptr);
  SetWindowTextA(GetDlgItem(window, IDC_FOLDER), kFolder);
  return window;
}

// A run that failed somewhere says nothing about the cost of a run: it is reported, not timed.
bool RunWentWell(benchmark::State &state, int users, bool restore) {
  if (!sim::MessageBoxes().empty()) {
    state.SkipWithError(("message box: " + sim::MessageBoxes().front().text).c_str());
    return false;
  }
  const size_t files = sim::ListFolder(kFolder).size();
  const size_t expected = static_cast<size_t>(users) + 5;  // four machine hives and the script
  if (files != expected) {
    state.SkipWithError(("the backup folder holds " + std::to_string(files) + " files").c_str());
    return false;
  }
  if (restore && sim::Replacements().size() != static_cast<size_t>(users) + 4) {
    state.SkipWithError("not every hive was registered for replacement");
    return false;
  }
  return true;
}

void BM_Backup(benchmark::State &state) {
  const int users = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    MainWindowView view(PrepareMachine(users));
    state.ResumeTiming();
    RunBackup(view);
    state.PauseTiming();
    if (!RunWentWell(state, users, false)) break;
    state.ResumeTiming();
  }
}

void BM_Restore(benchmark::State &state) {
  const int users = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    MainWindowView view(PrepareMachine(users));
    RunBackup(view);
    state.ResumeTiming();
    RunRestore(view);
    state.PauseTiming();
    if (!RunWentWell(state, users, true)) break;
    state.ResumeTiming();
  }
}

// A SOFTWARE hive of more than 100 MB as the simulated RegSaveKey writes it: 20,000 keys in 200
// groups, each with short strings, numbers and binary data of a few sizes, the mix of an installed
// system's SOFTWARE. Made once; every iteration checks the same file.
const std::string &LargeSoftwareFile() {
  static const std::string file = [] {
    UseBrovinkMachine();
    sim::Reset();
    for (int group = 0; group < 200; group++) {
      for (int key = 0; key < 100; key++) {
        const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Gruppe " + std::to_string(group) +
                                 "\\{" + std::to_string(key) + "-4D36E968-E325-11CE-BFC1-08002BE10318}";
        for (int i = 0; i < 6; i++) {
          sim::SetRegString(path, "Name " + std::to_string(i), "C:\\Program Files\\Beispiel\\" + std::to_string(i * key));
        }
        sim::SetRegDword(path, "Version", static_cast<DWORD>(key));
        sim::SetRegDword(path, "Flags", static_cast<DWORD>(group));
        sim::SetRegValue(path, "Daten", REG_BINARY, std::string(200, static_cast<char>(key)));
        sim::SetRegValue(path, "Zertifikat", REG_BINARY, std::string(4800, static_cast<char>(group)));
      }
    }
    return sim::HiveSnapshot("HKEY_LOCAL_MACHINE\\SOFTWARE");
  }();
  return file;
}

void BM_CheckHive(benchmark::State &state) {
  const std::string &bytes = LargeSoftwareFile();
  UseBrovinkMachine();
  sim::Reset();
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  sim::MakeFolders(kFolder);
  const std::string file = std::string(kFolder) + "\\SOFTWARE";
  sim::PutFile(file, bytes);
  if (bytes.size() < (100u << 20)) state.SkipWithError("the hive is smaller than 100 MB");
  for (auto _ : state) {
    if (CheckHiveFile(file, "SOFTWARE").state != HiveFileState::Good) {
      state.SkipWithError("the check refused the hive");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  state.counters["MB"] = static_cast<double>(bytes.size()) / (1 << 20);
}

// The same check of Wine's text form (as /verify makes it under Wine): 100 MB of keys with a
// 1,000-character value each, as bench/verify_bench.sh appends them.
void BM_CheckWineText(benchmark::State &state) {
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\\\\Software\n\n#arch=win64\n\n[] 1700000000\n";
  const std::string value(1000, 'x');
  for (int key = 0; text.size() < 100u * 1000 * 1000; key++) {
    text += "\n[Bench\\\\Key" + std::to_string(key) + "] 1700000000\n#time=1d9000000000000\n\"Wert\"=\"" + value + "\"\n";
  }
  UseBrovinkMachine();
  sim::Reset();
  sim::AddExport("NTDLL.DLL", "wine_get_version");
  sim::AddDrive('d', "\\Device\\HarddiskVolume2");
  sim::MakeFolders(kFolder);
  const std::string file = std::string(kFolder) + "\\SOFTWARE";
  sim::PutFile(file, text);
  for (auto _ : state) {
    if (CheckHiveFile(file).state != HiveFileState::Good) {
      state.SkipWithError("the check refused the text");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_Backup)->Arg(0)->Arg(10)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Restore)->Arg(0)->Arg(10)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckHive)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CheckWineText)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Google Benchmark's own console output, and the runs kept for the table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  struct Row {
    std::string run;  // "backup" or "restore"
    int users;
    double milliseconds;
  };
  std::vector<Row> rows;
  double checkMegabytes = 0, checkMilliseconds = 0;

  TableReporter() : ConsoleReporter(OO_Tabular) {}  // no colours: the output goes into logs

  void ReportRuns(const std::vector<Run> &reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run &report : reports) {
      if (report.error_occurred || report.run_type != Run::RT_Iteration) continue;
      const std::string name = report.benchmark_name();  // "BM_Backup/100"
      const size_t slash = name.find('/');
      if (name.compare(0, 12, "BM_CheckHive") == 0) {
        checkMegabytes = report.counters.at("MB");
        checkMilliseconds = report.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(report.time_unit) * 1e3;
        continue;
      }
      if (name.compare(0, 8, "BM_Check") == 0) continue;  // its line above is its figure
      const std::string run = name.compare(0, 9, "BM_Backup") == 0 ? "backup" : "restore";
      const double seconds = report.GetAdjustedRealTime() /
                             benchmark::GetTimeUnitMultiplier(report.time_unit);
      rows.push_back({run, std::stoi(name.substr(slash + 1)), seconds * 1e3});
    }
  }
};

void PrintTable(const std::vector<TableReporter::Row> &rows) {
  std::map<std::string, double> empty;  // the run without user hives, per run kind
  for (const auto &row : rows) {
    if (row.users == 0) empty[row.run] = row.milliseconds;
  }
  std::printf("\n%-8s %10s %14s %20s\n", "run", "user hives", "ms per run", "ms per user hive");
  for (const auto &row : rows) {
    std::printf("%-8s %10d %14.3f ", row.run.c_str(), row.users, row.milliseconds);
    if (row.users > 0 && empty.count(row.run)) {
      std::printf("%20.4f\n", (row.milliseconds - empty[row.run]) / row.users);
    } else {
      std::printf("%20s\n", "-");
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintTable(reporter.rows);
  if (reporter.checkMilliseconds > 0) {
    std::printf("\nhive check: SOFTWARE of %.1f MB in %.1f ms: %.2f GB/s\n", reporter.checkMegabytes,
                reporter.checkMilliseconds, reporter.checkMegabytes / 1024 / (reporter.checkMilliseconds / 1e3));
  }
  return 0;
}
