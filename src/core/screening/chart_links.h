#pragma once
#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// One web link of the screening window. The address is the endpoint's
// prefix (scheme and host) followed by the link's path and query.
struct ChartLink {
  enum class Kind {
    Fixed,        // path only, the same whatever is selected
    Code,         // path + code
    CodeSuffixA,  // path + code + suffix of table A + tail
    CodeSuffixB,  // path + code + suffix of table B
  };
  const char* control;  // object name, "HprLnkEx2"
  const char* caption;  // "Infoseek"
  char endpoint;        // 'A' .. 'H'
  Kind kind;
  const char* path;
  const char* tail;  // after the suffix (CodeSuffixA), else ""
  bool upperGroup;   // above the grid (true) or below it
};

// The thirteen links: the upper group row by row ("Infoseek", "日経平均",
// the newspaper chart; "yahoo", " W", " M", "日経平均"), then the lower group
// ("ぱらっとチャート", "TOPIX", "Rating", "stop高"; "業種別チャート１部",
// "チャートフォリオ").
const std::vector<ChartLink>& chartLinks();
const ChartLink* chartLinkByControl(std::string_view control);

// Market suffixes; the market text is compared exactly and a market that is
// not listed gives an empty suffix.
std::string marketSuffixA(const std::string& market);
std::string marketSuffixB(const std::string& market);

// Scheme and host of endpoints A .. H. Starts with the built-in defaults;
// links.ini in the data root may replace any of them with lines "A=https://host"
// (blank lines and lines starting with # are ignored). A line named after a
// link control gives that link a whole address template instead, e.g.
// "HprLnkEx1=https://finance.yahoo.co.jp/quote/{code}.T/chart": {code} and
// {market} are replaced percent-encoded (UTF-8), {suffix} by the market suffix
// of the link's endpoint table (B for the table-B link, A otherwise) as it is.
class LinkEndpoints {
 public:
  LinkEndpoints();
  static LinkEndpoints defaults() { return LinkEndpoints(); }
  // The defaults with the overrides of the file applied; a missing file
  // leaves the defaults. Lines that cannot be used are described in *problems.
  static LinkEndpoints load(const std::filesystem::path& iniFile, std::vector<std::string>* problems = nullptr);

  // Empty for a letter outside A .. H.
  const std::string& prefix(char endpoint) const;
  void setPrefix(char endpoint, std::string prefix);

  // The address template of a link control, or nullptr when it has none.
  const std::string* linkTemplate(std::string_view control) const;
  void setLinkTemplate(const std::string& control, std::string addressTemplate);

 private:
  std::array<std::string, 8> prefixes_;
  std::vector<std::pair<std::string, std::string>> templates_;
};

// Percent-encodes every byte but the unreserved ASCII ones (A-Z a-z 0-9 - . _ ~).
std::string percentEncoded(const std::string& text);

// The address of a link for the selected stock. The code goes in exactly as
// the grid shows it (no zeros added, no encoding); an empty code gives an
// address without code. A link with a template in the endpoints gets the
// template filled in instead.
std::string chartLinkAddress(const ChartLink& link, const std::string& code, const std::string& market,
                             const LinkEndpoints& endpoints);

}  // namespace tavrin
