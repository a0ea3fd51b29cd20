#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrin {

// One HTTP GET, as the data service is asked. The platform's client (Qt
// Network in src/platform) stands behind this interface; tests give their own.
struct HttpRequest {
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  int timeoutMs = 30000;
  std::size_t maxBytes = 64u << 20;  // a longer answer is cut off and fails as TooLarge
  // Asked while the answer is awaited: true stops it (Transport::Cancelled).
  std::function<bool()> cancelled;
};

struct HttpResponse {
  enum class Transport { Ok, NoNetwork, Timeout, Tls, TooLarge, Cancelled };
  Transport transport = Transport::Ok;
  std::string error;  // what the transport said (never the request's headers)
  int status = 0;
  std::optional<int> retryAfterSeconds;
  std::string body;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual HttpResponse get(const HttpRequest& request) = 0;
};

}  // namespace tavrin
