// qvx check: every test, report only, on every data directory below a root,
// the directories tested on several threads at once and printed in the
// tree's order; each finding weighed by the severity its explanation gives.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "findings_output.h"
#include "integrity/dat_checks.h"
#include "integrity/error_reports.h"
#include "integrity/explanations.h"
#include "integrity/index_checks.h"
#include "integrity/master_checks.h"
#include "json_output.h"
#include "store/directory_instruments.h"
#include "store/file_names.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/record_export.h"
#include "store/temporary_files.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

// The explanations' levels that --fail-on names.
constexpr int32_t kUnlikely = 0, kPossible = 1, kAlways = 2;
constexpr int32_t kShownSeverities[] = {kAlways, kPossible, kUnlikely};

struct CheckOptions {
  std::string root;
  bool json = false;
  std::string failOn = "always";
  std::vector<std::string> ignore;  // as --ignore takes them (see Ignored)
  int jobs = 0;                     // 0: one a core
  std::string encoding = "windows-1252";

  int32_t Threshold() const {
    return failOn == "any" ? kUnlikely : failOn == "possible" ? kPossible : kAlways;
  }
  CodePage Page() const { return EncodingPage(encoding); }
};

// What --ignore leaves out: codes of either catalogue ("master:4", "dat:7"),
// and the findings outside them that concern the files beside the data:
// "index" (EMASTER and XMASTER), "temporary", "unlisted".
class Ignored {
 public:
  // False, and nothing added, for any other text.
  bool Add(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text == "index" || text == "temporary" || text == "unlisted") return kinds_.insert(text), true;
    const size_t colon = text.find(':');
    const std::string catalogue = text.substr(0, colon == std::string::npos ? 0 : colon);
    const std::string digits = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    const int32_t code = std::stoi(digits);
    if (catalogue == "master" && code < kMasterTestCount)
      return codes_.insert({Catalogue::Master, code}), true;
    if (catalogue == "dat" && code < kDATTestCount) return codes_.insert({Catalogue::DAT, code}), true;
    return false;
  }
  bool Kind(const char* kind) const { return kinds_.contains(kind); }
  std::vector<Defect> Without(std::vector<Defect> defects) const {
    std::erase_if(defects, [&](const Defect& d) { return codes_.contains({d.catalogue, d.code}); });
    return defects;
  }

 private:
  std::set<std::pair<Catalogue, int32_t>> codes_;
  std::set<std::string> kinds_;
};

// What check learned about one instrument's data file.
struct DATCheck {
  MasterRecord record{};  // the layout the data file is read by
  int fileNumber = 0;
  std::string name;
  std::string fileName;  // the data file's own name: F<n>.DAT, or F<n>.MWD for XMASTER's instruments
  std::string failure;   // why the data file was not tested; empty when it was
  std::vector<Defect> defects;
  DATReadings readings;  // the counts only, none of the report's previous records

  // More records than its header can count: programs that trust it see none.
  bool Uncounted() const { return readings.fileRecords > kHeaderCountLimit; }
};

// A finding outside the catalogues, printed in a line of its own under its directory.
struct Remark {
  const char* kind;  // "failed", "index", "untested", "header_count", "uncounted", "temporary", "unlisted"
  int fileNumber;    // 0 when it concerns no one instrument
  std::string text;
  int32_t severity;
};

// What check learned about one data directory.
struct DirectoryCheck {
  std::string directory;  // relative to the root, '/'-separated; "." for the root
  std::string path;       // the core's directory text
  std::string failure;    // why master was not tested; empty when it was
  std::vector<Defect> masterDefects;
  std::vector<IndexCheckFinding> indexFindings;
  std::vector<TemporaryFile> temporaries;
  std::vector<std::string> unlisted;
  std::vector<DATCheck> instruments;

