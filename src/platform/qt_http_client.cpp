#include "platform/qt_http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace tavrin::platform {

struct QtHttpClient::Impl {
  std::unique_ptr<QNetworkAccessManager> manager;
};

QtHttpClient::QtHttpClient() : impl_(std::make_unique<Impl>()) {}
QtHttpClient::~QtHttpClient() = default;

HttpResponse QtHttpClient::get(const HttpRequest& request) {
  HttpResponse out;
  // Made on the thread that asks, so that its replies are handled there.
  if (!impl_->manager) impl_->manager = std::make_unique<QNetworkAccessManager>();
  const QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
    out.transport = HttpResponse::Transport::NoNetwork;
    out.error = "not a web address";
    return out;
  }
  QNetworkRequest req(url);
  for (const auto& [name, value] : request.headers)
    req.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
  req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  req.setTransferTimeout(request.timeoutMs);

  QNetworkReply* reply = impl_->manager->get(req);
  QEventLoop loop;
  bool tooLarge = false, timedOut = false;
  QByteArray body;
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    body += reply->readAll();
    if (static_cast<std::size_t>(body.size()) > request.maxBytes) {
      tooLarge = true;
      reply->abort();
    }
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  // The whole answer within the time too, not only each pause in it.
  QTimer whole;
  whole.setSingleShot(true);
  QObject::connect(&whole, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });
  whole.start(request.timeoutMs * 4);
  // A cancel is heard while the answer is on its way, not only between requests.
  bool cancelled = false;
  QTimer poll;
  if (request.cancelled) {
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!request.cancelled()) return;
      cancelled = true;
      reply->abort();
    });
    poll.start(100);
  }
  if (!reply->isFinished()) loop.exec();
  body += reply->readAll();

  out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->hasRawHeader("Retry-After")) {
    bool ok = false;
    const int s = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
    if (ok && s >= 0) out.retryAfterSeconds = s;
  }
  const QNetworkReply::NetworkError e = reply->error();
  if (cancelled) {
    out.transport = HttpResponse::Transport::Cancelled;
  } else if (tooLarge || static_cast<std::size_t>(body.size()) > request.maxBytes) {
    out.transport = HttpResponse::Transport::TooLarge;
  } else if (timedOut || e == QNetworkReply::TimeoutError || e == QNetworkReply::OperationCanceledError) {
    out.transport = HttpResponse::Transport::Timeout;
    out.error = "no answer within " + std::to_string(request.timeoutMs / 1000) + " s";
  } else if (e == QNetworkReply::SslHandshakeFailedError) {
    out.transport = HttpResponse::Transport::Tls;
    out.error = reply->errorString().toStdString();
  } else if (out.status == 0 && e != QNetworkReply::NoError) {
    out.transport = HttpResponse::Transport::NoNetwork;
    out.error = reply->errorString().toStdString();
  } else {
    out.body = body.toStdString();
  }
  reply->deleteLater();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return out;
}

}  // namespace tavrin::platform
