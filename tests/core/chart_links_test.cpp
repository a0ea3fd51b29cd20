#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "screening/chart_links.h"
#include "test_support.h"

using namespace tavrin;

namespace {

std::string address(const char* control, const std::string& code, const std::string& market,
                    const LinkEndpoints& e = LinkEndpoints::defaults()) {
  const ChartLink* l = chartLinkByControl(control);
  EXPECT_TRUE(l) << control;
  return l ? chartLinkAddress(*l, code, market, e) : std::string();
}

const std::string kB =
    "&u=1&tm=0120&cd=1&vl=1&vm=1&mv=100&st=0&pr=000&bb=3&tn=1&n=1&FNC=%A1%A1%C9%C1%B2%E8%A4%B9%A4%EB%A1%A1";

}  // namespace

TEST(ChartLinks, ThirteenLinksWithTheirCaptions) {
  const auto& links = chartLinks();
  ASSERT_EQ(links.size(), 13u);
  std::set<std::string> controls;
  for (const auto& l : links) {
    controls.insert(l.control);
    EXPECT_FALSE(LinkEndpoints::defaults().prefix(l.endpoint).empty()) << l.control;
  }
  EXPECT_EQ(controls.size(), 13u);
  EXPECT_STREQ(chartLinkByControl("HprLnkEx2")->caption, "Infoseek");
  EXPECT_STREQ(chartLinkByControl("HprLnkEx6")->caption, " W");
  EXPECT_STREQ(chartLinkByControl("HprLnkEx5")->caption, "stop高");
  EXPECT_STREQ(chartLinkByControl("HprLnkEx7")->caption, "業種別チャート１部");
  EXPECT_EQ(chartLinkByControl("HprLnkEx8"), nullptr);
}

TEST(ChartLinks, PerStockAddressesUseTheMarketSuffixOfTheirEndpoint) {
  LinkEndpoints e;
  for (char c = 'A'; c <= 'H'; ++c) e.setPrefix(c, std::string("http://") + static_cast<char>(c - 'A' + 'a'));
  EXPECT_EQ(address("HprLnkEx1", "7203", "東証１部", e),
            "http://a/q?s=7203.t&d=c&k=c3&a=v&p=m25,m75,s&t=3m&l=off&z=m&q=c&h=on");
  EXPECT_EQ(address("HprLnkEx16", "2345", "ジャスダック", e),
            "http://a/q?s=2345.q&d=c&t=5y&l=off&z=b&q=c&k=c3&a=v&h=on&p=m130,m260,s");
  EXPECT_EQ(address("HprLnkEx2", "2345", "ジャスダック", e), "http://b/MnStock?sv=MN&pg=mn_schart.html&qt=2345.j" + kB);
  EXPECT_EQ(address("HprLnkEx2", "2345", "ヘラクレス", e), "http://b/MnStock?sv=MN&pg=mn_schart.html&qt=2345.q" + kB);
  EXPECT_EQ(address("HprLnkEx6", "2345", "ヘラクレス", e),
            "http://a/q?s=2345.j&d=c&k=c3&a=v&p=m65,m130,s&t=1y&l=off&z=m&q=c&h=on");
  // Nagoya: ".n" for A, no suffix for B (which knows "名古１部").
  EXPECT_EQ(address("HprLnkEx6", "5555", "名証１部", e),
            "http://a/q?s=5555.n&d=c&k=c3&a=v&p=m65,m130,s&t=1y&l=off&z=m&q=c&h=on");
  EXPECT_EQ(address("HprLnkEx2", "5555", "名証１部", e), "http://b/MnStock?sv=MN&pg=mn_schart.html&qt=5555");
  EXPECT_EQ(address("HprLnkEx2", "5555", "名古２部", e), "http://b/MnStock?sv=MN&pg=mn_schart.html&qt=5555.n" + kB);
  EXPECT_EQ(marketSuffixB("ナスダック"), "&d=c&k=c3&a=v&p=m25,m75,s&t=6m&l=off&z=m&q=c&h=on");
  EXPECT_EQ(marketSuffixA("マザー"), "");
  EXPECT_EQ(marketSuffixB("マザー").substr(0, 3), ".t&");
  EXPECT_EQ(marketSuffixA("東証１部 "), "");  // compared exactly
  // Code as the grid shows it; nothing selected gives no code.
  EXPECT_EQ(address("HprLnkEx17", "130A", "東証１部", e), "http://c/smartchart.cfr?Scode=130A");
  EXPECT_EQ(address("HprLnkEx1", "", "", e), "http://a/q?s=&d=c&k=c3&a=v&p=m25,m75,s&t=3m&l=off&z=m&q=c&h=on");
}

