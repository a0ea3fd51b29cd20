#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <map>

#include "base/calendar.h"
#include "base/log.h"
#include "data/splits.h"
#include "datafetch/jquants_api.h"
#include "datafetch/service_key.h"
#include "formats/format_error.h"
#include "formats/json_reader.h"
#include "history/price_history.h"
#include "registration_support.h"
#include "test_support.h"

namespace tavrin {
namespace {

using datafetch::JQuantsApi;
using datafetch::ServiceFailure;

TEST(JsonReader, ReadsTheServicesAnswersAndSaysWhereItBreaks) {
  const JsonValue doc = parseJson(
      "\xEF\xBB\xBF{\"data\": [{\"Code\": \"72030\", \"C\": 2771.5, \"O\": null, \"Vo\": 1.5e6, \"n\": -0,"
      " \"CoName\": \"\\u30c8\\u30e8\\u30bf\\ud83d\\ude00\", \"ok\": true}], \"pagination_key\": \"a/b c\"}\n");
  ASSERT_TRUE(doc.isObject());
  const JsonValue& row = doc.find("data")->items().at(0);
  EXPECT_EQ(row.find("C")->text(), "2771.5");
  EXPECT_DOUBLE_EQ(row.find("C")->number(), 2771.5);
  EXPECT_TRUE(row.find("O")->isNull());
  EXPECT_DOUBLE_EQ(row.find("Vo")->number(), 1.5e6);
  EXPECT_EQ(row.find("CoName")->text(), "トヨタ\xF0\x9F\x98\x80");
  EXPECT_TRUE(row.find("ok")->boolean());
  EXPECT_EQ(row.find("missing"), nullptr);
  EXPECT_EQ(doc.find("pagination_key")->text(), "a/b c");

  auto refused = [](std::string_view text, const JsonLimits& limits = {}) -> std::string {
    try {
      parseJson(text, limits);
    } catch (const FormatError& e) {
      EXPECT_TRUE(e.isDamaged());
      return e.what();
    }
    return "read";
  };
  EXPECT_EQ(refused("{\"data\": [1, 2,]}"), "JSON: line 1, column 16: a value expected");
  EXPECT_EQ(refused("{\n  \"a\": 1\n  \"b\": 2}"), "JSON: line 3, column 3: a ',' or '}' expected");
  EXPECT_EQ(refused("{\"a\": 1} x"), "JSON: line 1, column 10: nothing expected after the value");
  EXPECT_EQ(refused("<html>Bad Gateway</html>"), "JSON: line 1, column 1: a value expected");
  EXPECT_EQ(refused(""), "JSON: line 1, column 1: a value expected, the text ends");
  for (const char* bad : {"\"\\ud800\"", "\"\xC0\xAF\"", "\"a\x01\"", "01", "1.", "-", "1e", "\"\\x\"", "\"abc", "tru",
                          "{\"a\" 1}", "[1e999]", "\"\xED\xA0\x80\""})
    EXPECT_NE(refused(bad), "read") << bad;
  EXPECT_NE(refused(std::string(100, '[') + std::string(100, ']')).find("nested more than 64 deep"), std::string::npos);
  EXPECT_NE(refused("[1, 2, 3]", {8, 64}).find("more than 8"), std::string::npos);
}

// A service that answers from a script, recording what was asked.
class ScriptedHttp : public HttpClient {
 public:
  std::deque<HttpResponse> answers;
  std::vector<HttpRequest> asked;
  HttpResponse get(const HttpRequest& request) override {
    asked.push_back(request);
    if (answers.empty()) return {HttpResponse::Transport::NoNetwork, "no more answers", 0, {}, {}};
    HttpResponse r = answers.front();
    answers.pop_front();
    return r;
  }
  void answer(int status, std::string body, std::optional<int> retryAfter = std::nullopt) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    r.retryAfterSeconds = retryAfter;
    answers.push_back(r);
  }
};

TEST(JQuantsApiTest, PagesRetriesAndRefusals) {
  setLogQuiet(true);
  ScriptedHttp http;
  std::vector<int> slept;
  JQuantsApi api(http, {"https://api.example.test/v2", "secret-key"}, [&](int ms) { slept.push_back(ms); });
  const int day = *dayFromCivil(2024, 12, 27);
  http.answer(429, "{\"message\": \"Too Many Requests\"}", 3);
  http.answer(200,
              "{\"data\": [{\"Date\": \"2024-12-27\", \"Code\": \"72030\", \"O\": 2750, \"H\": 2807.5, \"L\": 2735.5, "
              "\"C\": 2771.5, \"Vo\": 51442500, \"AdjFactor\": 1.0}], \"pagination_key\": \"k+1/2\"}");
  http.answer(503, "");
  http.answer(200,
              "{\"data\": [{\"Date\": \"2024-12-27\", \"Code\": \"130A0\", \"O\": null, \"H\": null, \"L\": null, "
              "\"C\": null, \"Vo\": null, \"AdjFactor\": 0.5}]}");
  std::vector<datafetch::DailyRow> rows;
  datafetch::ServiceOutcome o = api.dailyBars(day, rows);
  ASSERT_TRUE(o.done()) << o.detail;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].code, "7203");
  EXPECT_EQ(rows[0].close, 2771.5);
  EXPECT_EQ(rows[1].code, "130A");
  EXPECT_FALSE(rows[1].close);
  EXPECT_EQ(rows[1].adjFactor, 0.5);
  EXPECT_EQ(slept, (std::vector<int>{3000, 5000}));  // the service's wait, then the first growing one
  ASSERT_EQ(http.asked.size(), 4u);
  EXPECT_EQ(http.asked[0].url, "https://api.example.test/v2/equities/bars/daily?date=20241227");
  EXPECT_EQ(http.asked[3].url,
            "https://api.example.test/v2/equities/bars/daily?date=20241227&pagination_key=k%2B1%2F2");
  for (const HttpRequest& r : http.asked)
    EXPECT_NE(
        std::find(r.headers.begin(), r.headers.end(), std::pair<std::string, std::string>{"x-api-key", "secret-key"}),
        r.headers.end());

  // Refused: the service's message, never the key.
  http.answer(401, "{\"message\": \"The incoming token is invalid or expired.\"}");
  o = api.dailyBars(day, rows);
  EXPECT_EQ(o.failure, ServiceFailure::Refused);
  EXPECT_EQ(o.detail, "HTTP 401: The incoming token is invalid or expired.");
  // Five tries of a failing server, then no more.
  http.asked.clear();
  for (int i = 0; i < 6; ++i) http.answer(502, "Bad Gateway");
  o = api.dailyBars(day, rows);
  EXPECT_EQ(o.failure, ServiceFailure::Network);
  EXPECT_EQ(http.asked.size(), 5u);
  http.answers.clear();
  // Answers that are not the documented JSON.
  for (const char* body : {"<html></html>", "{\"rows\": []}", "{\"data\": {}}",
                           "{\"data\": [{\"Date\": \"2024-12-26\", \"Code\": \"72030\", \"C\": 1}]}",
                           "{\"data\": [{\"Date\": \"2024-12-27\", \"Code\": \"72030\", \"C\": [1]}]}",
                           "{\"data\": [], \"pagination_key\": 5}"}) {
    http.answer(200, body);
    o = api.dailyBars(day, rows);
    EXPECT_EQ(o.failure, ServiceFailure::BadAnswer) << body;
    EXPECT_EQ(o.detail.find("secret-key"), std::string::npos);
  }
  http.answers.push_back({HttpResponse::Transport::TooLarge, {}, 200, {}, {}});
  EXPECT_EQ(api.dailyBars(day, rows).failure, ServiceFailure::TooLarge);
  http.answers.push_back({HttpResponse::Transport::Timeout, {}, 0, {}, {}});
  EXPECT_EQ(api.dailyBars(day, rows).failure, ServiceFailure::Timeout);

  // Plain http only to the loopback address; no key, no request.
  EXPECT_TRUE(datafetch::acceptableServiceUrl("http://127.0.0.1:8080/v2"));
  EXPECT_TRUE(datafetch::acceptableServiceUrl("http://[::1]:8080/v2"));
  EXPECT_TRUE(datafetch::acceptableServiceUrl("http://localhost/v2"));
  EXPECT_FALSE(datafetch::acceptableServiceUrl("http://api.jquants.com/v2"));
  EXPECT_FALSE(datafetch::acceptableServiceUrl("http://127.0.0.1.example.com/v2"));
  EXPECT_FALSE(datafetch::acceptableServiceUrl("ftp://127.0.0.1/"));
  http.asked.clear();
  std::vector<datafetch::MasterRow> master;
  JQuantsApi plain(http, {"http://api.jquants.com/v2", "k"});
  EXPECT_EQ(plain.master(master).failure, ServiceFailure::BadAddress);
  JQuantsApi keyless(http, {"https://api.jquants.com/v2", ""});
  EXPECT_EQ(keyless.master(master).failure, ServiceFailure::NoKey);
  EXPECT_TRUE(http.asked.empty());
  EXPECT_EQ(datafetch::serviceCodeKey("72030"), "7203");
  EXPECT_EQ(datafetch::serviceCodeKey("130a0"), "130A");
  EXPECT_EQ(datafetch::serviceCodeKey("7203"), "7203");
  EXPECT_FALSE(datafetch::serviceCodeKey("72031x"));
  setLogQuiet(false);
}

