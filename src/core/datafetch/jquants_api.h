#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/http_client.h"
#include "base/outcome.h"

namespace tavrin::datafetch {

// The exchange group's data service (J-Quants API v2): answers are JSON with
// their rows in "data"; an answer with "pagination_key" continues.
enum class ServiceFailure {
  None,
  NoKey,        // no API key set
  BadAddress,   // a base address that is not https (plain http only on loopback)
  Refused,      // 401 / 403: the key or the plan refuses the request (detail: the service's message)
  RateLimited,  // 429 after every try
  Network,      // no network, TLS failure, 5xx after every try
  Timeout,      // no answer within the time allowed
  BadAnswer,    // not the documented JSON
  TooLarge,     // an answer over the size bound
  Cancelled,
};
struct ServiceOutcome : Outcome<ServiceFailure> {
  int status = 0;  // the last HTTP status
};

struct ServiceSettings {
  std::string baseUrl;  // without a trailing slash
  std::string key;      // the x-api-key header; never logged or shown
};

inline constexpr const char* kDefaultServiceUrl = "https://api.jquants.com/v2";
// The base address: TAVRIN_JQUANTS_URL or the default. Nothing (and why) for
// an address that is not https, or plain http to a host other than loopback.
std::optional<std::string> serviceUrl(std::string& why);
// Whether an address may be used: https, or http to 127.0.0.1 / ::1 / localhost.
bool acceptableServiceUrl(const std::string& url);

// /equities/master rows.
struct MasterRow {
  std::string code;        // the code key: "7203", "130A" (the service's five characters less the trailing 0)
  std::string name;        // CoName
  std::string marketCode;  // Mkt: "0111"
  std::string marketName;  // MktNm
  int day = 0;             // Date: the day the list is of (0 when not given)
};

// /equities/bars/daily rows; prices absent (null) for a stock without a trade.
struct DailyRow {
  std::string code;  // code key
  int day = 0;
  std::optional<double> open, high, low, close, volume, adjFactor;
};

class JQuantsApi {
 public:
  // sleep(ms) waits between tries (tests pass one that records); cancelled()
  // is asked between requests.
  JQuantsApi(HttpClient& http, ServiceSettings settings, std::function<void(int ms)> sleep = {},
             std::function<bool()> cancelled = {});
  // Every issue (of a date, when given), every page.
  ServiceOutcome master(std::vector<MasterRow>& out, std::optional<int> day = std::nullopt);
  // Every stock's bar of one day, every page; no rows on a day without trading.
  ServiceOutcome dailyBars(int day, std::vector<DailyRow>& out);
  // Requests made (pages and tries), for the report.
  std::size_t requests() const { return requests_; }

 private:
  ServiceOutcome pages(const std::string& path,
                       const std::function<bool(const std::string& body, std::string& next, std::string& why)>& onPage);
  HttpClient& http_;
  ServiceSettings settings_;
  std::function<void(int)> sleep_;
  std::function<bool()> cancelled_;
  std::size_t requests_ = 0;
};

// The code key of the service's five-character code ("72030" -> "7203",
// "130A0" -> "130A"); a four-character code as it is.
std::optional<std::string> serviceCodeKey(const std::string& code);

}  // namespace tavrin::datafetch
