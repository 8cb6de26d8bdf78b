// Quorvex's benchmarks. Each compares one operation with a baseline that does
// the least work the same result needs (plain POSIX reads, a plain copy, a
// plain listing), measured in the same run on the same generated data, and
// prints the ratio of the two times next to its target. Run them with
// `bash scripts/bench.sh`; the figures are kept in bench/README.md.
//
//   quorvex_bench [--reps N] [--keep DIR] [NAME...]
//   NAME: dat master tree records qvx xlist export import check jobs
#include <CLI/CLI.hpp>
// As in store/price_text.cpp: GCC 12's false -Wstringop-truncation inside the library.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#include <libfccp/csv.h>
#pragma GCC diagnostic pop
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_data.h"
#include "commands.h"
#include "filelayer/file_layer.h"
#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/master_checks.h"
#include "primitives/list.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "store/directory_scan.h"
#include "store/index_files.h"
#include "store/master_file.h"
#include "store/record_import.h"
#include "store/record_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile double gSink = 0;  // keeps the baselines' results alive

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(2);
}

double Milliseconds(const std::function<void()>& run) {
  const auto start = Clock::now();
  run();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Timing {
  double ours = 0;
  double baseline = 0;
};

// The best of reps runs of each, taken in turn so that a change in the
// machine's load falls on both alike. prepare runs, untimed, before every run.
Timing Measure(int reps, const std::function<void()>& prepare, const std::function<void()>& ours,
               const std::function<void()>& baseline) {
  Timing best{1e300, 1e300};
  for (int i = 0; i < reps; ++i) {
    prepare();
    best.ours = std::min(best.ours, Milliseconds(ours));
    prepare();
    best.baseline = std::min(best.baseline, Milliseconds(baseline));
  }
  return best;
}

int gMissed = 0;

// informative: a comparison beyond the targets, shown but not counted.
void Report(const std::string& name, const std::string& baselineName, const Timing& timing, double target,
            bool informative = false) {
  const double ratio = timing.ours / timing.baseline;
  const bool met = ratio <= target;
  if (!met && !informative) ++gMissed;
  std::printf("%-46s ours %9.2f ms  baseline %9.2f ms  ratio %6.2f  target <= %.1f  %s\n", name.c_str(),
              timing.ours, timing.baseline, ratio, target,
              informative ? (met ? "(info: within)" : "(info: beyond)")
              : met       ? "met"
                          : "MISSED");
  std::printf("%-46s   (baseline: %s)\n", "", baselineName.c_str());
  std::fflush(stdout);
}

// A report that keeps the notice and frees any findings.
class QuietReport : public ReportTarget {
 public:
  void ShowNotice(const char* text) override { notice = text; }
  bool AskYesNo(const char*) override { return false; }
  void ErrorListReady(List* list) override {
    ++findings;
    KillErrorList(list);
  }
  void Close() override {}

  std::string notice;
  int findings = 0;
};

void ExpectNothingFound(const QuietReport& report, const char* what) {
  if (report.findings != 0 || report.notice != kNoErrorsFoundText)
    Die(std::string(what) + " found defects in sound data: \"" + report.notice + "\"");
}

MasterRecord RecordOf(const std::string& coreDir, int fileNumber) {
  MasterRecord record{};
  if (!GetMetaStockMasterRecord(coreDir.c_str(), fileNumber, &record)) Die("no master record in " + coreDir);
  return record;
}

// Reads a native file in 32 KiB blocks, handing each block to use.
void ReadInBlocks(const std::string& path, const std::function<void(const uint8_t*, size_t, size_t)>& use) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) Die("cannot open " + path);
  static uint8_t block[32768];
  size_t offset = 0;
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got <= 0) break;
    use(block, static_cast<size_t>(got), offset);
    offset += static_cast<size_t>(got);
  }
  close(fd);
}

// durable: as a careful program replaces a file, the copy is forced to disk
// and then renamed into place, and the rename forced to disk too (what the
// record operations' write-through replacement does).
void CopyInBlocks(const std::string& from, const std::string& to, bool durable = false) {
  const std::string target = durable ? to + ".new" : to;
  const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) Die("cannot create " + target);
  ReadInBlocks(from, [&](const uint8_t* bytes, size_t size, size_t) {
    if (write(out, bytes, size) != static_cast<ssize_t>(size)) Die("cannot write " + target);
  });
  if (durable) fsync(out);
  close(out);
  if (!durable) return;
  if (rename(target.c_str(), to.c_str()) != 0) Die("cannot rename " + target);
  const std::string directory = to.substr(0, to.find_last_of('/'));
  const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

