#pragma once

#include <QString>

namespace quillet {

struct KeyringJobEnd;

/// Passwords in the desktop's keyring (the Secret Service: GNOME Keyring,
/// KWallet, KeePassXC), reached through QtKeychain under one service name.
/// Every call waits for the keyring's answer while the thread's events go on
/// being handled, and for a bounded time only: a keyring that does not answer
/// in time counts as absent for the rest of the process, so that a hung
/// service costs one wait, not one per call.
class PasswordKeyring {
 public:
  /// How a call ended.
  enum class Answer {
    Done,       // read, written or removed
    NotFound,   // the keyring answered and holds no such entry
    NoKeyring,  // none answered: no session bus, no service, locked, refused, too slow
  };

  struct Lookup {
    Answer answer = Answer::NoKeyring;
    QString password;  // when Done
  };

  /// How long one call may wait for the keyring. Long enough for the user to
  /// answer the desktop's unlock prompt; not a designed wait, so not scaled.
  static constexpr int kAnswerLimitMs = 20'000;

  explicit PasswordKeyring(QString service, int answerLimitMs = kAnswerLimitMs);

  Lookup read(const QString& key);
  Answer write(const QString& key, const QString& password);
  /// Removing an entry that is not there is Done as well.
  Answer remove(const QString& key);

  /// The keyring's own words for the last call that found none, for messages.
  QString lastError() const { return lastError_; }

 private:
  /// False (and silent from then on) when the job had not finished in time.
  bool answered(const KeyringJobEnd& end);

  QString service_;
  int answerLimitMs_;
  bool silent_ = false;  // a call was not answered in time
  QString lastError_;
};

}  // namespace quillet