  template <typename Count>
  int64_t Sum(Count count) const {
    int64_t sum = 0;
    for (const DATCheck& dat : instruments) sum += count(dat);
    return sum;
  }
  // The stored name of instrument `fileNumber` (master's first record of that
  // number, else XMASTER's); empty for 0, which names no instrument.
  const std::string& NameOf(int fileNumber) const {
    static const std::string kNone;
    const auto found = std::find_if(instruments.begin(), instruments.end(),
                                    [&](const DATCheck& dat) { return dat.fileNumber == fileNumber; });
    return fileNumber != 0 && found != instruments.end() ? found->name : kNone;
  }
  int64_t MasterDefects() const { return std::ssize(masterDefects); }
  int64_t DATDefects() const {
    return Sum([](const DATCheck& d) { return std::ssize(d.defects); });
  }
  int64_t FaultyDataFiles() const {
    return Sum([](const DATCheck& d) { return d.defects.empty() ? 0 : 1; });
  }
  int64_t UntestedDataFiles() const {
    return Sum([](const DATCheck& d) { return d.failure.empty() ? 0 : 1; });
  }

  // The findings outside the catalogues, in the order they are printed. What
  // leaves data unread or miscounted weighs as "Problems Always"; what is
  // left over beside the data, as "Problems Possible".
  std::vector<Remark> Remarks() const {
    std::vector<Remark> remarks;
    if (!failure.empty()) remarks.push_back({"failed", 0, "master not tested: " + failure, kAlways});
    for (const IndexCheckFinding& finding : indexFindings)
      remarks.push_back({"index", finding.fileNumber, finding.file + ": " + finding.text, kPossible});
    for (const DATCheck& dat : instruments) {
      if (!dat.failure.empty())
        remarks.push_back(
            {"untested", dat.fileNumber, dat.fileName + " not tested: " + dat.failure, kAlways});
      if (dat.readings.HeaderDisagrees())
        remarks.push_back({"header_count", dat.fileNumber, MiscountText(dat.readings), kAlways});
      if (dat.Uncounted()) {
        remarks.push_back({"uncounted", dat.fileNumber,
                           dat.fileName + " holds more records than its header can count", kAlways});
      }
    }
    for (const TemporaryFile& file : temporaries)
      remarks.push_back({"temporary", 0, LeftoverText(file), kPossible});
    for (const std::string& file : unlisted)
      remarks.push_back({"unlisted", 0, UnlistedText(file), kPossible});
    return remarks;
  }

  // How many findings of each level: catalogue defects and remarks alike.
  std::vector<int64_t> BySeverity() const {
    std::vector<int64_t> counts(4, 0);
    const auto add = [&](int32_t level) { ++counts[std::clamp(level, 0, 3)]; };
    for (const Defect& defect : masterDefects) add(defect.Severity());
    for (const DATCheck& dat : instruments) {
      for (const Defect& defect : dat.defects) add(defect.Severity());
    }
    for (const Remark& remark : Remarks()) add(remark.severity);
    return counts;
  }
  const char* Status() const {
    if (!failure.empty()) return "failed";
    const std::vector<int64_t> counts = BySeverity();
    return counts[0] + counts[1] + counts[2] + counts[3] > 0 ? "defects" : "ok";
  }
};

// The directory's name below the root: '/'-separated on every system, a
// backslash inside a name kept; "." for the root itself.
std::string RelativeDirectory(const std::string& root, const std::string& path) {
  std::string relative = path.substr(root.size());
  std::replace(relative.begin(), relative.end(), '\\', '/');
  relative = NativePath(relative.c_str());
  while (!relative.empty() && relative.back() == '/') relative.pop_back();
  return relative.empty() ? "." : relative;
}