// --- the DAT test -----------------------------------------------------------

void BenchDatTest(const std::string& work, int reps) {
  const std::string dir = work + "/largest";
  bench::WriteLargestInstrument(dir);
  const std::string core = bench::CoreDir(dir);
  const MasterRecord record = RecordOf(core, 1);
  const int length = record.RecordLength();
  const Timing timing = Measure(
      reps, [] {},
      [&] {
        QuietReport report;
        TestDATFile(core.c_str(), report, kDATDialogOrder, kDATTestCount, record);
        ExpectNothingFound(report, "the DAT test");
      },
      [&] {
        double sum = 0;
        ReadInBlocks(dir + "/F1.DAT", [&](const uint8_t* bytes, size_t size, size_t offset) {
          for (size_t at = offset < static_cast<size_t>(length) ? length - offset : 0; at + 4 <= size;
               at += 4)
            sum += MBF_IEEE(LoadMbfWord(bytes + at));
        });
        gSink = sum;
      });
  Report("DAT test, all codes, 65,535 x 8 fields", "read in 32 KiB blocks, every field converted", timing,
         2.0);
}

// --- the master test --------------------------------------------------------

void BenchMasterTest(const std::string& work, int reps) {
  const std::string dir = work + "/full";
  bench::WriteFullDirectory(dir);
  const std::string core = bench::CoreDir(dir);
  const Timing timing = Measure(
      reps, [] {},
      [&] {
        QuietReport report;
        TestMasterFile(core.c_str(), report, kMasterDialogOrder, kMasterTestCount, 0, 0, 0);
        ExpectNothingFound(report, "the master test");
      },
      [&] {
        double sum = 0;
        for (int n = 1; n <= bench::kFullDirectory; ++n) {
          const std::string path = dir + "/F" + std::to_string(n) + ".DAT";
          const int fd = open(path.c_str(), O_RDONLY);
          uint8_t bytes[4] = {};
          if (fd < 0 || pread(fd, bytes, 4, 28) != 4) Die("cannot read " + path);
          close(fd);
          sum += MBF_IEEE(LoadMbfWord(bytes));
        }
        gSink = sum;
      });
  Report("master test, all codes, report only, 255 files", "open, read 4 bytes of and close each data file",
         timing, 2.0);
}

// --- the directory scan -----------------------------------------------------

int ListRecursively(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> subdirectories;
  int entries = 0;
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    ++entries;
    if (entry->d_type == DT_DIR) subdirectories.push_back(path + "/" + entry->d_name);
  }
  closedir(dir);
  for (const std::string& sub : subdirectories) entries += ListRecursively(sub);
  return entries;
}

void BenchDirectoryScan(const std::string& work, int reps) {
  const std::string root = work + "/tree";
  bench::WriteTree(root);
  const std::string core = bench::CoreDir(root);
  int kept = 0;
  const Timing timing = Measure(
      reps, [] {},
      [&] {
        List* nodes = CreateList();
        if (ScanRootDirectory(nodes, core.c_str()) == 0) Die("the scan ran out of memory");
        PruneDirTree(nodes);
        kept = CountListItems(nodes);
        KillTreeData(nodes);
        KillList(nodes);
      },
      [&] { gSink = ListRecursively(root); });
  // The root, the 200 data directories and the 100 top-level directories above them.
  if (kept != 1 + bench::kTreeDataDirectories + 100) Die("the pruned tree holds " + std::to_string(kept));
  Report("directory scan and pruning, 10,000 directories", "a plain recursive listing (opendir/readdir)",
         timing, 1.5);
}

// --- the record operations --------------------------------------------------

// The directory made anew, holding F1.DAT and master.
void FreshInstrument(const std::string& dir, const std::vector<uint8_t>& dat,
                     const std::vector<uint8_t>& master) {
  bench::RemoveTree(dir);
  bench::MakeDirectories(dir);
  bench::WriteFile(dir + "/F1.DAT", dat);
  bench::WriteFile(dir + "/master", master);
}

