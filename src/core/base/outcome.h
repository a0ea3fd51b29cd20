#pragma once
#include <string>
#include <utility>

namespace tavrin {

// What a use case ends with: done, or failed with a kind and a detail. The
// kind is one value of the use case's own enum, whose first value None means
// done; the detail names what failed (a file, a row, the system's reason) in
// plain English, for the log and for the texts made of it. The core words no
// message for the user: the windows (ui/) and the command line (cli/) each
// have one text per kind.
template <typename Failure>
struct Outcome {
  Failure failure = Failure::None;
  std::string detail;

  bool done() const { return failure == Failure::None; }
  void fail(Failure kind, std::string why) {
    failure = kind;
    detail = std::move(why);
  }
};

}  // namespace tavrin
