#include "platform/secret_store.h"

#include <qt6keychain/keychain.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "base/log.h"
#include "datafetch/service_key.h"

namespace tavrin::platform {

namespace {

const QString kService = QStringLiteral("tavrin");
const QString kEntry = QStringLiteral("jquants-api-key");
constexpr int kWaitMs = 10000;  // a secret store that does not answer counts as none

// Runs a job to its end in a loop of its own. A job that does not end in
// time has not done its work, whatever its error says.
bool run(QKeychain::Job& job) {
  job.setAutoDelete(false);
  QEventLoop loop;
  bool finished = false;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
  job.start();
  if (!finished) loop.exec();
  if (!finished) logLine("secret store", "no answer within " + std::to_string(kWaitMs / 1000) + " s");
  return finished && job.error() == QKeychain::NoError;
}

}  // namespace

StoredKey readStoredKey() {
  StoredKey out;
  {
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(kEntry);
    if (run(job)) {
      out.key = datafetch::cleanedKey(job.textData().toStdString());
      if (out.key) return out;
    } else if (job.error() != QKeychain::EntryNotFound) {
      logLine("secret store", "not available: " + job.errorString().toStdString());
    }
  }
  out.key = datafetch::readKeyFile();
  out.fromFile = out.key.has_value();
  return out;
}

KeySaved saveKey(const std::string& typed) {
  KeySaved out;
  const std::optional<std::string> key = datafetch::cleanedKey(typed);
  if (!key) {
    out.why = "not a key";
    return out;
  }
  QKeychain::WritePasswordJob job(kService);
  job.setKey(kEntry);
  job.setTextData(QString::fromStdString(*key));
  if (run(job)) {
    datafetch::removeKeyFile();  // one place only
    out.ok = true;
    return out;
  }
  logLine("secret store", "not available, the key file is used: " + job.errorString().toStdString());
  std::string why;
  out.ok = datafetch::writeKeyFile(*key, why);
  out.toFile = out.ok;
  out.why = why;
  return out;
}

bool forgetKey() {
  QKeychain::DeletePasswordJob job(kService);
  job.setKey(kEntry);
  const bool store = run(job) || job.error() == QKeychain::EntryNotFound;
  const bool file = datafetch::removeKeyFile();
  return store || file;
}

std::optional<std::string> apiKey() {
  if (std::optional<std::string> env = datafetch::keyFromEnvironment()) return env;
  return readStoredKey().key;
}

}  // namespace tavrin::platform
