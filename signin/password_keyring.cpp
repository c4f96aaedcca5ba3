#include "signin/password_keyring.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <functional>
#include <memory>

#include "site/pump_wait.h"

namespace quillet {

// What a job reported, shared between the waiting call and the job's
// finished handler: the job may finish after the call gave up waiting.
struct KeyringJobEnd {
  bool finished = false;
  QKeychain::Error error = QKeychain::NoError;
  QString errorText;
  QString text;
  std::function<void()> endWait;
};

namespace {

// The keyring's answers arrive through the event loop. A terminal command may
// ask before its application object exists (`quillet login` reads the
// remembered password first): then one lives for the length of the call.
class EventLoopForCall {
 public:
  EventLoopForCall() {
    if (QCoreApplication::instance() == nullptr) {
      app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
  }

 private:
  static inline int argc_ = 1;
  static inline char name_[] = "quillet";
  static inline char* argv_[] = {name_, nullptr};
  std::unique_ptr<QCoreApplication> app_;
};

// Starts `job` and waits until it finishes or `limitMs` passes. A job that is
// still running then is left to finish (or not) on its own: it deletes itself
// when it does, and its answer is dropped. Deleting it early is no option,
// since the keyring's callback would then reach a job that is gone.
std::shared_ptr<KeyringJobEnd> runJob(QKeychain::Job* job, int limitMs) {
  const EventLoopForCall loop;
  auto end = std::make_shared<KeyringJobEnd>();
  job->setAutoDelete(true);
  QObject::connect(job, &QKeychain::Job::finished, job, [end](QKeychain::Job* finished) {
    end->finished = true;
    end->error = finished->error();
    end->errorText = finished->errorString();
    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) {
      end->text = read->textData();
    }
    if (end->endWait) end->endWait();
  });
  job->start();
  if (!end->finished) pumpWaitInterruptible(std::int64_t(limitMs) * 1000, end->endWait);
  return end;
}

}  // namespace

PasswordKeyring::PasswordKeyring(QString service, int answerLimitMs)
    : service_(std::move(service)), answerLimitMs_(answerLimitMs) {}

bool PasswordKeyring::answered(const KeyringJobEnd& end) {
  if (end.finished) return true;
  silent_ = true;
  lastError_ = QStringLiteral("the keyring did not answer within %1 s").arg(answerLimitMs_ / 1000);
  return false;
}

PasswordKeyring::Lookup PasswordKeyring::read(const QString& key) {
  Lookup lookup;
  if (silent_) return lookup;
  auto* job = new QKeychain::ReadPasswordJob(service_);
  job->setKey(key);
  const std::shared_ptr<KeyringJobEnd> end = runJob(job, answerLimitMs_);
  if (!answered(*end)) return lookup;
  switch (end->error) {
    case QKeychain::NoError:
      lookup.answer = Answer::Done;
      lookup.password = end->text;
      break;
    case QKeychain::EntryNotFound:
      lookup.answer = Answer::NotFound;
      break;
    default:
      lastError_ = end->errorText;
      break;
  }
  return lookup;
}

PasswordKeyring::Answer PasswordKeyring::write(const QString& key, const QString& password) {
  if (silent_) return Answer::NoKeyring;
  auto* job = new QKeychain::WritePasswordJob(service_);
  job->setKey(key);
  job->setTextData(password);
  const std::shared_ptr<KeyringJobEnd> end = runJob(job, answerLimitMs_);
  if (!answered(*end)) return Answer::NoKeyring;
  if (end->error == QKeychain::NoError) return Answer::Done;
  lastError_ = end->errorText;
  return Answer::NoKeyring;
}

PasswordKeyring::Answer PasswordKeyring::remove(const QString& key) {
  if (silent_) return Answer::NoKeyring;
  auto* job = new QKeychain::DeletePasswordJob(service_);
  job->setKey(key);
  const std::shared_ptr<KeyringJobEnd> end = runJob(job, answerLimitMs_);
  if (!answered(*end)) return Answer::NoKeyring;
  if (end->error == QKeychain::NoError || end->error == QKeychain::EntryNotFound) {
    return Answer::Done;
  }
  lastError_ = end->errorText;
  return Answer::NoKeyring;
}

}  // namespace quillet