DirectoryCheck CheckDirectory(const std::string& root, const std::string& path, const Ignored& ignored) {
  DirectoryCheck check;
  check.path = path;
  check.directory = RelativeDirectory(root, path);

  // Report only: the checks answer every question No and change no file.
  TerminalInteraction ui;
  // Every test below asks of the directory's names: one listing answers them all.
  const platform::ListingScope listing(path);
  const DirectoryInstruments model = ReadDirectoryInstruments(path.c_str());
  const std::vector<MasterRecord> records = ReadMasterRecords(path.c_str());
  const auto add = [&](const MasterRecord& layout, int fileNumber, const std::string& name,
                       std::string file) {
    DATCheck& dat = check.instruments.emplace_back();
    dat.record = layout, dat.fileNumber = fileNumber, dat.name = name, dat.fileName = std::move(file);
  };
  check.instruments.reserve(model.instruments.size() + records.size());
  for (const MasterRecord& record : records)
    add(record, record.FileNumber(), record.Name(), DATFileName("", record.FileNumber()));
  for (const DirectoryInstrument& listed : model.instruments) {
    if (listed.source == InstrumentSource::Xmaster)
      add(listed.layout, listed.fileNumber, listed.name, MWDFileName("", listed.fileNumber));
  }
  // The data files first: the master test then compares its dates with the
  // ends they read instead of opening each file again.
  std::map<int, DataFileEnds> ends;
  for (size_t n = 0; n < check.instruments.size(); ++n) {
    DATCheck& dat = check.instruments[n];
    const std::string name = path + dat.fileName;
    if (!Exists(name.c_str())) {
      dat.failure = GetError(kNoSuchFileMessage);
      continue;
    }
    CollectingReport report(ui);
    TestDataFile(path.c_str(), dat.fileName.c_str(), report, kDATDialogOrder, kDATTestCount, dat.record,
                 &dat.readings);
    dat.readings.previous = {};
    if (n < records.size()) ends.emplace(dat.fileNumber, dat.readings.ends);  // master's instruments
    if (report.Failed()) {
      dat.failure = report.Notice();
      continue;
    }
    dat.defects = ignored.Without(DATDefects(report.Findings(), dat.record, dat.fileNumber));
  }
  {
    CollectingReport report(ui);
    TestMasterFile(path.c_str(), report, kMasterDialogOrder, kMasterTestCount, 0, 0, 0, &ends);
    if (report.Failed()) {
      DirectoryCheck failed;
      failed.path = check.path, failed.directory = check.directory, failed.failure = report.Notice();
      return failed;
    }
    check.masterDefects = ignored.Without(MasterDefects(report.Findings()));
  }
  if (!ignored.Kind("index"))
    check.indexFindings = CheckIndexFiles(path.c_str(), model.emaster, model.xmaster);
  if (!ignored.Kind("temporary")) check.temporaries = ListTemporaryFiles(path.c_str());
  if (!ignored.Kind("unlisted")) check.unlisted = UnlistedDataFiles(path.c_str());
  return check;
}

// "12 of 80 directories checked; now Stocks/ABC" on a terminal's stderr,
// over the line before; nothing when stderr is no terminal.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), shown_(StderrIsTerminal()) {}
  ~Progress() {
    if (shown_ && width_ > 0) std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  }

  void Starting(const std::string& directory) {
    if (!shown_) return;
    const std::lock_guard lock(mutex_);
    std::string line = std::to_string(done_) + " of " + std::to_string(total_) + " directories checked; now ";
    constexpr size_t kWidth = 79;
    line += directory.size() + line.size() <= kWidth
                ? directory
                : "..." + directory.substr(directory.size() + line.size() + 3 - kWidth);
    const size_t width = line.size();
    if (line.size() < width_) line.append(width_ - line.size(), ' ');
    width_ = width;
    std::cerr << '\r' << line << std::flush;
  }
  void Done() {
    const std::lock_guard lock(mutex_);
    ++done_;
  }

 private:
  const size_t total_;
  const bool shown_;
  std::mutex mutex_;
  size_t done_ = 0;
  size_t width_ = 0;
};

