#include "screening/chart_links.h"

#include <fstream>

#include "base/text.h"

namespace tavrin {

namespace {

using K = ChartLink::Kind;

const std::vector<ChartLink> kLinks = {
    // Upper group.
    {"HprLnkEx2", "Infoseek", 'B', K::CodeSuffixB, "/MnStock?sv=MN&pg=mn_schart.html&qt=", "", true},
    {"HprLnkEx15", "日経平均", 'B', K::Fixed,
     "/MnStock/mn_schart.html?qt=100000018.i&u=1&tm=0090&cd=1&vl=1&vm=1&mv=000&st=0&pr=000&bb=2&ic=1&tn=1&n=1&FNC=%A1%"
     "A1%C9%C1%B2%E8%A4%B9%A4%EB%A1%A1",
     "", true},
    {"HprLnkEx17", "日経チャート", 'C', K::Code, "/smartchart.cfr?Scode=", "", true},
    {"HprLnkEx1", "yahoo", 'A', K::CodeSuffixA, "/q?s=", "&d=c&k=c3&a=v&p=m25,m75,s&t=3m&l=off&z=m&q=c&h=on", true},
    {"HprLnkEx6", " W", 'A', K::CodeSuffixA, "/q?s=", "&d=c&k=c3&a=v&p=m65,m130,s&t=1y&l=off&z=m&q=c&h=on", true},
    {"HprLnkEx16", " M", 'A', K::CodeSuffixA, "/q?s=", "&d=c&t=5y&l=off&z=b&q=c&k=c3&a=v&h=on&p=m130,m260,s", true},
    {"HprLnkEx14", "日経平均", 'A', K::Fixed, "/q?s=998407.o&d=c&k=c3&a=v&p=m25,m75,s&t=6m&l=off&z=m&q=c&h=on", "",
     true},
    // Lower group.
    {"HprLnkEx4", "ぱらっとチャート", 'H', K::Fixed, "/paratto_chart.cgi?t=D6M&mkt=I1&ind=&name=&startidx=0&codes=&",
     "", false},
    {"HprLnkEx3", "TOPIX", 'G', K::Fixed, "/tknnk0.html ", "", false},
    {"HprLnkEx10", "Rating", 'D', K::Fixed, "/stocks_data/data/attention_rating/attention_rating.asp", "", false},
    {"HprLnkEx5", "stop高", 'D', K::Fixed, "/stocks_data/data/stop_price/stop_price.asp", "", false},
    {"HprLnkEx7", "業種別チャート１部", 'E', K::Fixed, "/ST/sonota3/chat/gyousyubetusisuu.html", "", false},
    {"HprLnkEx9", "チャートフォリオ", 'F', K::Fixed, "/", "", false},
};

// Built-in scheme and host of each endpoint (A .. H).
const std::array<const char*, 8> kDefaultPrefixes = {
    "https://finance.yahoo.co.jp",   // A: stock quotes with chart pages by symbol
    "https://minkabu.jp",            // B: chart pages of a financial portal
    "https://www.nikkei.com",        // C: the charts of a financial newspaper
    "https://www.traders.co.jp",     // D: stock data with ranking pages
    "https://www.jpx.co.jp",         // E: industry (sector) index charts
    "https://jp.tradingview.com",    // F: chart portfolios
    "https://indexes.nikkei.co.jp",  // G: index charts
    "https://www.kabudragon.com",    // H: multi-stock chart pages
};

constexpr const char* kQueryB =
    "&u=1&tm=0120&cd=1&vl=1&vm=1&mv=100&st=0&pr=000&bb=3&tn=1&n=1&FNC=%A1%A1%C9%C1%B2%E8%A4%B9%A4%EB%A1%A1";

struct SuffixRow {
  const char* market;
  std::string suffix;
};

const std::vector<SuffixRow>& suffixTableA() {
  static const std::vector<SuffixRow> t = {
      {"東証１部", ".t"},
      {"東証２部", ".t"},
      {"マザーズ", ".t"},
      {"大証１部", ".o"},
      {"大証２部", ".o"},
      {"名証１部", ".n"},
      {"名証２部", ".n"},
      {"ジャスダック", ".q"},
      {"ヘラクレス", ".j"},
      // Today's segments (since April 2022) and the regional exchanges.
      {"東証プライム", ".t"},
      {"東証スタンダード", ".t"},
      {"東証グロース", ".t"},
      {"東証PRO", ".t"},
      {"名証プレミア", ".n"},
      {"名証メイン", ".n"},
      {"名証ネクスト", ".n"},
      {"福証", ".f"},
      {"福証Q-Board", ".f"},
      {"札証", ".s"},
      {"札証アンビシャス", ".s"},
  };
  return t;
}

const std::vector<SuffixRow>& suffixTableB() {
  static const std::vector<SuffixRow> t = {
      {"東証１部", std::string(".t") + kQueryB},
      {"東証２部", std::string(".t") + kQueryB},
      {"マザーズ", std::string(".t") + kQueryB},
      {"マザー", std::string(".t") + kQueryB},
      {"名古１部", std::string(".n") + kQueryB},
      {"名古２部", std::string(".n") + kQueryB},
      {"ジャスダック", std::string(".j") + kQueryB},
      {"大証１部", std::string(".o") + kQueryB},
      {"大証２部", std::string(".o") + kQueryB},
      {"ヘラクレス", std::string(".q") + kQueryB},
      {"ナスダック", "&d=c&k=c3&a=v&p=m25,m75,s&t=6m&l=off&z=m&q=c&h=on"},
      // Today's segments of Tokyo and Nagoya.
      {"東証プライム", std::string(".t") + kQueryB},
      {"東証スタンダード", std::string(".t") + kQueryB},
      {"東証グロース", std::string(".t") + kQueryB},
      {"東証PRO", std::string(".t") + kQueryB},
      {"名証プレミア", std::string(".n") + kQueryB},
      {"名証メイン", std::string(".n") + kQueryB},
      {"名証ネクスト", std::string(".n") + kQueryB},
  };
  return t;
}

std::string lookUp(const std::vector<SuffixRow>& table, const std::string& market) {
  std::string suffix;
  for (const SuffixRow& row : table)
    if (market == row.market) suffix = row.suffix;
  return suffix;
}

int slot(char endpoint) {
  if (endpoint >= 'a' && endpoint <= 'h') endpoint = static_cast<char>(endpoint - 'a' + 'A');
  return endpoint >= 'A' && endpoint <= 'H' ? endpoint - 'A' : -1;
}

// A line of the file: a byte order mark and blanks around it dropped.
std::string lineText(std::string_view line) {
  if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  return trimmed(line);
}

}  // namespace

const std::vector<ChartLink>& chartLinks() { return kLinks; }

const ChartLink* chartLinkByControl(std::string_view control) {
  for (const ChartLink& l : kLinks)
    if (control == l.control) return &l;
  return nullptr;
}

std::string marketSuffixA(const std::string& market) { return lookUp(suffixTableA(), market); }
std::string marketSuffixB(const std::string& market) { return lookUp(suffixTableB(), market); }

LinkEndpoints::LinkEndpoints() {
  for (size_t i = 0; i < prefixes_.size(); ++i) prefixes_[i] = kDefaultPrefixes[i];
}

const std::string& LinkEndpoints::prefix(char endpoint) const {
  static const std::string none;
  const int i = slot(endpoint);
  return i < 0 ? none : prefixes_[static_cast<size_t>(i)];
}

void LinkEndpoints::setPrefix(char endpoint, std::string prefix) {
  const int i = slot(endpoint);
  if (i < 0) return;
  // The paths start with "/": one slash at the end of the host is dropped.
  if (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  prefixes_[static_cast<size_t>(i)] = std::move(prefix);
}

const std::string* LinkEndpoints::linkTemplate(std::string_view control) const {
  for (const auto& [name, text] : templates_)
    if (name == control) return &text;
  return nullptr;
}

void LinkEndpoints::setLinkTemplate(const std::string& control, std::string addressTemplate) {
  for (auto& [name, text] : templates_)
    if (name == control) {
      text = std::move(addressTemplate);
      return;
    }
  templates_.emplace_back(control, std::move(addressTemplate));
}

std::string percentEncoded(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

LinkEndpoints LinkEndpoints::load(const std::filesystem::path& iniFile, std::vector<std::string>* problems) {
  LinkEndpoints e;
  std::ifstream in(iniFile, std::ios::binary);
  if (!in) return e;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string t = lineText(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    const auto eq = t.find('=');
    const std::string key = eq == std::string::npos ? std::string() : trimmed(t.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : trimmed(t.substr(eq + 1));
    if (!value.empty() && chartLinkByControl(key)) {
      e.setLinkTemplate(key, value);
      continue;
    }
    if (key.size() != 1 || slot(key[0]) < 0 || value.empty()) {
      if (problems) problems->push_back("line " + std::to_string(number) + " ignored: " + t);
      continue;
    }
    e.setPrefix(key[0], value);
  }
  return e;
}

std::string chartLinkAddress(const ChartLink& link, const std::string& code, const std::string& market,
                             const LinkEndpoints& endpoints) {
  if (const std::string* t = endpoints.linkTemplate(link.control)) {
    const std::string suffix =
        link.kind == ChartLink::Kind::CodeSuffixB ? marketSuffixB(market) : marketSuffixA(market);
    std::string out;
    for (size_t i = 0; i < t->size();) {
      auto put = [&](const char* name, const std::string& value) {
        const size_t n = std::char_traits<char>::length(name);
        if (t->compare(i, n, name) != 0) return false;
        out += value;
        i += n;
        return true;
      };
      if (put("{code}", percentEncoded(code)) || put("{market}", percentEncoded(market)) || put("{suffix}", suffix))
        continue;
      out += (*t)[i++];
    }
    return out;
  }
  std::string address = endpoints.prefix(link.endpoint) + link.path;
  switch (link.kind) {
    case ChartLink::Kind::Fixed: break;
    case ChartLink::Kind::Code: address += code; break;
    case ChartLink::Kind::CodeSuffixA: address += code + marketSuffixA(market) + link.tail; break;
    case ChartLink::Kind::CodeSuffixB: address += code + marketSuffixB(market); break;
  }
  return address;
}

}  // namespace tavrin