void BenchRecordOps(const std::string& work, int reps) {
  const std::string source = work + "/ops-source";
  bench::WriteLargestInstrument(source);
  const std::vector<uint8_t> dat = bench::ReadFile(source + "/F1.DAT");
  const std::vector<uint8_t> master = bench::ReadFile(source + "/master");
  const std::string dir = work + "/ops";
  const std::string core = bench::CoreDir(dir);
  const std::string name = core + "F1.DAT";
  const MasterRecord record = RecordOf(bench::CoreDir(source), 1);
  const int32_t L = record.RecordLength();

  auto fresh = [&] { FreshInstrument(dir, dat, master); };
  auto copy = [&] { CopyInBlocks(source + "/F1.DAT", dir + "/copy.DAT"); };
  // Runs op on the file held open as the editor holds it, and checks the length it leaves.
  auto onOpenFile = [&](const std::function<int(FileHandle)>& op, int32_t expectedRecords, const char* what) {
    const FileHandle handle =
        SOpenFile(name.c_str(), kOpenReadWrite, kOpenShared, static_cast<uint32_t>(L), kOpenNotTemporary);
    if (!ValidFile(handle)) Die("cannot open " + name);
    if (op(handle) != 1) Die(std::string(what) + " failed");
    const int32_t length = FileLength(handle);
    SCloseFile(handle);
    if (length != (expectedRecords + 1) * L)
      Die(std::string(what) + " left " + std::to_string(length / L - 1) + " records");
  };

  // The selection is the editor's, built as the user selects: not timed.
  List* selection = nullptr;
  const Timing deletion = Measure(
      reps,
      [&] {
        fresh();
        KillList(selection);
        selection = CreateList();
        // Descending, so that each number goes in at the front.
        for (int32_t r = bench::kLargestRecords - 1; r >= 0; --r) {
          if (r % 2 == 0) AddNewItem(selection, &r, sizeof r, EditRecordNumberCompare);
        }
      },
      [&] {
        onOpenFile([&](FileHandle h) { return DeleteSelectedDATRecords(h, name.c_str(), selection, record); },
                   bench::kLargestRecords / 2, "the deletion");
      },
      copy);
  KillList(selection);
  Report("delete every other record of 65,535", "copy the file in 32 KiB blocks", deletion, 3.0);

  const Timing insertion = Measure(
      reps, fresh,
      [&] {
        onOpenFile([&](FileHandle h) { return InsertRecord(h, name.c_str(), 0, record); },
                   bench::kLargestRecords + 1, "the insertion");
      },
      copy);
  Report("insert one record at the start", "copy the file in 32 KiB blocks", insertion, 3.0);

  const Timing split = Measure(
      reps, fresh,
      [&] {
        onOpenFile(
            [&](FileHandle h) {
              MasterRecord own = record;
              return SplitFile(h, core.c_str(), 1, &own, core.c_str(), bench::kLargestRecords / 2, 1, 0, 0);
            },
            bench::kLargestRecords / 2, "the split");
      },
      copy);
  Report("split the file in half", "copy the file in 32 KiB blocks", split, 3.0);

  // Every replacement of a data file is written through to the disk; against
  // a copy that is too, the operations' own work shows.
  const Timing durable = Measure(
      reps, fresh, [] {}, [&] { CopyInBlocks(source + "/F1.DAT", dir + "/copy.DAT", true); });
  const char* durableName = "copy in 32 KiB blocks, fsync, rename, fsync the directory";
  Report("  delete, against a durable copy", durableName, {deletion.ours, durable.baseline}, 3.0, true);
  Report("  insert, against a durable copy", durableName, {insertion.ours, durable.baseline}, 3.0, true);
  Report("  split, against a durable copy", durableName, {split.ours, durable.baseline}, 3.0, true);
}

// --- import -----------------------------------------------------------------

inline constexpr int kImportedRows = 65000;

// The first rows of the largest file as export's metastock layout writes
// them: YYYYMMDD, HHMMSS, each value's shortest text.
std::string ExportedText(const std::vector<uint8_t>& dat, int rows) {
  constexpr size_t kLength = 4 * bench::kLargestFields;
  std::string text = "<TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n";
  for (int r = 0; r < rows; ++r) {
    const uint8_t* record = dat.data() + kLength * (static_cast<size_t>(r) + 1);
    const auto date = static_cast<long>(MBF_IEEE(LoadMbfWord(record)));
    const auto time = static_cast<long>(MBF_IEEE(LoadMbfWord(record + 4)));
    char line[256];
    char* at = line + std::snprintf(line, sizeof line, "BENCH,5,%04ld%02ld%02ld,%06ld", date / 10000 + 1900,
                                    date / 100 % 100, date % 100, time);
    for (size_t c = 2; c < bench::kLargestFields; ++c) {
      *at++ = ',';
      at = std::to_chars(at, line + sizeof line, MBF_IEEE(LoadMbfWord(record + 4 * c))).ptr;
    }
    *at++ = '\n';
    text.append(line, at);
  }
  return text;
}

