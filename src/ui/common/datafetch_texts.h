#pragma once
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "datafetch/data_fetch.h"
#include "datafetch/jquants_api.h"

namespace tavrin::ui {

// The windows' words for the data service J-Quants: where the API key is
// kept, the service's failures, the fetch of the stock list and of the
// prices. Every window that shows one of these takes its text from here.

inline constexpr const char* kServiceName = "J-Quants";
inline constexpr const char* kServiceRegistrationUrl = "https://jpx-jquants.com/";

// Where an API key was found; none of it carries the key.
struct KeyPlaces {
  bool environment = false;  // TAVRIN_JQUANTS_API_KEY
  bool store = false;        // the desktop's secret store
  bool file = false;         // the key file
  bool any() const { return environment || store || file; }
};

// A path with the home folder written "~".
QString homeRelativePath(const std::filesystem::path& path);
// 「デスクトップの鍵の保管庫」「鍵ファイル ~/.config/tavrin/jquants-key」「環境変数 TAVRIN_JQUANTS_API_KEY」.
QString keyStoreText();
QString keyFileText(const std::filesystem::path& keyFile);
QString keyVariableText();
// The settings window's line about the key: whether one is set and where.
QString keyStatusText(const KeyPlaces& places, const std::filesystem::path& keyFile);
// The data window's short form: "APIキー: 設定済み（…）" or "APIキー: 未設定".
QString keyShortText(const KeyPlaces& places, const std::filesystem::path& keyFile);
// After saving: where it went (the file when no secret store answered), or why it failed.
QString keySavedText(bool ok, bool toFile, const std::string& why, const std::filesystem::path& keyFile);
// A typed key that cannot be used (empty, or characters a request cannot carry).
QString keyRejectedText();
// After removing the key (the environment variable, when set, still gives one).
QString keyForgottenText(bool ok, bool environmentStillSet);

// One line for a failure of the service, of any kind.
QString serviceFailureText(const datafetch::ServiceOutcome& outcome);

// "2026-12-08（月）"
QString dayText(int day);
// The line of one day written: "2026-12-08（月）: 3,812 銘柄（取引なし 12、一覧にない 5、分割 1）".
QString fetchDayText(const datafetch::FetchDayReport& report);
// The progress bar's text while a day is asked for.
QString fetchProgressText(const datafetch::FetchProgress& progress);
// The outcome of a fetch of the prices, after the lines of the days: what was
// written, the positions set, or the one line of its failure (and whether the
// days before it stay).
QStringList fetchPricesOutcomeText(const datafetch::FetchPricesOutcome& outcome,
                                   std::optional<int> latestHeld = std::nullopt);
// The watch lists' stocks that meet a pattern on the latest day.
QStringList watchListReportText(const std::vector<std::string>& lines, std::optional<int> latestDay);

// The outcome of a fetch of the stock list: the master's issues, then one
// line per database (dryRun: what it would do).
QStringList fetchListOutcomeText(const datafetch::FetchListOutcome& outcome, bool dryRun);
// The question before the stocks the master no longer lists are removed.
std::vector<std::string> removeMissingQuestion(std::size_t stocks);

// The latest day held: "保存している最新の日: 2026-12-08（月）" (or that there is none).
QString latestHeldText(std::optional<int> day);

}  // namespace tavrin::ui
