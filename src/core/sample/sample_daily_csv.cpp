#include "sample/sample_daily_csv.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "app/paths.h"
#include "base/encoding.h"

namespace tavrin {

namespace {

// The 33 industries of the exchange, given out by code.
constexpr const char* kIndustries[] = {"水産・農林業",
                                       "鉱業",
                                       "建設業",
                                       "食料品",
                                       "繊維製品",
                                       "パルプ・紙",
                                       "化学",
                                       "医薬品",
                                       "石油・石炭製品",
                                       "ゴム製品",
                                       "ガラス・土石製品",
                                       "鉄鋼",
                                       "非鉄金属",
                                       "金属製品",
                                       "機械",
                                       "電気機器",
                                       "輸送用機器",
                                       "精密機器",
                                       "その他製品",
                                       "電気・ガス業",
                                       "陸運業",
                                       "海運業",
                                       "空運業",
                                       "倉庫・運輸関連業",
                                       "情報・通信業",
                                       "卸売業",
                                       "小売業",
                                       "銀行業",
                                       "証券、商品先物取引業",
                                       "保険業",
                                       "その他金融業",
                                       "不動産業",
                                       "サービス業"};

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string number(std::int64_t v) { return std::to_string(v); }

std::string percent(std::int64_t close, std::int64_t previous) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", 100.0 * static_cast<double>(close - previous) / static_cast<double>(previous));
  return buf;
}

}  // namespace

void writeDailyCsv(const std::filesystem::path& path, const std::string& dateText,
                   const std::vector<DailyCsvRow>& rows) {
  std::string text =
      "\"SC\",\"名称\",\"市場\",\"業種\",\"日付\",\"株価\",\"前日比\",\"前日比（％）\",\"前日終値\",\"始値\",\"高値\","
      "\"安値\",\"出来高\",\"売買代金（千円）\"\r\n";
  std::size_t n = 0;
  for (const DailyCsvRow& r : rows) {
    unsigned hash = 0;
    for (char c : r.code) hash = hash * 31 + static_cast<unsigned char>(c);
    const std::string industry = kIndustries[hash % (sizeof kIndustries / sizeof *kIndustries)];
    std::vector<std::string> f{quoted(r.code), quoted(r.name), quoted(r.market), quoted(industry), quoted(dateText)};
    if (r.close <= 0) {
      for (int i = 0; i < 6; ++i) f.push_back(quoted("-"));
      f.push_back(quoted(r.previous > 0 ? number(r.previous) : "-"));
      for (int i = 0; i < 2; ++i) f.push_back(quoted("-"));
    } else {
      const std::int64_t prev = r.previous > 0 ? r.previous : r.close;
      const std::int64_t open = prev, high = std::max(prev, r.close), low = std::min(prev, r.close);
      const std::int64_t volume = static_cast<std::int64_t>(1000 + (hash % 997) * 300);
      f.push_back(quoted(number(r.close)));
      f.push_back(quoted(number(r.close - prev)));
      f.push_back(quoted(percent(r.close, prev)));
      f.push_back(quoted(number(prev)));
      f.push_back(quoted(number(open)));
      f.push_back(quoted(number(high)));
      f.push_back(quoted(number(low)));
      f.push_back(quoted(number(volume)));
      f.push_back(quoted(number(volume * r.close / 1000)));
    }
    std::string line;
    for (std::size_t i = 0; i < f.size(); ++i) line += (i ? "," : "") + f[i];
    text += line + "\r\n";
    ++n;
  }
  const std::optional<std::string> bytes = utf8ToCp932(text);
  if (!bytes) throw std::runtime_error("the sample CSV has text without a code page 932 form");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
  if (!out) throw std::runtime_error("cannot write " + toUtf8(path));
}

}  // namespace tavrin
