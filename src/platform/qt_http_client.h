#pragma once
#include <memory>

#include "base/http_client.h"

namespace tavrin::platform {

// HttpClient over Qt Network: HTTPS with the system's certificate checks,
// redirects refused, a timeout and a size bound per request. Each get() runs
// a local event loop, so it may be called from any thread (one client per
// thread); needs a QCoreApplication.
class QtHttpClient : public HttpClient {
 public:
  QtHttpClient();
  ~QtHttpClient() override;
  HttpResponse get(const HttpRequest& request) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin::platform