// Every directory checked by `jobs` threads at once, each taking the next
// directory not yet taken; the results in the directories' order.
std::vector<DirectoryCheck> CheckDirectories(const std::string& root,
                                             const std::vector<std::string>& directories,
                                             const Ignored& ignored, int jobs) {
  std::vector<DirectoryCheck> checks(directories.size());
  std::atomic<size_t> next = 0;
  Progress progress(directories.size());
  const auto work = [&] {
    for (size_t i; (i = next++) < directories.size();) {
      progress.Starting(RelativeDirectory(root, directories[i]));
      try {
        checks[i] = CheckDirectory(root, directories[i], ignored);
      } catch (const std::bad_alloc&) {
        checks[i] = DirectoryCheck{};
        checks[i].directory = RelativeDirectory(root, directories[i]);
        checks[i].path = directories[i];
        checks[i].failure = GetError(kOutOfMemoryMessage);
      }
      progress.Done();
    }
  };
  const size_t threads = std::min<size_t>(jobs, directories.size());
  std::vector<std::thread> workers;
  for (size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  return checks;
}

std::vector<int64_t> BySeverity(const std::vector<DirectoryCheck>& checks) {
  std::vector<int64_t> counts(4, 0);
  for (const DirectoryCheck& check : checks) {
    const std::vector<int64_t> own = check.BySeverity();
    for (size_t level = 0; level < counts.size(); ++level) counts[level] += own[level];
  }
  return counts;
}

void PrintSummary(const std::vector<DirectoryCheck>& checks) {
  size_t width = 1;
  for (const DirectoryCheck& check : checks) width = std::max(width, check.directory.size());
  int64_t ok = 0, withDefects = 0, failed = 0, masterDefects = 0, datDefects = 0, untested = 0;
  for (const DirectoryCheck& check : checks) {
    std::string status = check.Status();
    std::string line = status == "ok" ? "OK       " : status == "failed" ? "FAILED   " : "DEFECTS  ";
    line += check.directory + std::string(width - check.directory.size() + 2, ' ');
    std::vector<Remark> remarks = check.Remarks();
    if (!check.failure.empty()) {
      line += remarks.front().text;
      remarks.clear();
      ++failed;
    } else {
      line += Plural(static_cast<int64_t>(check.instruments.size()), "instrument", "instruments");
      if (status == "ok") {
        ++ok;
      } else {
        ++withDefects;
        line += ", " + Plural(check.MasterDefects(), "master defect", "master defects");
        line += ", " + Plural(check.DATDefects(), "DAT defect", "DAT defects");
        if (check.DATDefects() > 0)
          line += " in " + Plural(check.FaultyDataFiles(), "data file", "data files");
        if (check.UntestedDataFiles() > 0) {
          line += ", " + Plural(check.UntestedDataFiles(), "data file", "data files") + " not tested";
        }
        if (!check.indexFindings.empty()) {
          line += ", " + Plural(std::ssize(check.indexFindings), "index file finding", "index file findings");
        }
        for (const Remark& remark : remarks) {
          if (std::string_view(remark.kind) == "uncounted") line += ", " + remark.text;
        }
      }
    }
    masterDefects += check.MasterDefects();
    datDefects += check.DATDefects();
    untested += check.UntestedDataFiles();
    std::cout << line << '\n';
    // Below it, what the line does not count.
    for (const Remark& remark : remarks) {
      const std::string_view kind = remark.kind;
      if (kind != "untested" && kind != "uncounted") std::cout << std::string(9, ' ') << remark.text << '\n';
    }
  }
  std::cout << "Total: " << Plural(static_cast<int64_t>(checks.size()), "directory", "directories") << " ("
            << ok << " ok, " << withDefects << " with defects, " << failed << " failed), "
            << Plural(masterDefects, "master defect", "master defects") << ", "
            << Plural(datDefects, "DAT defect", "DAT defects") << ", "
            << Plural(untested, "data file", "data files") << " not tested\n";
  const std::vector<int64_t> counts = BySeverity(checks);
  std::cout << "By severity:";
  for (int32_t level : kShownSeverities)
    std::cout << (level == kAlways ? " " : ", ") << counts[level] << ' ' << GetSeverityText(level);
  std::cout << '\n';
}

// Every finding of the directory, catalogue defects and remarks alike, as the
// flat list of the JSON document.
void AddFindings(Json& list, const DirectoryCheck& check, const CheckOptions& options) {
  const std::string directory = PathTextUtf8(check.path.c_str(), options.Page());
  const auto finding = [&](const char* kind, int fileNumber, const std::string& name) {
    Json object;
    object["directory"] = directory;
    object["kind"] = kind;
    object["file_number"] = fileNumber;
    object["instrument"] = ToUtf8(name, options.Page());
    return object;
  };
  const auto severity = [](Json& object, int32_t level) {
    object["severity"] = level;
    object["severity_text"] = GetSeverityText(level);
  };
  for (const Defect& defect : check.masterDefects) {
    Json object = finding("master", defect.fileNumber, check.NameOf(defect.fileNumber));
    object["record"] = object["column"] = object["column_name"] = nullptr;
    object["code"] = defect.code;
    object["name"] = defect.Name();
    severity(object, defect.Severity());
    list.push_back(std::move(object));
  }
  for (const DATCheck& dat : check.instruments) {
    for (const Defect& defect : dat.defects) {
      Json object = finding("dat", dat.fileNumber, dat.name);
      object["record"] = defect.record;
      object["column"] = defect.column;
      object["column_name"] = defect.columnName;
      object["code"] = defect.code;
      object["name"] = defect.Name();
      severity(object, defect.Severity());
      list.push_back(std::move(object));
    }
  }
  for (const Remark& remark : check.Remarks()) {
    Json object = finding(remark.kind, remark.fileNumber, check.NameOf(remark.fileNumber));
    object["record"] = object["column"] = object["column_name"] = object["code"] = nullptr;
    object["name"] = ToUtf8(remark.text, options.Page());
    severity(object, remark.severity);
    list.push_back(std::move(object));
  }
}

void PrintJsonDocument(const std::vector<DirectoryCheck>& checks, const CheckOptions& options,
                       int exitStatus) {
  Json out, directories = Json::array(), findings = Json::array();
  int64_t ok = 0, withDefects = 0, failed = 0, masterDefects = 0, datDefects = 0, untested = 0;
  for (const DirectoryCheck& check : checks) {
    const std::string status = check.Status();
    ok += status == "ok";
    withDefects += status == "defects";
    failed += status == "failed";
    masterDefects += check.MasterDefects();
    datDefects += check.DATDefects();
    untested += check.UntestedDataFiles();
    Json directory;
    directory["directory"] =
        IsUtf8(check.directory) ? check.directory : ToUtf8(check.directory, options.Page());
    directory["path"] = PathTextUtf8(check.path.c_str(), options.Page());
    directory["status"] = status;
    directory["failure"] = TextOrNull(check.failure);
    directory["instruments"] = check.instruments.size();
    directory["master_defects"] = check.MasterDefects();
    directory["dat_defects"] = check.DATDefects();
    directory["index_findings"] = IndexFindingsJson(check.indexFindings, options.Page());
    directory["temporary_files"] = TemporaryFilesJson(check.temporaries);
    directory["unlisted_data_files"] = check.unlisted;
    Json files = Json::array();
    for (const DATCheck& dat : check.instruments) {
      Json file;
      file["file_number"] = dat.fileNumber;
      file["instrument"] = ToUtf8(dat.name, options.Page());
      file["failure"] = TextOrNull(dat.failure);
      file["uncounted"] = dat.Uncounted();
      AddHeaderCount(file, dat.readings);
      file["dat_defects"] = dat.defects.size();
      files.push_back(std::move(file));
    }
    directory["data_files"] = std::move(files);
    directories.push_back(std::move(directory));
    AddFindings(findings, check, options);
  }
  out["root"] = PathTextUtf8(options.root.c_str(), options.Page());
  out["fail_on"] = options.failOn;
  out["ignore"] = options.ignore;
  out["directories"] = std::move(directories);
  out["findings"] = std::move(findings);
  Json bySeverity = Json::array();
  const std::vector<int64_t> counts = BySeverity(checks);
  for (int32_t level : kShownSeverities)
    bySeverity.push_back(
        {{"severity", level}, {"severity_text", GetSeverityText(level)}, {"findings", counts[level]}});
  out["totals"] = {{"directories", checks.size()},    {"ok", ok},
                   {"with_defects", withDefects},     {"failed", failed},
                   {"master_defects", masterDefects}, {"dat_defects", datDefects},
                   {"untested_data_files", untested}, {"by_severity", std::move(bySeverity)}};
  out["exit_status"] = exitStatus;
  PrintJson(out);
}

int RunCheck(CheckOptions options) {
  const std::optional<std::string> searchable = SearchableDirectory(options.root);
  if (!searchable) return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(options.root));
  Ignored ignored;
  for (const std::string& text : options.ignore)
    ignored.Add(text);  // each checked when the options were read
  options.root = *searchable;
  const int jobs =
      options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  std::vector<std::string> directories;
  if (!DataDirectoriesBelow(options.root, &directories, jobs)) return Fail(GetError(kOutOfMemoryMessage));
  const std::vector<DirectoryCheck> checks = CheckDirectories(options.root, directories, ignored, jobs);
  // Found enough to fail: a finding of the level asked for or a worse one; a
  // directory whose master could not be tested counts as the worst.
  const std::vector<int64_t> counts = BySeverity(checks);
  int status = kExitSuccess;
  for (int32_t level = options.Threshold(); level < 4; ++level) {
    if (counts[level] > 0) status = kExitFound;
  }
  if (options.json) {
    PrintJsonDocument(checks, options, status);
  } else {
    PrintSummary(checks);
  }
  return status;
}

}  // namespace

