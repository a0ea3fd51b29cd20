#include "history/history_files.h"

#include <cmath>
#include <fstream>
#include <unordered_map>

#include "app/log.h"
#include "app/paths.h"
#include "history/price_history.h"
#include "readers/csv_text.h"
#include "readers/price_text.h"
#include "registration/workbook.h"
#include "utilities/memo.h"

namespace tavrin {

namespace {

constexpr std::size_t kProgressLines = 50000;

// "7203.JP" -> "7203"; "130a.jp" -> "130A".
std::optional<std::string> codeOfTicker(const std::string& ticker) {
  std::string t = trimmedField(ticker);
  const size_t dot = t.find('.');
  if (dot != std::string::npos) t.resize(dot);
  for (char& c : t)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (t.empty()) return std::nullopt;
  return codeKey(Value(t));
}

std::string nameOnly(const std::filesystem::path& p) { return toUtf8(p.filename()); }

}  // namespace

std::optional<std::string> codeFromFileName(const std::string& fileName) {
  std::string base = toUtf8(std::filesystem::path(fromUtf8(fileName)).filename());
  const size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  return codeOfTicker(base);
}

ParsedHistoryFile parseHistoryFile(const std::string& raw, const std::string& fileName) {
  ParsedHistoryFile out;
  auto damaged = [&out](std::string why) {
    out.ok = false;
    out.error = std::move(why);
    out.records.clear();
    return out;
  };
  if (raw.find('\0') != std::string::npos) return damaged("not a text file");
  const std::optional<std::string> text = decodeTextFile(raw);
  if (!text) return damaged("neither UTF-8 nor code page 932 text");
  TextLines lines(*text);
  auto nextLine = [&lines](std::string_view& line) { return lines.next(line); };

  std::string_view line;
  bool haveHeader = false;
  while (nextLine(line))
    if (!trimmedField(line).empty()) {
      haveHeader = true;
      break;
    }
  if (!haveHeader) return damaged("empty file");
  const char sep = detectSeparator(line);
  std::vector<std::string> fields;
  if (!splitCsvLine(line, sep, fields)) return damaged("line 1: unclosed quote");
  std::vector<std::string> keys;
  for (const std::string& f : fields) keys.push_back(headerKey(f));

  const int dateCol = findHeaderColumn(keys, {"date", "日付", "日時", "年月日", "取引日"});
  const int closeCol = findHeaderColumn(keys, {"close", "終値", "株価", "現在値"});
  int codeCol = findHeaderColumn(keys, {"ticker", "コード", "銘柄コード", "証券コード", "code", "sc", "symbol"});
  if (dateCol < 0 || closeCol < 0)
    return damaged("line " + std::to_string(lines.number()) + ": no date and close columns");
  std::optional<std::string> fileCode;
  if (codeCol >= 0) {
    out.layout = keys[static_cast<size_t>(codeCol)] == "ticker" ? ParsedHistoryFile::Layout::BulkDownload
                                                                : ParsedHistoryFile::Layout::PerDay;
  } else {
    out.layout = ParsedHistoryFile::Layout::Export;
    fileCode = codeFromFileName(fileName);
    if (!fileCode) return damaged("no stock code in the file name");
  }
  const size_t needed = static_cast<size_t>(std::max({dateCol, closeCol, codeCol})) + 1;

  out.records.reserve(lines.size() / 40);
  while (nextLine(line)) {
    if (trimmedField(line).empty()) continue;
    const std::string where = "line " + std::to_string(lines.number());
    if (!splitCsvLine(line, sep, fields)) return damaged(where + ": unclosed quote");
    if (fields.size() < needed) return damaged(where + ": " + std::to_string(fields.size()) + " fields");
    ++out.lines;
    HistoryFileRecord r;
    if (fileCode) {
      r.code = *fileCode;
    } else {
      std::optional<std::string> c = codeOfTicker(fields[static_cast<size_t>(codeCol)]);
      if (!c) return damaged(where + ": no stock code");
      r.code = std::move(*c);
    }
    std::optional<int> day = parseHistoryDate(fields[static_cast<size_t>(dateCol)]);
    if (!day) return damaged(where + ": date '" + fields[static_cast<size_t>(dateCol)].substr(0, 40) + "'");
    r.day = *day;
    std::int32_t close = 0;
    const PriceCell cell = priceOf(Value(fields[static_cast<size_t>(closeCol)]), close);
    r.close = close;
    switch (cell) {
      case PriceCell::NoPrice: ++out.withoutClose; continue;
      case PriceCell::NotNumber:
        return damaged(where + ": close '" + fields[static_cast<size_t>(closeCol)].substr(0, 40) + "'");
      case PriceCell::Price: break;
    }
    out.records.push_back(std::move(r));
  }
  out.ok = true;
  return out;
}

HistoryImportOutcome importHistoryFiles(Database& db, const std::vector<std::filesystem::path>& files,
                                        const HistoryProgressFn& progress) {
  HistoryImportOutcome out;
  out.files = files.size();
  const std::unordered_map<std::string, Value> codes = listCodes(db);
  {
    Transaction tx(db);
    ensureHistoryTable(db);
    tx.commit();
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
      rep.error = "cannot read: " + ec.message();
    } else if (size > kMaxHistoryFileBytes) {
      rep.error = "larger than " + std::to_string(kMaxHistoryFileBytes >> 20) + " MiB";
    } else {
      std::ifstream in(files[i], std::ios::binary);
      bytes.assign(static_cast<size_t>(size), '\0');
      if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        rep.error = "cannot read";
      } else {
        parsed = parseHistoryFile(bytes, pr.current);
        if (!parsed.ok) rep.error = parsed.error;
      }
    }
    rep.lines = parsed.lines;
    out.lines += parsed.lines;
    pr.lines += parsed.lines;
    if (rep.error.empty()) {
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
        rep.error = std::string("not written: ") + e.what();
        rep.written = 0;
      }
    }
    if (rep.imported) {
      ++out.imported;
      out.written += rep.written;
    } else {
      ++out.failed;
      logLine("history import", toUtf8(rep.file) + ": " + rep.error);
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

std::vector<std::string> describeNotes(const HistoryImportOutcome& outcome, std::size_t maxCodes) {
  std::vector<std::string> lines;
  for (const HistoryFileReport& r : outcome.notes) {
    const std::string name = toUtf8(r.file);
    if (!r.imported) {
      lines.push_back(name + ": damaged, skipped (" + r.error + ")");
      continue;
    }
    std::string codes;
    std::size_t n = 0;
    for (const std::string& c : r.unknownCodes) {
      if (n++ == maxCodes) {
        codes += ", …";
        break;
      }
      codes += (codes.empty() ? "" : ", ") + c;
    }
    lines.push_back(name + ": " + std::to_string(r.unknownLines) + " line(s) of code(s) not in list skipped (" + codes +
                    ")");
  }
  return lines;
}

}  // namespace tavrin
