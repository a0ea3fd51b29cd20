#include "history/history_files.h"

#include <cmath>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "app/paths.h"
#include "base/calendar.h"
#include "base/log.h"
#include "data/price_text.h"
#include "data/stock_code.h"
#include "formats/history_layout.h"
#include "history/history_checks.h"
#include "history/price_history.h"

namespace tavrin {

namespace {

constexpr std::size_t kProgressLines = 50000;

std::string nameOnly(const std::filesystem::path& p) { return toUtf8(p.filename()); }

}  // namespace

std::optional<std::string> codeFromFileName(const std::string& fileName) {
  std::string base = toUtf8(std::filesystem::path(fromUtf8(fileName)).filename());
  const size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  return stockCodeOfTicker(base);
}

ParsedHistoryFile parseHistoryFile(const std::string& raw, const std::string& fileName) {
  ParsedHistoryFile out;
  std::optional<std::string> fileCode;
  auto onLayout = [&](HistoryLayout layout) -> std::string {
    out.layout = layout == HistoryLayout::BulkDownload ? ParsedHistoryFile::Layout::BulkDownload
                 : layout == HistoryLayout::PerDay     ? ParsedHistoryFile::Layout::PerDay
                                                       : ParsedHistoryFile::Layout::Export;
    if (layout == HistoryLayout::Export) {
      fileCode = codeFromFileName(fileName);
      if (!fileCode) return "no stock code in the file name";
    }
    out.records.reserve(raw.size() / 40);
    return {};
  };
  auto onLine = [&](const HistoryTextLine& line) -> std::string {
    ++out.lines;
    HistoryFileRecord r;
    if (fileCode) {
      r.code = *fileCode;
    } else {
      std::optional<std::string> c = stockCodeOfTicker(*line.code);
      if (!c) return line.where() + ": no stock code";
      r.code = std::move(*c);
    }
    const std::optional<int> day = parseHistoryDate(*line.date);
    if (!day) return line.where() + ": date '" + line.date->substr(0, 40) + "'";
    r.bar.day = *day;
    std::int32_t close = 0;
    switch (priceOf(Value(*line.close), close)) {
      case PriceCell::NoPrice: ++out.withoutClose; return {};
      case PriceCell::NotNumber: return line.where() + ": close '" + line.close->substr(0, 40) + "'";
      case PriceCell::Price: break;
    }
    r.bar.close = close * 10;
    out.records.push_back(std::move(r));
    return {};
  };
  std::string damaged = readHistoryText(raw, onLayout, onLine);
  if (!damaged.empty()) {
    out.fail(HistoryFileFailure::Damaged, std::move(damaged));
    out.records.clear();
  }
  return out;
}

namespace {

// Reads and parses one file (the work the reader thread does).
struct ReadFile {
  HistoryFileReport report;
  ParsedHistoryFile parsed;
};

ReadFile readOne(const std::filesystem::path& path) {
  ReadFile r;
  r.report.file = path;
  const std::string name = nameOnly(path);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    r.report.fail(HistoryFileFailure::Unreadable, "cannot read: " + ec.message());
  } else if (size > kMaxHistoryFileBytes) {
    r.report.fail(HistoryFileFailure::TooLarge, "larger than " + std::to_string(kMaxHistoryFileBytes >> 20) + " MiB");
  } else {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
      r.report.fail(HistoryFileFailure::Unreadable, "cannot read");
    } else {
      r.parsed = parseHistoryFile(bytes, name);
      if (!r.parsed.done()) r.report.fail(r.parsed.failure, r.parsed.detail);
    }
  }
  r.report.lines = r.parsed.lines;
  return r;
}

// Files are read and parsed on a thread of their own, a few ahead of the
// writer, in the order given.
class FileReader {
 public:
  explicit FileReader(const std::vector<std::filesystem::path>& files) : files_(files) {
    thread_ = std::thread([this] { run(); });
  }
  ~FileReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadFile next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty(); });
    ReadFile r = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return r;
  }

 private:
  void run() {
    for (const std::filesystem::path& f : files_) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || ready_.size() < kAhead; });
        if (stop_) return;
      }
      ReadFile r;
      try {
        r = readOne(f);
      } catch (const std::exception& e) {
        r = ReadFile{};
        r.report.file = f;
        r.report.fail(HistoryFileFailure::Unreadable, std::string("cannot read: ") + e.what());
      }
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(r));
      changed_.notify_all();
    }
  }
  static constexpr std::size_t kAhead = 3;
  const std::vector<std::filesystem::path>& files_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ReadFile> ready_;
  bool stop_ = false;
  std::thread thread_;
};

