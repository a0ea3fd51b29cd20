#include "history/history_files.h"

#include <cmath>
#include <fstream>
#include <unordered_map>

#include "app/paths.h"
#include "base/calendar.h"
#include "base/log.h"
#include "data/price_text.h"
#include "data/stock_code.h"
#include "formats/history_layout.h"
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
    r.day = *day;
    std::int32_t close = 0;
    switch (priceOf(Value(*line.close), close)) {
      case PriceCell::NoPrice: ++out.withoutClose; return {};
      case PriceCell::NotNumber: return line.where() + ": close '" + line.close->substr(0, 40) + "'";
      case PriceCell::Price: break;
    }
    r.close = close;
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
  std::string bytes;
  for (size_t i = 0; i < files.size(); ++i) {
    HistoryFileReport rep;
    rep.file = files[i];
    pr.current = nameOnly(files[i]);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(files[i], ec);
    ParsedHistoryFile parsed;
    if (ec) {
      rep.fail(HistoryFileFailure::Unreadable, "cannot read: " + ec.message());
    } else if (size > kMaxHistoryFileBytes) {
      rep.fail(HistoryFileFailure::TooLarge, "larger than " + std::to_string(kMaxHistoryFileBytes >> 20) + " MiB");
    } else {
      std::ifstream in(files[i], std::ios::binary);
      bytes.assign(static_cast<size_t>(size), '\0');
      if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        rep.fail(HistoryFileFailure::Unreadable, "cannot read");
      } else {
        parsed = parseHistoryFile(bytes, pr.current);
        if (!parsed.done()) rep.fail(parsed.failure, parsed.detail);
      }
    }
    rep.lines = parsed.lines;
    out.lines += parsed.lines;
    pr.lines += parsed.lines;
    if (rep.done()) {
      try {
        Transaction tx(db);
        HistoryWriter writer(db);
        std::size_t sinceReport = 0;
        for (const HistoryFileRecord& r : parsed.records) {
          auto hit = codes.find(r.code);
          if (hit == codes.end()) {
            rep.unknownCodes.insert(r.code);
            ++rep.unknownLines;
            continue;
          }
          writer.put(hit->second, r.day, r.close);
          if (++sinceReport == kProgressLines) {
            sinceReport = 0;
            pr.written = out.written + writer.written();
            report();
          }
        }
        tx.commit();
        rep.written = writer.written();
        rep.imported = true;
      } catch (const std::exception& e) {
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
    pr.file = i + 1;
    pr.written = out.written;
    if (!report() && i + 1 < files.size()) {
      out.stopped = true;
      break;
    }
  }
  return out;
}

}  // namespace tavrin