TEST(ChartLinks, TodaysMarketWordsHaveSuffixesAndTheOldOnesKeepTheirs) {
  for (const char* m : {"東証プライム", "東証スタンダード", "東証グロース", "東証PRO"}) {
    EXPECT_EQ(marketSuffixA(m), ".t") << m;
    EXPECT_EQ(marketSuffixB(m), ".t" + kB) << m;
  }
  for (const char* m : {"名証プレミア", "名証メイン", "名証ネクスト"}) {
    EXPECT_EQ(marketSuffixA(m), ".n") << m;
    EXPECT_EQ(marketSuffixB(m), ".n" + kB) << m;
  }
  for (const char* m : {"福証", "福証Q-Board"}) EXPECT_EQ(marketSuffixA(m), ".f") << m;
  for (const char* m : {"札証", "札証アンビシャス"}) EXPECT_EQ(marketSuffixA(m), ".s") << m;
  EXPECT_EQ(marketSuffixB("福証"), "");
  EXPECT_EQ(marketSuffixB("札証アンビシャス"), "");
  EXPECT_EQ(address("HprLnkEx1", "130A", "東証グロース"),
            "https://finance.yahoo.co.jp/q?s=130A.t&d=c&k=c3&a=v&p=m25,m75,s&t=3m&l=off&z=m&q=c&h=on");
  // The words before 2022 as they were.
  EXPECT_EQ(marketSuffixA("東証１部"), ".t");
  EXPECT_EQ(marketSuffixA("ジャスダック"), ".q");
  EXPECT_EQ(marketSuffixB("ジャスダック"), ".j" + kB);
  EXPECT_EQ(marketSuffixB("名証１部"), "");
}

TEST(ChartLinks, LinksIniTemplatesGiveWholeAddresses) {
  test::TempDir dir;
  const auto ini = dir / "links.ini";
  {
    std::ofstream out(ini, std::ios::binary);
    out << "A=https://quotes.example\n"
           "HprLnkEx1=https://finance.yahoo.co.jp/quote/{code}.T/chart\n"
           "HprLnkEx6 = https://kabutan.jp/stock/chart?code={code}&m={market}&s={suffix}\n"
           "HprLnkEx2=https://b.example/{code}{suffix}\n"
           "HprLnkEx15=https://www.nikkei.com/markets/worldidx/chart/nk225/\n"
           "HprLnkEx99=https://nowhere.example/{code}\n";
  }
  std::vector<std::string> problems;
  const LinkEndpoints e = LinkEndpoints::load(ini, &problems);
  EXPECT_EQ(address("HprLnkEx1", "130A", "東証グロース", e), "https://finance.yahoo.co.jp/quote/130A.T/chart");
  EXPECT_EQ(address("HprLnkEx6", "7203", "東証プライム", e),
            "https://kabutan.jp/stock/chart?code=7203&m=%E6%9D%B1%E8%A8%BC%E3%83%97%E3%83%A9%E3%82%A4%E3%83%A0&s=.t");
  EXPECT_EQ(address("HprLnkEx2", "7203", "名証メイン", e), "https://b.example/7203.n" + kB);
  EXPECT_EQ(address("HprLnkEx15", "7203", "", e), "https://www.nikkei.com/markets/worldidx/chart/nk225/");
  // Links without a template keep their paths on the endpoint's prefix.
  EXPECT_EQ(address("HprLnkEx16", "7203", "東証１部", e),
            "https://quotes.example/q?s=7203.t&d=c&t=5y&l=off&z=b&q=c&k=c3&a=v&h=on&p=m130,m260,s");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("HprLnkEx99"), std::string::npos);
  EXPECT_EQ(percentEncoded("a b/&"), "a%20b%2F%26");

  auto r = test::runCommand(test::cliPath() + " --root '" + dir.path().string() + "' links 130A 東証グロース");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("HprLnkEx1\tyahoo\thttps://finance.yahoo.co.jp/quote/130A.T/chart\n"), std::string::npos);
}