TEST(ServiceKey, TheKeyFileIsForItsOwnerAlone) {
  test::TempDir dir;
  setenv("XDG_CONFIG_HOME", toUtf8(dir.path()).c_str(), 1);
  std::string why;
  ASSERT_TRUE(datafetch::writeKeyFile("  abc-123  ", why)) << why;
  EXPECT_EQ(datafetch::readKeyFile(), "abc-123");
  struct stat st {};
  ASSERT_EQ(::stat(datafetch::keyFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(datafetch::keyFilePath().parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_FALSE(datafetch::cleanedKey("two words"));
  EXPECT_FALSE(datafetch::cleanedKey("   "));
  EXPECT_TRUE(datafetch::removeKeyFile());
  EXPECT_FALSE(datafetch::readKeyFile());
  unsetenv("XDG_CONFIG_HOME");
}

// The stand-in service (tests/data/jquants_standin.py) on the loopback address.
class StandIn {
 public:
  explicit StandIn(const std::string& options = {}) {
    const std::string cmd =
        "/usr/bin/python3 '" + std::string(TAVRIN_TEST_DATA_DIR) + "/jquants_standin.py' " + options;
    pipe_ = ::popen(cmd.c_str(), "r");
    if (pipe_ && std::fscanf(pipe_, "%d %d", &port_, &pid_) != 2) port_ = 0;
  }
  ~StandIn() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    if (pipe_) ::pclose(pipe_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v2"; }
  bool up() const { return port_ > 0; }

 private:
  FILE* pipe_ = nullptr;
  int port_ = 0, pid_ = 0;
};

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override { setLogQuiet(true); }
  void TearDown() override { setLogQuiet(false); }
  test::CommandResult cli(const std::filesystem::path& root, const std::string& args, const StandIn& s,
                          const std::string& key = "test-key") {
    return test::runCommand("TAVRIN_JQUANTS_URL='" + s.url() + "' TAVRIN_JQUANTS_API_KEY='" + key + "' " +
                            test::cliPath() + " --root '" + toUtf8(root) + "' " + args + " 2>&1");
  }
  std::vector<Value> positions(const std::filesystem::path& db, const Value& code) {
    Database d(db, Database::Mode::ReadOnly);
    return test::pricesOf(d, code);
  }
  test::TempDir dir;
};

int dec(int d) { return *dayFromCivil(2024, 12, d); }

TEST_F(FetchTest, FromAnEmptyFolderTheListAndEveryDayAsRegisteringTheFilesByHand) {
  StandIn s("--log '" + toUtf8(dir / "requests.log") + "'");
  ASSERT_TRUE(s.up());
  const std::filesystem::path root = dir / "root";
  Paths paths(root);
  ASSERT_EQ(test::runCommand(test::cliPath() + " --root '" + toUtf8(root) + "' init").status, 0);
  test::CommandResult r = cli(root, "fetch list", s);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("追加\t130A\tVeritas In Silico\t東証グロース\tグロース（内国株式）"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("1306"), std::string::npos);  // the fund is left out unless asked

  // Up to the end of November first (a fetch that stopped there), then the
  // rest; the week file missing the first time, as if that fetch had been
  // killed before it came to the weeks: the weeks are caught up.
  std::filesystem::rename(paths.weeklyDb(), dir / "week-aside.mdb");
  r = cli(root, "fetch prices --from 2024-11-01 --to 2024-11-29", s);
  std::filesystem::rename(dir / "week-aside.mdb", paths.weeklyDb());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("20 trading day(s), 100 prices, 1 day(s) without trading"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("month positions at 2024-11-29"), std::string::npos) << r.out;
  ASSERT_EQ(cli(root, "watch add trend 6758", s).status, 0);
  r = cli(root, "fetch prices --to 2024-12-27 --report", s);
  ASSERT_EQ(r.status, 0) << r.out;
  // The watch list's stock with the patterns it meets on the latest day, named as the panel names them.
  EXPECT_NE(r.out.find("\n6758 ソニーグループ: 移動平均↑ U1\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(": Label"), std::string::npos);
  EXPECT_NE(r.out.find("fetch prices 2024-12-02 .. 2024-12-27: 20 trading day(s), 99 prices"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("2024-12-10\t4 stocks, 1 without a trade"), std::string::npos);
  EXPECT_NE(r.out.find("2024-12-16\t5 stocks, 1 split(s) entered"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("; up to 1 code(s) a day not in list skipped"), std::string::npos);
  EXPECT_NE(r.out.find("day positions at 2024-12-27"), std::string::npos);
  EXPECT_NE(r.out.find("week positions at 2024-12-27"), std::string::npos);
  EXPECT_EQ(r.out.find("month positions"), std::string::npos);  // December ends on the 31st; November was set
  r = cli(root, "fetch prices --to 2024-12-27", s);
  EXPECT_NE(r.out.find("up to date"), std::string::npos) << r.out;

  // Every day asked for once (2024-12-02 twice: its 429 first), each page once.
  std::map<std::string, int> asked;
  {
    std::ifstream log(dir / "requests.log");
    for (std::string line; std::getline(log, line);)
      if (line.find("pagination_key") == std::string::npos) ++asked[line];
  }
  EXPECT_EQ(asked["/v2/equities/bars/daily?date=20241202"], 2);
  EXPECT_EQ(asked["/v2/equities/bars/daily?date=20241203"], 1);
  EXPECT_EQ(asked["/v2/equities/bars/daily?date=20241104"], 1);         // the holiday, no rows
  EXPECT_EQ(asked.count("/v2/equities/bars/daily?date=20241102"), 0u);  // a Saturday is not asked

  {
    Database d(paths.dailyDb(), Database::Mode::ReadOnly);
    const std::vector<Bar> sony = readHistory(d, std::string("6758"));
    ASSERT_EQ(sony.size(), 40u);
    EXPECT_EQ(sony[29].day, dec(13));
    EXPECT_EQ(sony[29].close, 17900);  // 3,580 as traded, halved
    EXPECT_EQ(readHistory(d, std::string("6758"), HistoryPrices::AsTraded)[29].close, 35800);
    const std::vector<Split> splits = readSplitsOf(d, "6758");
    ASSERT_EQ(splits.size(), 1u);
    EXPECT_EQ(splits[0].day, dec(16));
    EXPECT_EQ(splits[0].source, SplitSource::Service);
    const std::vector<Bar> kyokuyo = readHistory(d, std::string("1301"));
    EXPECT_EQ(kyokuyo.size(), 39u);  // no line for the day without a trade
    EXPECT_EQ(readHistory(d, std::string("7203")).back().close, 28905);
  }
  EXPECT_EQ(positions(paths.dailyDb(), Value(std::int64_t{6758}))[9], Value(std::int64_t{1800}));
  // The week file: the nine weeks completed, each dated by its last trading day, the one before the split halved.
  EXPECT_EQ(
      positions(paths.weeklyDb(), Value(std::int64_t{6758})),
      (std::vector<Value>{Value(std::int64_t{1890}), Value(std::int64_t{1840}), Value(std::int64_t{1790}),
                          Value(std::int64_t{1740}), Value(std::int64_t{1690}), Value(std::int64_t{1640}),
                          Value(std::int64_t{1590}), Value(std::int64_t{1540}), Value(std::int64_t{1500}), Value()}));
  EXPECT_EQ(readDateRecord(paths.weeklyDb())->dates[1], "24/12/20");
  EXPECT_EQ(readDateRecord(paths.monthlyDb())->dates[0], "24/11/29");

  // The same days registered by hand: the day files through the history
  // import, the split entered — the day file ends the same.
  const std::filesystem::path hand = dir / "hand";
  ASSERT_EQ(test::runCommand(test::cliPath() + " --root '" + toUtf8(hand) + "' init").status, 0);
  ASSERT_EQ(cli(hand, "fetch list", s).status, 0);
  ASSERT_EQ(test::runCommand("/usr/bin/python3 '" + std::string(TAVRIN_TEST_DATA_DIR) +
                             "/jquants_standin.py' --write-days '" + toUtf8(dir / "days") + "'")
                .status,
            0);
  ASSERT_EQ(test::runCommand(test::cliPath() + " --root '" + toUtf8(hand) + "' split add 6758 2024-12-16 1:2").status,
            0);
  r = test::runCommand(test::cliPath() + " --root '" + toUtf8(hand) + "' history import --set-positions '" +
                       toUtf8(dir / "days") + "'/*.csv 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(test::dumpPriceDb(Paths(hand).dailyDb()), test::dumpPriceDb(paths.dailyDb()));
  Database a(paths.dailyDb(), Database::Mode::ReadOnly), b(Paths(hand).dailyDb(), Database::Mode::ReadOnly);
  for (const char* code : {"7203", "6758", "130A", "1301", "9432"}) {
    EXPECT_EQ(readHistory(a, std::string(code)), readHistory(b, std::string(code))) << code;
    EXPECT_EQ(readHistory(a, std::string(code), HistoryPrices::AsTraded),
              readHistory(b, std::string(code), HistoryPrices::AsTraded))
        << code;
  }
}

TEST_F(FetchTest, ARefusedKeyOrPlanChangesNothingAndSaysSoInOneLine) {
  const std::filesystem::path root = dir / "root";
  Paths paths(root);
  ASSERT_EQ(test::runCommand(test::cliPath() + " --root '" + toUtf8(root) + "' init").status, 0);
  const std::string before = test::readFileBytes(paths.dailyDb());
  {
    StandIn s;
    test::CommandResult r = cli(root, "fetch prices --from 2024-12-02", s, "wrong-key");
    EXPECT_EQ(r.status, 1);
    // The day being asked for, then one line of why.
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
              "tavrin-cli: fetch prices: the service refused the key or the plan (HTTP 401: The incoming token is "
              "invalid or expired.); nothing was changed\n");
    EXPECT_EQ(r.out.find("wrong-key"), std::string::npos);
  }
  {
    StandIn s("--refuse");
    test::CommandResult r = cli(root, "fetch list", s);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("HTTP 403: This plan does not cover the request."), std::string::npos) << r.out;
  }
  // No service at all.
  test::CommandResult r = test::runCommand("TAVRIN_JQUANTS_URL=http://127.0.0.1:9/v2 TAVRIN_JQUANTS_API_KEY=k " +
                                           test::cliPath() + " --root '" + toUtf8(root) + "' fetch prices 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no connection to the service"), std::string::npos) << r.out;
  r = test::runCommand("TAVRIN_JQUANTS_URL=http://api.jquants.com/v2 TAVRIN_JQUANTS_API_KEY=k " + test::cliPath() +
                       " --root '" + toUtf8(root) + "' fetch prices 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("plain http:// only to the loopback address"), std::string::npos) << r.out;
  EXPECT_EQ(test::readFileBytes(paths.dailyDb()), before);
}

}  // namespace
}  // namespace tavrin
