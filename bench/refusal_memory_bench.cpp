// The memory a refused outside file costs: a 500 MB history file and a
// 250 MB CSV price file of one line each (written to a folder in /tmp at the
// start, removed at the end), each read in a child process of its own, which
// prints its peak resident size (VmHWM) and the time to the refusal. For
// comparison the same sizes in lines of 64 bytes, which are read whole.
//   refusal_memory_bench [MB of the history file] [MB of the CSV file]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/files.h"
#include "formats/format_error.h"
#include "formats/price_file.h"
#include "history/history_files.h"

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

long peakKilobytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// `bytes` bytes: a header line, then one line of digits to the end, or
// lines of 64 bytes.
void writeFile(const fs::path& path, const std::string& header, const std::string& row, std::uintmax_t bytes,
               bool oneLine) {
  std::ofstream out(path, std::ios::binary);
  out << header;
  std::string piece;
  if (oneLine) {
    piece.assign(1u << 20, '7');
  } else {
    std::string line = row;
    line.resize(63, ' ');
    line += '\n';
    while (piece.size() < (1u << 20)) piece += line;
  }
  std::uintmax_t left = bytes - header.size();
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, piece.size()));
    out.write(piece.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

// Runs the read in a child and prints what it says.
void measure(const char* what, const std::function<std::string()>& read) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    const long before = peakKilobytes();
    const auto t0 = std::chrono::steady_clock::now();
    const std::string result = read();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-34s peak RSS %7.1f MB (%5.1f MB at the start), %8.1f ms: %s\n", what, peakKilobytes() / 1024.0,
                before / 1024.0, ms, result.c_str());
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uintmax_t historyMb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
  const std::uintmax_t csvMb = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 250;
  char folder[] = "/tmp/tavrin-refusal-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir(folder);
  const fs::path history = dir / "7203.T.csv", csv = dir / "kabuka_20261209.csv";

  auto readHistory = [&] {
    const ParsedHistoryFile f = readHistoryFile(history);
    return f.done() ? std::to_string(f.records.size()) + " records" : "refused: " + f.detail;
  };
  auto readCsv = [&] {
    try {
      std::unique_ptr<PriceFile> file = openPriceFile(csv);
      return std::to_string(file->readSheet("").rows.size()) + " rows";
    } catch (const FormatError& e) {
      return std::string("refused: ") + e.what();
    }
  };
  const std::string historyHeader = "Date,Open,High,Low,Close,Volume\n";
  const std::string csvHeader = "\"SC\",\"名称\",\"株価\"\n";
  for (bool oneLine : {true, false}) {
    writeFile(history, historyHeader, "2024-01-04,100,102,99,101,1000", historyMb << 20, oneLine);
    measure((std::to_string(historyMb) + " MB history file, " + (oneLine ? "one line" : "short lines")).c_str(),
            readHistory);
    fs::remove(history);
    writeFile(csv, csvHeader, "7203,A,2501", csvMb << 20, oneLine);
    measure((std::to_string(csvMb) + " MB CSV file, " + (oneLine ? "one line" : "short lines")).c_str(), readCsv);
    fs::remove(csv);
  }
  fs::remove_all(dir);
  return 0;
}