void RegisterCheckCommands(CLI::App& app, int* status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* check = app.add_subcommand(
      "check", "Every test, report only, on every data directory below ROOT; changes no file");
  check->add_option("ROOT", options->root, "Root directory")->required();
  check->add_flag("--json", options->json,
                  "One JSON document: every directory, every finding with its severity, and totals");
  check
      ->add_option(
          "--fail-on", options->failOn,
          "The findings that give exit status 1: always (default: \"Problems Always\" only), possible "
          "(and \"Problems Possible\"), any")
      ->check(CLI::IsMember({"always", "possible", "any"}));
  check
      ->add_option(
          "--ignore", options->ignore,
          "Comma-separated codes to leave out, each master:CODE or dat:CODE (e.g. master:1,master:4)")
      ->delimiter(',')
      ->check(CLI::Validator(
          [](std::string& text) {
            return Ignored().Add(text)
                       ? std::string()
                       : "\"" + text +
                             "\" is not master:0 ... master:" + std::to_string(kMasterTestCount - 1) +
                             ", dat:0 ... dat:" + std::to_string(kDATTestCount - 1) +
                             ", index, temporary or unlisted";
          },
          "master:CODE, dat:CODE, index, temporary or unlisted"));
  check->add_option("-j,--jobs", options->jobs, "Directories tested at once (default: one a processor core)")
      ->check(CLI::Range(1, 256));
  AddJsonEncodingOption(check, &options->encoding);
  check->footer(MasterCodes() + DATCodes() +
                "Exit status: 0 nothing found at the --fail-on level or worse; 1 found; 2 a refusal.\n");
  check->callback([=] { *status = RunCheck(*options); });
}

}  // namespace qvx