// What no import through the CSV library can do without: its line reader over
// the text, and every price, volume and open interest converted with from_chars.
void ReadAndConvert(const std::string& path) {
  io::LineReader lines(path);
  lines.next_line();
  double sum = 0;
  while (char* line = lines.next_line()) {
    const char* const end = line + std::strlen(line);
    const char* at = line;
    for (int field = 0; at < end; ++field) {
      const char* stop = std::find(at, end, ',');
      float value = 0;
      if (field >= 4) std::from_chars(at, stop, value);
      sum += value;
      at = stop + 1;
    }
  }
  gSink = sum;
}

void BenchImport(const std::string& work, int reps) {
  const std::string source = work + "/import-source";
  bench::WriteLargestInstrument(source);
  const std::vector<uint8_t> dat = bench::ReadFile(source + "/F1.DAT");
  const std::vector<uint8_t> master = bench::ReadFile(source + "/master");
  const std::string text = work + "/import.csv";
  const std::string exported = ExportedText(dat, kImportedRows);
  bench::WriteFile(text, std::vector<uint8_t>(exported.begin(), exported.end()));
  const std::string dir = work + "/import";
  const std::string core = bench::CoreDir(dir);
  auto fresh = [&] { FreshInstrument(dir, dat, master); };
  const auto import = [&] {
    ImportResult result;
    std::string fault;
    if (!ImportRecords(core.c_str(), 1, text.c_str(), ImportMode::Replace, CodePage::Windows1252, &result,
                       &fault))
      Die("the import failed: " + fault);
  };
  const Timing timing = Measure(reps, fresh, import, [&] { CopyInBlocks(text, dir + "/copy.csv"); });
  fresh();
  import();
  // The file imported is the first rows of the one exported, byte for byte, the count aside.
  std::vector<uint8_t> expected(dat.begin(), dat.begin() + 4 * bench::kLargestFields * (kImportedRows + 1));
  expected[2] = static_cast<uint8_t>((kImportedRows + 1) & 0xFF), expected[3] = (kImportedRows + 1) >> 8;
  if (bench::ReadFile(dir + "/F1.DAT") != expected) Die("the imported data file is not the exported one");
  const std::string rows = std::to_string(kImportedRows);
  Report("import " + rows + " rows x 8 fields (" + std::to_string(exported.size() >> 20) + " MiB of text)",
         "copy the text file in 32 KiB blocks", timing, 3.0);
  const Timing durable = Measure(
      reps, fresh, [] {}, [&] { CopyInBlocks(text, dir + "/copy.csv", true); });
  Report("  import, against a durable copy", "copy in 32 KiB blocks, fsync, rename, fsync the directory",
         {timing.ours, durable.baseline}, 3.0, true);
  const Timing floor = Measure(
      reps, fresh, [] {}, [&] { ReadAndConvert(text); });
  Report("  import, against reading and converting",
         "the CSV library's line reader, from_chars on each value", {timing.ours, floor.baseline}, 3.0, true);
}

// --- qvx list and show ------------------------------------------------------

int RunQvx(std::vector<std::string> args) {
  CLI::App app{"qvx", "qvx"};
  app.require_subcommand(1, 1);
  int status = 0;
  qvx::RegisterReadCommands(app, &status);
  qvx::RegisterExportCommands(app, &status);
  qvx::RegisterCheckCommands(app, &status);
  args.insert(args.begin(), "qvx");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  app.parse(static_cast<int>(argv.size()), argv.data());
  return status;
}

// Runs run with what it prints through std::cout and through stdout's file
// descriptor (qvx's large buffer) sent elsewhere: std::cout to the given
// buffer, the descriptor to the file named.
void Redirected(std::streambuf* to, const char* file, const std::function<void()>& run) {
  std::cout.flush(), std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO), target = open(file, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (saved < 0 || target < 0 || dup2(target, STDOUT_FILENO) < 0)
    Die(std::string("cannot send stdout to ") + file);
  close(target);
  std::streambuf* previous = std::cout.rdbuf(to);
  run();
  std::cout.rdbuf(previous);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO), close(saved);
}

