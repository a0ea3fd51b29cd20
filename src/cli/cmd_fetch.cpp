#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

#include "base/calendar.h"
#include "base/files.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/import_texts.h"
#include "datafetch/data_fetch.h"
#include "datafetch/service_key.h"
#include "platform/qt_http_client.h"
#include "platform/secret_store.h"

namespace tavrin::cli {

namespace {

constexpr const char* kFetchUsage =
    "tavrin-cli [--root DIR] fetch list [--dry-run] [--remove-missing] [--include-funds] [--allow-older]\n"
    "       tavrin-cli [--root DIR] fetch prices [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--report]";

std::string serviceFailureText(const datafetch::ServiceOutcome& s) {
  using F = datafetch::ServiceFailure;
  switch (s.failure) {
    case F::NoKey: return "no API key: set it in the window's 設定, or in " + std::string(datafetch::kKeyVariable);
    case F::BadAddress: return s.detail;
    case F::Refused: return "the service refused the key or the plan (" + s.detail + ")";
    case F::RateLimited: return "the service is busy (" + s.detail + "); try again later";
    case F::Network: return "no connection to the service (" + s.detail + ")";
    case F::Timeout: return "the service did not answer in time";
    case F::BadAnswer: return "the service's answer could not be read (" + s.detail + ")";
    case F::TooLarge: return "the service's answer is too large (" + s.detail + ")";
    case F::Cancelled: return "cancelled";
    case F::None: break;
  }
  return s.detail;
}

int today() {
  const std::tm t = localNow();
  return *dayFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

struct Service {
  std::unique_ptr<platform::QtHttpClient> http;
  std::unique_ptr<datafetch::JQuantsApi> api;
  std::string why;
};

Service openService() {
  Service s;
  std::string why;
  const std::optional<std::string> url = datafetch::serviceUrl(why);
  if (!url) {
    s.why = why;
    return s;
  }
  const std::optional<std::string> key = platform::apiKey();
  if (!key) {
    datafetch::ServiceOutcome none;
    none.fail(datafetch::ServiceFailure::NoKey, "");
    s.why = serviceFailureText(none);
    return s;
  }
  s.http = std::make_unique<platform::QtHttpClient>();
  s.api = std::make_unique<datafetch::JQuantsApi>(*s.http, datafetch::ServiceSettings{*url, *key}, [](int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  });
  return s;
}

int fetchList(const Paths& paths, Args args) {
  datafetch::FetchListOptions o;
  o.dryRun = takeFlag(args, "--dry-run");
  o.removeMissing = takeFlag(args, "--remove-missing");
  o.includeFunds = takeFlag(args, "--include-funds");
  o.allowOlder = takeFlag(args, "--allow-older");
  if (!args.empty()) return usageError(kFetchUsage);
  Service s = openService();
  if (!s.api) return failure("fetch list: " + s.why + "; nothing was changed");
  const datafetch::FetchListOutcome out = datafetch::fetchStockList(*s.api, standardStockListTargets(paths), o);
  if (!out.service.done()) return failure("fetch list: " + serviceFailureText(out.service) + "; nothing was changed");
  if (!out.issues.done()) return failure("fetch list: " + out.issues.detail + "; nothing was changed");
  if (out.lists.failure == StockListFailure::OlderList)
    return failure("fetch list: " + out.lists.detail + " in " + toUtf8(out.lists.failedDatabase) +
                   "; give --allow-older to apply it anyway; no database was changed");
  if (!out.lists.done())
    return failure("fetch list: " + toUtf8(out.lists.failedDatabase) + ": " + out.lists.detail +
                   "; no database was changed");
  std::cout << "the data service's list: " << listedIssuesLine(out.issues) << "\n";
  for (const std::string& line : stockListReportsLines(out.lists.reports, o.dryRun)) std::cout << line << "\n";
  return kOk;
}

int fetchPrices(const Paths& paths, Args args) {
  bool bad = false;
  const std::optional<std::string> from = takeOption(args, "--from", &bad);
  const std::optional<std::string> to = takeOption(args, "--to", &bad);
  const bool report = takeFlag(args, "--report");
  if (bad || !args.empty()) return usageError(kFetchUsage);
  datafetch::FetchPricesOptions o;
  o.today = today();
  for (const auto& [text, day] : {std::pair{&from, &o.from}, std::pair{&to, &o.to}}) {
    if (!*text) continue;
    *day = parseHistoryDate(**text);
    if (!*day) return failure("fetch prices: '" + printableText(**text) + "' is not a date (YYYY-MM-DD)");
  }
  Service s = openService();
  if (!s.api) return failure("fetch prices: " + s.why + "; nothing was changed");
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  const datafetch::FetchPricesOutcome out =
      datafetch::fetchPrices(*s.api, paths, o, [&](const datafetch::FetchProgress& p) {
        if (p.done < p.total)
          std::cerr << (terminal ? "\r" : "") << "fetching " << isoDate(p.day) << " (" << p.done + 1 << "/" << p.total
                    << ")" << (terminal ? "" : "\n") << std::flush;
      });
  if (terminal) std::cerr << "\r\x1b[K" << std::flush;
  if (out.upToDate) {
    std::cout << "fetch prices: up to date (" << isoDate(out.from - 1) << ")\n";
  } else if (out.done() || !out.days.empty()) {
    std::size_t stocks = 0, unknown = 0;
    for (const datafetch::FetchDayReport& d : out.days) {
      std::cout << isoDate(d.day) << "\t" << d.stocks << " stocks";
      if (d.noTrade) std::cout << ", " << d.noTrade << " without a trade";
      if (d.splits) std::cout << ", " << d.splits << " split(s) entered";
      std::cout << "\n";
      stocks += d.stocks;
      unknown = std::max(unknown, d.unknown);
    }
    std::cout << "fetch prices " << isoDate(out.from) << " .. " << isoDate(out.to) << ": " << out.days.size()
              << " trading day(s), " << stocks << " prices, " << out.holidays << " day(s) without trading";
    if (unknown) std::cout << "; up to " << unknown << " code(s) a day not in list skipped";
    std::cout << "\n";
    if (out.positionsDay) std::cout << "day positions at " << isoDate(*out.positionsDay) << "\n";
    if (out.weekDay) std::cout << "week positions at " << isoDate(*out.weekDay) << "\n";
    if (out.monthDay) std::cout << "month positions at " << isoDate(*out.monthDay) << "\n";
  }
  if (report && out.done())
    for (const std::string& line : datafetch::watchListReport(paths)) std::cout << line << "\n";
  if (!out.done()) {
    const std::string why =
        out.failure == datafetch::FetchFailure::Service ? serviceFailureText(out.service) : out.detail;
    return failure("fetch prices: " + why +
                   (out.days.empty() ? "; nothing was changed" : "; the days before it are kept"));
  }
  return kOk;
}

}  // namespace

int cmdFetch(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  if (args.empty()) return usageError(kFetchUsage);
  const std::string verb = args[0];
  args.erase(args.begin());
  // Qt Network needs an application object; the command line has none otherwise.
  int argc = 1;
  char name[] = "tavrin-cli";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  if (verb == "list") return fetchList(paths, args);
  if (verb == "prices") return fetchPrices(paths, args);
  return usageError(kFetchUsage);
}

}  // namespace tavrin::cli