TEST(ChartLinks, FixedLinksIgnoreTheSelection) {
  LinkEndpoints e;
  for (char c = 'A'; c <= 'H'; ++c) e.setPrefix(c, std::string("http://") + static_cast<char>(c - 'A' + 'a'));
  for (const auto& l : chartLinks()) {
    if (l.kind != ChartLink::Kind::Fixed) continue;
    EXPECT_EQ(chartLinkAddress(l, "7203", "東証１部", e), chartLinkAddress(l, "", "", e)) << l.control;
  }
  EXPECT_EQ(address("HprLnkEx3", "7203", "", e), "http://g/tknnk0.html ");
  EXPECT_EQ(address("HprLnkEx9", "7203", "", e), "http://f/");
  EXPECT_EQ(address("HprLnkEx14", "", "", e), "http://a/q?s=998407.o&d=c&k=c3&a=v&p=m25,m75,s&t=6m&l=off&z=m&q=c&h=on");
  EXPECT_EQ(address("HprLnkEx10", "", "", e), "http://d/stocks_data/data/attention_rating/attention_rating.asp");
  EXPECT_EQ(address("HprLnkEx15", "", "", e),
            "http://b/MnStock/mn_schart.html?qt=100000018.i&u=1&tm=0090&cd=1&vl=1&vm=1&mv=000&st=0&pr=000&bb=2&ic=1&"
            "tn=1&n=1&FNC=%A1%A1%C9%C1%B2%E8%A4%B9%A4%EB%A1%A1");
}

TEST(ChartLinks, LinksIniReplacesPrefixes) {
  test::TempDir dir;
  const auto ini = dir / "links.ini";
  std::vector<std::string> problems;
  EXPECT_EQ(LinkEndpoints::load(ini, &problems).prefix('A'), LinkEndpoints::defaults().prefix('A'));
  {
    std::ofstream out(ini, std::ios::binary);
    out << "\xEF\xBB\xBF# chart services\r\n"
           "A = https://quotes.example/\r\n"
           "\r\n"
           "c=http://news.example:8080\r\n"
           "Z=https://nowhere.example\r\n"
           "no equals sign\r\n"
           "D=\r\n";
  }
  const LinkEndpoints e = LinkEndpoints::load(ini, &problems);
  EXPECT_EQ(e.prefix('A'), "https://quotes.example");
  EXPECT_EQ(e.prefix('C'), "http://news.example:8080");
  EXPECT_EQ(e.prefix('D'), LinkEndpoints::defaults().prefix('D'));
  EXPECT_EQ(problems.size(), 3u);
  EXPECT_EQ(address("HprLnkEx1", "7203", "東証１部", e).rfind("https://quotes.example/q?s=7203.t&", 0), 0u);

  auto r = test::runCommand(test::cliPath() + " --root '" + dir.path().string() + "' links 7203 東証１部 2>/dev/null");
  EXPECT_EQ(r.status, 0);
  size_t lines = 0;
  for (char ch : r.out) lines += ch == '\n';
  EXPECT_EQ(lines, 13u);
  EXPECT_NE(
      r.out.find("HprLnkEx1\tyahoo\thttps://quotes.example/q?s=7203.t&d=c&k=c3&a=v&p=m25,m75,s&t=3m&l=off&z=m&q=c&"
                 "h=on\n"),
      std::string::npos)
      << r.out;
  EXPECT_EQ(test::runCommand(test::cliPath() + " links 7203 2>/dev/null").status, 2);
}