// What run prints.
std::string Captured(const std::function<void()>& run) {
  std::ostringstream text;
  char name[] = "/tmp/quorvex-bench-stdout-XXXXXX";
  const int file = mkstemp(name);
  if (file < 0) Die("cannot make a file for stdout");
  close(file);
  Redirected(text.rdbuf(), name, run);
  const std::vector<uint8_t> written = bench::ReadFile(name);
  unlink(name);
  return text.str() + std::string(written.begin(), written.end());
}

// Times ours and the baseline with everything they print thrown away.
Timing MeasureQuietly(int reps, const std::function<void()>& ours, const std::function<void()>& baseline) {
  std::ofstream sink("/dev/null");
  Timing timing;
  Redirected(sink.rdbuf(), "/dev/null", [&] {
    timing = Measure(
        reps, [] {}, ours, baseline);
  });
  return timing;
}

// Writes size bytes to the file in 1 MiB pieces, as the least an output of
// that size costs; durable: forced to disk and renamed into place, as the
// export's replacement of a file does.
void WriteBytes(const std::string& path, size_t size, bool durable = false) {
  static const std::vector<char> piece(size_t{1} << 20, 'x');
  const std::string target = durable ? path + ".new" : path;
  const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (size_t left = size; out >= 0 && left > 0;) {
    const ssize_t wrote = write(out, piece.data(), std::min(left, piece.size()));
    if (wrote <= 0) Die("cannot write " + target);
    left -= static_cast<size_t>(wrote);
  }
  if (out < 0) Die("cannot create " + target);
  if (durable) fsync(out);
  close(out);
  if (durable && rename(target.c_str(), path.c_str()) != 0) Die("cannot rename " + target);
}