// Files are written in batches of one transaction (a commit per file would
// sync the disk thousands of times); each file has a savepoint of its own
// so that a file the database refuses leaves nothing of it behind.
constexpr std::size_t kBatchBars = 2'000'000;

}  // namespace

HistoryImportOutcome importHistoryFiles(Database& db, const std::vector<std::filesystem::path>& files,
                                        const HistoryProgressFn& progress) {
  HistoryImportOutcome out;
  out.files = files.size();
  std::unordered_map<std::string, Value> codes;
  try {
    codes = listCodes(db);
    Transaction tx(db);
    ensureHistoryTable(db);
    tx.commit();
  } catch (const std::exception& e) {
    out.fail(HistoryImportFailure::Database, e.what());
    return out;
  }
  HistoryImportProgress pr;
  pr.files = files.size();
  auto report = [&]() { return !progress || progress(pr); };
  std::set<std::string> touched;
  std::optional<Transaction> batch;
  std::size_t batchBars = 0, batchFiles = 0;
  // A batch the database refuses keeps none of its files: they count as not
  // written, and the import stops.
  auto loseBatch = [&](const std::string& why) {
    batch.reset();
    out.imported -= batchFiles;
    out.failed += batchFiles;
    out.written -= batchBars;
    batchBars = batchFiles = 0;
    out.fail(HistoryImportFailure::Database, "not written: " + why);
    logLine("history import", out.detail);
  };
  auto commitBatch = [&]() -> bool {
    if (!batch) return true;
    try {
      batch->commit();
    } catch (const std::exception& e) {
      loseBatch(e.what());
      return false;
    }
    batch.reset();
    batchBars = batchFiles = 0;
    return true;
  };
  {
    FileReader reader(files);
    for (size_t i = 0; i < files.size(); ++i) {
      ReadFile read = reader.next();
      HistoryFileReport& rep = read.report;
      pr.current = nameOnly(files[i]);
      out.lines += rep.lines;
      pr.lines += rep.lines;
      if (rep.done()) {
        bool savepoint = false;
        try {
          if (!batch) batch.emplace(db);
          db.exec("savepoint history_file");
          savepoint = true;
          HistoryWriter writer(db);
          std::size_t sinceReport = 0;
          const std::string* lastCode = nullptr;
          for (const HistoryFileRecord& r : read.parsed.records) {
            if (lastCode && *lastCode != r.code) writer.flush();  // one stock at a time
            lastCode = &r.code;
            auto hit = codes.find(r.code);
            if (hit == codes.end()) {
              rep.unknownCodes.insert(r.code);
              ++rep.unknownLines;
              continue;
            }
            touched.insert(r.code);
            writer.put(hit->second, r.bar);
            if (++sinceReport == kProgressLines) {
              sinceReport = 0;
              pr.written = out.written + writer.written();
              report();
            }
          }
          writer.flush();
          db.exec("release history_file");
          rep.written = writer.written();
          rep.imported = true;
          batchBars += rep.written;
          ++batchFiles;
        } catch (const std::exception& e) {
          if (savepoint) {
            try {
              db.exec("rollback to history_file");
              db.exec("release history_file");
            } catch (const std::exception& again) {
              loseBatch(again.what());
              return out;
            }
          }
          rep.fail(HistoryFileFailure::NotWritten, std::string("not written: ") + e.what());
          rep.written = 0;
        }
      }
      if (rep.imported) {
        ++out.imported;
        out.written += rep.written;
      } else {
        ++out.failed;
        logLine("history import", toUtf8(rep.file) + ": " + rep.detail);
      }
      out.unknownCodes.insert(rep.unknownCodes.begin(), rep.unknownCodes.end());
      if (!rep.imported || !rep.unknownCodes.empty()) out.notes.push_back(std::move(rep));
      if (batchBars >= kBatchBars && !commitBatch()) return out;
      pr.file = i + 1;
      pr.written = out.written;
      if (!report() && i + 1 < files.size()) {
        out.stopped = true;
        break;
      }
    }
  }
  if (!commitBatch()) return out;
  try {
    out.incompleteDays.clear();
    for (const HistoryDay& d : historyDays(db))
      if (!d.complete) out.incompleteDays.push_back(d);
    for (const std::string& code : touched) {
      std::vector<HistoryFinding> f = checkBars(code, readHistory(db, codes.at(code)));
      out.findings.insert(out.findings.end(), std::make_move_iterator(f.begin()), std::make_move_iterator(f.end()));
    }
  } catch (const std::exception& e) {
    logLine("history import", std::string("checks not made: ") + e.what());
  }
  return out;
}

}  // namespace tavrin
