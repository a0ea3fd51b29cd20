#include "datafetch/jquants_api.h"

#include <algorithm>
#include <cstdlib>

#include "base/calendar.h"
#include "base/log.h"
#include "base/text.h"
#include "formats/format_error.h"
#include "formats/history_layout.h"
#include "formats/json_reader.h"
#include "screening/chart_links.h"

namespace tavrin::datafetch {

namespace {

constexpr int kTries = 5;
constexpr std::size_t kMaxAnswerBytes = 64u << 20;  // a day of every stock is about 2 MB
constexpr std::size_t kMaxPages = 10000;

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// "20241227"
std::string compactDate(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return buf;
}

std::optional<double> numberOrNull(const JsonValue* v) {
  if (!v || v->isNull()) return std::nullopt;
  if (v->isNumber()) return v->number();
  if (v->isString()) {
    // Some answers write numbers as strings; an empty one is no value.
    const std::string t = trimmed(v->text());
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (end && *end == '\0') return d;
  }
  throw FormatError::damaged("a number or null expected");
}

std::string textOf(const JsonValue* v) {
  if (!v || v->isNull()) return {};
  if (v->isString() || v->isNumber()) return v->text();
  throw FormatError::damaged("a text expected");
}

// The rows of an answer and its continuation.
const JsonValue& rowsOf(const JsonValue& doc, std::string& next) {
  if (!doc.isObject()) throw FormatError::damaged("the answer is not a JSON object");
  const JsonValue* data = doc.find("data");
  if (!data || !data->isArray()) throw FormatError::damaged("the answer has no array \"data\"");
  next.clear();
  if (const JsonValue* p = doc.find("pagination_key"); p && !p->isNull()) {
    if (!p->isString() || p->text().empty()) throw FormatError::damaged("\"pagination_key\" is not a text");
    next = p->text();
  }
  return *data;
}

std::string serviceMessage(const std::string& body) {
  try {
    const JsonValue doc = parseJson(body, {1u << 20, 16});
    if (const JsonValue* m = doc.isObject() ? doc.find("message") : nullptr; m && m->isString())
      return shownLine(m->text(), 200);
  } catch (const std::exception&) {
  }
  return {};
}

}  // namespace

bool acceptableServiceUrl(const std::string& url) {
  const std::string u = lowerAscii(url);
  if (u.rfind("https://", 0) == 0) return u.size() > 8;
  if (u.rfind("http://", 0) != 0) return false;
  std::string host = u.substr(7);
  host = host.substr(0, host.find('/'));
  if (!host.empty() && host.front() == '[') {
    const std::size_t close = host.find(']');
    host = close == std::string::npos ? std::string() : host.substr(1, close - 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  if (host == "localhost" || host == "::1") return true;
  // 127.0.0.0/8 written as four numbers.
  int parts = 0;
  std::size_t at = 0;
  while (at <= host.size()) {
    const std::size_t dot = std::min(host.find('.', at), host.size());
    const std::string part = host.substr(at, dot - at);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) || std::stoi(part) > 255 ||
        (parts == 0 && part != "127"))
      return false;
    ++parts;
    at = dot + 1;
  }
  return parts == 4;
}

std::optional<std::string> serviceUrl(std::string& why) {
  std::string url = kDefaultServiceUrl;
  if (const char* env = std::getenv("TAVRIN_JQUANTS_URL"); env && *env) url = env;
  while (!url.empty() && url.back() == '/') url.pop_back();
  if (!acceptableServiceUrl(url)) {
    why = "TAVRIN_JQUANTS_URL must be an https:// address (plain http:// only to the loopback address): " +
          shownLine(url, 100);
    return std::nullopt;
  }
  return url;
}

std::optional<std::string> serviceCodeKey(const std::string& code) {
  std::string c = trimmed(code);
  if (c.size() == 5 && c.back() == '0') c.pop_back();
  if (c.size() != 4) return std::nullopt;
  for (char& ch : c) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z'))) return std::nullopt;
  }
  // A plain number is kept without leading zeros, as codes are matched.
  if (std::all_of(c.begin(), c.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
    const std::size_t nz = c.find_first_not_of('0');
    return nz == std::string::npos ? std::string("0") : c.substr(nz);
  }
  return c;
}

JQuantsApi::JQuantsApi(HttpClient& http, ServiceSettings settings, std::function<void(int)> sleep,
                       std::function<bool()> cancelled)
    : http_(http), settings_(std::move(settings)), sleep_(std::move(sleep)), cancelled_(std::move(cancelled)) {}

ServiceOutcome JQuantsApi::pages(const std::string& path,
                                 const std::function<bool(const std::string&, std::string&, std::string&)>& onPage) {
  ServiceOutcome out;
  if (settings_.key.empty()) {
    out.fail(ServiceFailure::NoKey, "no API key is set");
    return out;
  }
  if (!acceptableServiceUrl(settings_.baseUrl)) {
    out.fail(ServiceFailure::BadAddress, "not an https address: " + shownLine(settings_.baseUrl, 100));
    return out;
  }
  std::string next;
  for (std::size_t page = 0; page < kMaxPages; ++page) {
    HttpRequest req;
    req.url = settings_.baseUrl + path;
    if (!next.empty())
      req.url += (path.find('?') == std::string::npos ? "?" : "&") + ("pagination_key=" + percentEncoded(next));
    req.headers = {{"x-api-key", settings_.key}, {"Accept", "application/json"}};
    req.maxBytes = kMaxAnswerBytes;
    req.cancelled = cancelled_;
    HttpResponse res;
    int wait = 5000;  // then 10, 20, 40 s: a plan of five requests a minute is past its minute
    for (int attempt = 1;; ++attempt) {
      if (cancelled_ && cancelled_()) {
        out.fail(ServiceFailure::Cancelled, "cancelled");
        return out;
      }
      ++requests_;
      res = http_.get(req);
      out.status = res.status;
      const bool retry = res.transport == HttpResponse::Transport::Ok && (res.status == 429 || res.status >= 500);
      if (!retry || attempt == kTries) break;
      // The service's own wait when it names one, else growing waits.
      const int ms = res.retryAfterSeconds ? std::clamp(*res.retryAfterSeconds, 0, 300) * 1000 : wait;
      logLine("data service", path.substr(0, path.find('?')) + ": " + std::to_string(res.status) +
                                  ", trying again in " + std::to_string(ms) + " ms");
      if (sleep_) sleep_(ms);
      wait *= 2;
    }
    switch (res.transport) {
      case HttpResponse::Transport::Ok: break;
      case HttpResponse::Transport::Timeout: out.fail(ServiceFailure::Timeout, "no answer in time"); return out;
      case HttpResponse::Transport::TooLarge:
        out.fail(ServiceFailure::TooLarge, "an answer larger than " + std::to_string(kMaxAnswerBytes >> 20) + " MB");
        return out;
      case HttpResponse::Transport::Cancelled: out.fail(ServiceFailure::Cancelled, "cancelled"); return out;
      case HttpResponse::Transport::NoNetwork:
      case HttpResponse::Transport::Tls:
        out.fail(ServiceFailure::Network, res.error.empty() ? std::string("no connection") : shownLine(res.error, 200));
        return out;
    }
    if (res.status == 401 || res.status == 403) {
      const std::string m = serviceMessage(res.body);
      out.fail(ServiceFailure::Refused, "HTTP " + std::to_string(res.status) + (m.empty() ? "" : ": " + m));
      return out;
    }
    if (res.status == 429) {
      out.fail(ServiceFailure::RateLimited, "HTTP 429 after " + std::to_string(kTries) + " tries");
      return out;
    }
    if (res.status >= 500) {
      out.fail(ServiceFailure::Network,
               "HTTP " + std::to_string(res.status) + " after " + std::to_string(kTries) + " tries");
      return out;
    }
    if (res.status != 200) {
      const std::string m = serviceMessage(res.body);
      out.fail(ServiceFailure::BadAnswer, "HTTP " + std::to_string(res.status) + (m.empty() ? "" : ": " + m));
      return out;
    }
    std::string why;
    const std::string previous = next;
    if (!onPage(res.body, next, why)) {
      out.fail(ServiceFailure::BadAnswer, why);
      return out;
    }
    if (next.empty()) return out;
    if (next == previous) {
      out.fail(ServiceFailure::BadAnswer, "the same pagination_key twice");
      return out;
    }
  }
  out.fail(ServiceFailure::BadAnswer, "more than " + std::to_string(kMaxPages) + " pages");
  return out;
}

ServiceOutcome JQuantsApi::master(std::vector<MasterRow>& out, std::optional<int> day) {
  out.clear();
  const std::string path = "/equities/master" + (day ? "?date=" + compactDate(*day) : std::string());
  return pages(path, [&](const std::string& body, std::string& next, std::string& why) {
    try {
      const JsonValue doc = parseJson(body);
      for (const JsonValue& r : rowsOf(doc, next).items()) {
        if (!r.isObject()) throw FormatError::damaged("a row that is not an object");
        MasterRow m;
        const std::optional<std::string> key = serviceCodeKey(textOf(r.find("Code")));
        if (!key) continue;  // not a stock code: nothing of it can be kept
        m.code = *key;
        m.name = textOf(r.find("CoName"));
        m.marketCode = textOf(r.find("Mkt"));
        m.marketName = textOf(r.find("MktNm"));
        m.day = parseHistoryDate(textOf(r.find("Date"))).value_or(0);
        out.push_back(std::move(m));
      }
      return true;
    } catch (const std::exception& e) {
      why = std::string("/equities/master: ") + e.what();
      return false;
    }
  });
}

ServiceOutcome JQuantsApi::dailyBars(int day, std::vector<DailyRow>& out) {
  out.clear();
  const std::string path = "/equities/bars/daily?date=" + compactDate(day);
  return pages(path, [&](const std::string& body, std::string& next, std::string& why) {
    try {
      const JsonValue doc = parseJson(body);
      for (const JsonValue& r : rowsOf(doc, next).items()) {
        if (!r.isObject()) throw FormatError::damaged("a row that is not an object");
        DailyRow d;
        const std::optional<std::string> key = serviceCodeKey(textOf(r.find("Code")));
        if (!key) continue;
        d.code = *key;
        const std::optional<int> rowDay = parseHistoryDate(textOf(r.find("Date")));
        if (!rowDay) throw FormatError::damaged("a row without a date");
        if (*rowDay != day)
          throw FormatError::damaged("a row of " + isoDate(*rowDay) + " in the answer for " + isoDate(day));
        d.day = *rowDay;
        d.open = numberOrNull(r.find("O"));
        d.high = numberOrNull(r.find("H"));
        d.low = numberOrNull(r.find("L"));
        d.close = numberOrNull(r.find("C"));
        d.volume = numberOrNull(r.find("Vo"));
        d.adjFactor = numberOrNull(r.find("AdjFactor"));
        out.push_back(std::move(d));
      }
      return true;
    } catch (const std::exception& e) {
      why = std::string("/equities/bars/daily: ") + e.what();
      return false;
    }
  });
}

}  // namespace tavrin::datafetch