std::string Trimmed(const uint8_t* field, size_t width) {
  std::string text(reinterpret_cast<const char*>(field), width);
  text = text.substr(0, text.find('\0'));
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// What qvx list prints, from master and, when extended, EMASTER (the long
// names that begin with master's) and XMASTER, each read whole, with one
// access() per data file.
void PlainList(const std::string& dir, bool extended = false) {
  static const char* const kPeriods[] = {"Daily File", "Weekly File", "Monthly File", "IntraDay File"};
  const auto line = [&](const std::string& name, const std::string& symbol, int n, char period,
                        const char* extension, const char* mark) {
    const char* periodText = period == 'D'   ? kPeriods[0]
                             : period == 'W' ? kPeriods[1]
                             : period == 'M' ? kPeriods[2]
                                             : kPeriods[3];
    const std::string file = dir + "/F" + std::to_string(n) + extension;
    std::cout << name << '\t' << symbol << "\tF" << n << '\t' << periodText << '\t'
              << (access(file.c_str(), R_OK) == 0 ? "File Exists" : "Non-Existant") << mark << '\n';
  };
  const std::vector<uint8_t> master = bench::ReadFile(dir + "/master");
  const std::vector<uint8_t> xmaster = extended ? bench::ReadFile(dir + "/XMASTER") : std::vector<uint8_t>();
  const std::vector<uint8_t> emaster = extended ? bench::ReadFile(dir + "/EMASTER") : std::vector<uint8_t>();
  std::string longNames[256];
  for (size_t at = kEmasterRecordSize; at + kEmasterRecordSize <= emaster.size(); at += kEmasterRecordSize) {
    const uint8_t* record = emaster.data() + at;
    longNames[record[emaster_offset::kFileNumber]] =
        Trimmed(record + emaster_offset::kLongName, emaster_offset::kLongNameSpan);
  }
  for (size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
    const uint8_t* record = master.data() + at;
    const std::string name = Trimmed(record + 7, 16);
    const std::string& longName = longNames[record[0]];
    line(!name.empty() && longName.starts_with(name) ? longName : name, Trimmed(record + 36, 14), record[0],
         static_cast<char>(record[33]), ".DAT", "");
  }
  for (size_t at = kXmasterRecordSize; at + kXmasterRecordSize <= xmaster.size(); at += kXmasterRecordSize) {
    const uint8_t* record = xmaster.data() + at;
    line(Trimmed(record + xmaster_offset::kName, xmaster_offset::kNameSpan),
         Trimmed(record + xmaster_offset::kSymbol, xmaster_offset::kSymbolSpan),
         record[xmaster_offset::kFileNumber] | record[xmaster_offset::kFileNumber + 1] << 8,
         static_cast<char>(record[xmaster_offset::kPeriod]), ".MWD", "\tXMASTER");
  }
}

void PlainShow(const std::string& dir) {
  constexpr int kFields = bench::kLargestFields;
  constexpr size_t kLength = 4 * kFields;
  std::cout << "Date\tTime\tOpen\tHigh\tLow\tClose\tVolume\tO I\n";
  long record = 0;
  ReadInBlocks(dir + "/F1.DAT", [&](const uint8_t* bytes, size_t size, size_t offset) {
    for (size_t at = offset < kLength ? kLength - offset : 0; at + kLength <= size; at += kLength) {
      std::string line = std::to_string(record++);
      char text[64];
      const auto date = static_cast<long>(MBF_IEEE(LoadMbfWord(bytes + at)));
      std::snprintf(text, sizeof text, "\t%02ld/%02ld/%02ld", date % 100, date / 100 % 100,
                    date / 10000 % 100);
      line += text;
      const auto time = static_cast<long>(MBF_IEEE(LoadMbfWord(bytes + at + 4)));
      std::snprintf(text, sizeof text, "\t%02ld:%02ld:%02ld", time / 10000, time / 100 % 100, time % 100);
      line += text;
      for (size_t c = 2; c < kFields; ++c) {
        std::snprintf(text, sizeof text, "\t%.2f",
                      static_cast<double>(MBF_IEEE(LoadMbfWord(bytes + at + 4 * c))));
        line += text;
      }
      std::cout << line << '\n';
    }
  });
}

void BenchQvx(const std::string& work, int reps) {
  const std::string full = work + "/qvx-full";
  const std::string largest = work + "/qvx-largest";
  bench::WriteFullDirectory(full);
  bench::WriteLargestInstrument(largest);
  const auto list = [&] { RunQvx({"list", full}); };
  const auto show = [&] { RunQvx({"show", largest, "1"}); };
  // The baselines print exactly what qvx prints.
  if (Captured(list) != Captured([&] { PlainList(full); })) Die("qvx list and the plain listing differ");
  if (Captured(show) != Captured([&] { PlainShow(largest); })) Die("qvx show and the plain reader differ");

  const Timing listing = MeasureQuietly(reps, list, [&] { PlainList(full); });
  const Timing showing = MeasureQuietly(reps, show, [&] { PlainShow(largest); });
  // The least that printing the same number of bytes from the same file costs.
  const size_t shownBytes = Captured(show).size();
  const Timing reading = MeasureQuietly(reps, show, [&] {
    size_t read = 0;
    ReadInBlocks(largest + "/F1.DAT", [&](const uint8_t*, size_t size, size_t) { read += size; });
    WriteBytes("/dev/null", shownBytes);
    gSink = static_cast<double>(read);
  });
  Report("qvx list, 255 instruments", "read master whole, access() each data file", listing, 2.0);
  Report("qvx show, every record of 65,535 x 8 fields", "read in 32 KiB blocks, same texts", showing, 2.0);
  Report("qvx show, the same", "read in 32 KiB blocks, write as many bytes", reading, 1.2);
}

// --- qvx export -------------------------------------------------------------

void BenchExport(const std::string& work, int reps) {
  const std::string full = work + "/export-full", out = work + "/export.csv", plain = work + "/plain.csv";
  bench::WriteFullDirectory(full);
  const auto exported = [&](std::vector<std::string> args) {
    if (RunQvx(std::move(args)) != 0) Die("qvx export reported something in sound data");
  };
  exported({"export", full, "--output", out});
  const std::vector<uint8_t> text = bench::ReadFile(out);
  if (std::count(text.begin(), text.end(), '\n') != 1 + bench::kFullDirectory * bench::kFullDirectoryRecords)
    Die("qvx export did not write a line for every record");
  if (Captured([&] { exported({"export", full}); }) != std::string(text.begin(), text.end()))
    Die("qvx export wrote other text to stdout than to its file");
  const auto readEveryFile = [&] {
    size_t read = 0;
    for (int n = 1; n <= bench::kFullDirectory; ++n)
      ReadInBlocks(full + "/F" + std::to_string(n) + ".DAT",
                   [&](const uint8_t*, size_t size, size_t) { read += size; });
    gSink = static_cast<double>(read);
  };
  const auto toFile = [&] { exported({"export", full, "--output", out}); };
  const Timing file = Measure(
      reps, [] {}, toFile, [&] { readEveryFile(), WriteBytes(plain, text.size()); });
  const Timing durable = Measure(
      reps, [] {}, toFile, [&] { readEveryFile(), WriteBytes(plain, text.size(), true); });
  const Timing quiet = MeasureQuietly(
      reps,
      [&] {
        exported({"export", full});
      },
      [&] { readEveryFile(), WriteBytes("/dev/null", text.size()); });
  Report("qvx export, 255 x 250 records, to a file", "read every data file, write as many bytes to a file",
         file, 1.5);
  Report("  to a file, against a durable write", "the same, the file forced to disk and renamed into place",
         durable, 1.5, true);
  Report("  to stdout (/dev/null)", "read every data file, write as many bytes to /dev/null", quiet, 1.5,
         true);
}

void BenchExtendedList(const std::string& work, int reps) {
  const std::string dir = work + "/qvx-extended";
  bench::WriteExtendedDirectory(dir);
  const auto list = [&] { RunQvx({"list", dir}); };
  const auto plain = [&] { PlainList(dir, true); };
  const std::string listed = Captured(list);
  if (listed != Captured(plain)) Die("qvx list and the plain listing of the extended directory differ");
  if (std::count(listed.begin(), listed.end(), '\n') != bench::kFullDirectory + bench::kXmasterInstruments)
    Die("qvx list does not list every instrument of the extended directory");

  const Timing listing = MeasureQuietly(reps, list, plain);
  Report("qvx list, 255 + 2,591 instruments", "read the three index files whole, access() each data file",
         listing, 2.0);
}

// --- qvx check -----------------------------------------------------------------

// The files below the directory, each directory's before its subdirectories'.
void FilesBelow(const std::string& path, std::vector<std::string>& files) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> subdirectories;
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    (entry->d_type == DT_DIR ? subdirectories : files).push_back(path + "/" + entry->d_name);
  }
  closedir(dir);
  for (const std::string& sub : subdirectories) FilesBelow(sub, files);
}

