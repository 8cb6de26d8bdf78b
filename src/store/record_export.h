// Instruments' records as text for other programs (qvx export; the
// browser's Export... is to use it too): CSV in one of the layouts of
// text_layouts.h, or JSON Lines carrying the table layout's fields, one
// object a record with every field present, an absent value null. Records
// are read a block at a time through the file layer and written through one
// large buffer, so an export takes the same memory whatever the size of its
// data.
//
// Values. A number is the shortest text that reads back as the stored float
// (WriteShortestFloat). A date is written when it is a whole number that
// makes a valid date (ExtractDate), a time when it is a whole HHMMSS of
// hours 0-23, minutes and seconds 0-59. Anything else, the corrupt-number
// marker among it, is written empty (null in JSON) and reported through the
// warning callback, which names the data file and the record (counted from
// 0, as qvx counts them).
// Texts. Symbol and name are converted to UTF-8 from the code page they are
// stored in; the directory is written as the system writes it (NativePath)
// without its trailing separator, converted likewise unless it is UTF-8
// already. A CSV field holding a comma, a quote, a CR or an LF is quoted,
// its quotes doubled (RFC 4180). Lines end in LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filelayer/platform_file.h"
#include "primitives/code_page.h"
#include "store/directory_instruments.h"
#include "store/text_layouts.h"

enum class ExportFormat { Csv, JsonLines };

struct ExportOptions {
  TextLayout layout = TextLayout::Table;  // JSON Lines carry the table layout's fields whatever it says
  ExportFormat format = ExportFormat::Csv;
  CodePage codePage = CodePage::Windows1252;  // what names and symbols are stored in
  // Stored dates (CYYMMDD), both included. With either set, a record is
  // exported only when its date is valid and within them; one whose date is
  // not valid is reported.
  std::optional<float> from = std::nullopt;
  std::optional<float> to = std::nullopt;
};

// A core path (a directory text, or a file in one) as UTF-8 for text that
// leaves the program (the export's directory column, qvx's JSON): the path as
// the system writes it, without its trailing separator, converted from the
// page unless it is UTF-8 already.
std::string PathTextUtf8(const char* path, CodePage page);

// Where exported text goes, in large pieces and in order.
class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // false when the bytes could not all be written; nothing more is given then.
  virtual bool Write(const char* bytes, size_t size) = 0;
};

// Text gathered in one large buffer and handed to a sink a buffer at a time.
// Nothing is written on destruction: Flush at the end, and see its result.
class TextOutput {
 public:
  static constexpr size_t kCapacity = size_t{1} << 20;
  explicit TextOutput(ExportSink& sink) : sink_(sink), buffer_(new char[kCapacity]) {}

  // Room for `size` bytes at the pointer returned (handing what is gathered
  // to the sink first when they would not fit); Commit takes the bytes
  // written there up to `end`.
  char* Reserve(size_t size);
  void Commit(const char* end) { used_ = static_cast<size_t>(end - buffer_.get()); }
  void Append(std::string_view text);
  // Hands what is gathered to the sink. false once the sink has refused
  // anything; later text is dropped.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  ExportSink& sink_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = kCapacity;
  size_t used_ = 0;
  bool failed_ = false;
};

// Exports instruments one after another into one text.
class RecordExporter {
 public:
  using Warn = std::function<void(const std::string& text)>;
  RecordExporter(TextOutput& out, const ExportOptions& options, Warn warn);

  // The CSV header line (JSON Lines have none).
  void WriteHeader();
  // Every record of the instrument's data file that passes the date bounds,
  // in file order; the records written. A data file that is missing or
  // cannot be read, a layout the DAT readers do not know, and bytes after
  // the last whole record are reported and left out. directory: the core
  // directory text the instrument was read from.
  int64_t ExportInstrument(const char* directory, const DirectoryInstrument& instrument);

 private:
  struct Plan;
  void ExportRecord(Plan& plan, const unsigned char* record, int32_t number);
  // A value not exported as stored: the first few of a file each in a line.
  void Report(Plan& plan, int32_t number, const std::string& what);

  // A separator or marker of a row, copied whole (fixed size: no call).
  struct ShortText {
    char text[24] = {};
    size_t size = 0;
    void Set(std::string_view from) { size = from.copy(text, sizeof text); }
    char* Put(char* out) const;
  };

  TextOutput& out_;
  ExportOptions options_;
  Warn warn_;
  ShortText leads_[8];  // the text before each value but the first
  ShortText absent_;
  ShortText lineEnd_;
  std::vector<unsigned char> block_;  // records read, reused from file to file
};

// A file written through a new temporary beside it ("<name>.tmp", or
// ".tmp2" and so on when that exists), which takes the file's name at Commit:
// an export that is stopped never leaves a piece of its text under the name, and
// one that fails leaves the file that was there as it was. Written through
// the platform calls, which take 64-bit offsets: an export may pass 2 GiB.
class ReplacingFileSink : public ExportSink {
 public:
  ReplacingFileSink() = default;
  ReplacingFileSink(const ReplacingFileSink&) = delete;
  ReplacingFileSink& operator=(const ReplacingFileSink&) = delete;
  ~ReplacingFileSink() override { Abandon(); }

  // Creates the temporary. false, and nothing created, when the name is a
  // directory's, an existing file there cannot be replaced (read-only, held
  // by another program), or the temporary cannot be created.
  bool Open(const std::string& fileName);
  bool Write(const char* bytes, size_t size) override;
  // Lets the temporary take the file's name; false, the temporary removed
  // and the file as it was, when that fails.
  bool Commit();
  // Closes and removes the temporary, if any.
  void Abandon();

 private:
  std::string fileName_;
  std::string tempName_;
  platform::FileRef file_ = nullptr;
  int64_t written_ = 0;
};