// Reads every file below the directory in 32 KiB blocks, as cat of each would;
// the bytes read.
size_t ReadEveryFile(const std::string& path) {
  std::vector<std::string> files;
  FilesBelow(path, files);
  size_t read = 0;
  for (const std::string& file : files)
    ReadInBlocks(file, [&](const uint8_t*, size_t size, size_t) { read += size; });
  return read;
}

// Runs a program (no shell between) with what it prints, stdout and stderr,
// kept in the file out; its exit status.
int RunProgram(const std::vector<std::string>& arguments, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t child = 0;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) Die("cannot start " + arguments[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child) Die("lost " + arguments[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// qvx as a process (the built program beside this one).
int RunQvxProcess(std::vector<std::string> arguments, const std::string& out) {
  arguments.insert(arguments.begin(), QUORVEX_QVX);
  return RunProgram(arguments, out);
}

// Three data directories: the full one twice (with DOP files) and the extended
// one (EMASTER, XMASTER and 2,591 MWD files). The largest file is left out:
// check reports that it holds more records than its header can count.
void BenchCheck(const std::string& work, int reps) {
  const std::string root = work + "/check";
  bench::WriteFullDirectory(root + "/full");
  bench::WriteFullDirectory(root + "/full2");
  bench::WriteExtendedDirectory(root + "/extended");
  const auto check = [&] {
    // One thread, as the baseline reads.
    if (RunQvx({"check", "-j", "1", root}) != 0) Die("qvx check found something in sound data");
  };
  const std::string printed = Captured(check);
  if (printed.find("Total: 3 directories (3 ok") == std::string::npos)
    Die("qvx check did not test the three directories");
  // As a vendor compares them: the program against cat given every file's
  // name (listed before, untimed), both writing to /dev/null.
  const std::string programPrinted = work + "/check.txt";
  if (RunQvxProcess({"check", "-j", "1", root}, programPrinted) != 0 ||
      bench::ReadFile(programPrinted) != std::vector<uint8_t>(printed.begin(), printed.end()))
    Die("qvx check as a program printed other text than in process");
  std::vector<std::string> cat{"cat"};
  FilesBelow(root, cat);
  if (RunProgram(cat, "/dev/null") != 0) Die("cat could not read every file");
  const Timing programs = Measure(
      reps, [] {},
      [&] {
        RunQvxProcess({"check", "-j", "1", root}, "/dev/null");
      },
      [&] { RunProgram(cat, "/dev/null"); });
  Report("qvx check -j 1, 3 directories, 3,356 data files",
         "cat of every file (" + std::to_string(cat.size() - 1) + "), both run as programs", programs, 1.5);
  // In process against reads in 32 KiB blocks: no process to start, and
  // fewer calls a file than cat makes.
  const Timing timing =
      MeasureQuietly(reps, check, [&] { gSink = static_cast<double>(ReadEveryFile(root)); });
  Report("  in process", "read every file in 32 KiB blocks, in process", timing, 1.5, true);
}

// check -j 2 against check -j 1 on a tree, both as processes: the same text,
// in less time. False when this qvx has no check -j, or found something.
bool CompareJobs(const std::string& root, const std::string& work, const std::string& name, int reps,
                 bool informative) {
  const std::string one = work + "/jobs-1.txt", two = work + "/jobs-2.txt";
  if (RunQvxProcess({"check", "-j", "1", root}, one) != 0) {
    std::printf("%-46s skipped: this qvx has no check -j, or it found something (%s)\n", name.c_str(),
                bench::ReadFile(one).empty() ? "no output" : "see its output");
    return false;
  }
  if (RunQvxProcess({"check", "-j", "2", root}, two) != 0 || bench::ReadFile(one) != bench::ReadFile(two))
    Die("qvx check -j 2 printed other text than -j 1");
  const Timing timing = Measure(
      reps, [] {},
      [&] {
        RunQvxProcess({"check", "-j", "2", root}, two);
      },
      [&] {
        RunQvxProcess({"check", "-j", "1", root}, one);
      });
  // The target is a speed-up of 1.7: ours / baseline <= 1 / 1.7.
  Report(name, "qvx check -j 1, same tree, same text", timing, 1 / 1.7, informative);
  return true;
}

// The tree of 10,000 directories, 200 of them small data directories: mostly
// the scan. Beside it, 20 data directories where the checking is the work:
// 16 full ones and 4 extended ones among them.
void BenchCheckJobs(const std::string& work, int reps) {
  const std::string tree = work + "/jobs-tree", vendor = work + "/jobs-data";
  bench::WriteTree(tree);
  if (!CompareJobs(tree, work, "qvx check -j 2, 10,000 directories", reps, false)) return;
  for (int n = 0; n < 20; ++n) {
    const std::string directory = vendor + "/v" + std::to_string(10 + n);
    n % 5 == 4 ? bench::WriteExtendedDirectory(directory) : bench::WriteFullDirectory(directory);
  }
  CompareJobs(vendor, work, "  20 data directories, 15,464 data files", reps, true);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Quorvex benchmarks: our time against a plain baseline, same run, same data."};
  int reps = 7;
  std::string keep;
  std::vector<std::string> names;
  app.add_option("--reps", reps, "Runs of each side; the best is taken")->check(CLI::PositiveNumber);
  app.add_option("--keep", keep, "Generate the data in this directory and keep it");
  app.add_option("NAME", names,
                 "dat, master, tree, records, qvx, xlist, export, import, check, jobs (default: all)");
  CLI11_PARSE(app, argc, argv);

  std::string work = keep;
  if (work.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quorvex-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Die("cannot make a work directory");
    work = pattern;
  }
  bench::MakeDirectories(work);

  const std::vector<std::pair<std::string, void (*)(const std::string&, int)>> benches = {
      {"dat", BenchDatTest},       {"master", BenchMasterTest}, {"tree", BenchDirectoryScan},
      {"records", BenchRecordOps}, {"qvx", BenchQvx},           {"xlist", BenchExtendedList},
      {"export", BenchExport},     {"import", BenchImport},     {"check", BenchCheck},
      {"jobs", BenchCheckJobs},
  };
  std::printf("Quorvex benchmarks: best of %d runs of each side; ratio = ours / baseline\n", reps);
  for (const auto& [name, run] : benches) {
    if (names.empty() || std::find(names.begin(), names.end(), name) != names.end()) run(work, reps);
  }
  if (keep.empty()) bench::RemoveTree(work);
  std::printf("%d target(s) missed\n", gMissed);
  return 0;
}
