#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "journal/journal_types.h"

namespace quillet {

class AddressListModel;
class DesktopNotifier;
class ShareEngine;

/// Tells a user away from the window what a pass needs or did, as desktop
/// notifications: a hold as it begins (a sign-in asked for, a mute, a site
/// that cannot be reached) and the end of a pass with its counts. A hold
/// that is only renewed (a site probed again) is not told twice. Nothing
/// happens where no notification service answers.
class PassNotices : public QObject {
  Q_OBJECT

 public:
  /// `signInAdvice` ends the notification of a sign-out: what the user is
  /// to do ("请重新登录，分享会从这一行继续").
  PassNotices(ShareEngine& engine, const AddressListModel& list, QString signInAdvice,
              QObject* parent = nullptr);
  ~PassNotices() override;

  /// The summary and body of a hold's notification for the 1-based row.
  static QString holdSummary(const JournalHold& hold);
  static QString holdBody(const JournalHold& hold, int rowNumber, const QString& signInAdvice);
  /// "成功 N，失败 M，地址错误 K" over the pass's rows.
  static QString countsText(int succeeded, int failed, int wrongAddress);

 private:
  void onHoldStarted(const JournalHold& hold);
  void onPassEnded(bool completed);

  ShareEngine& engine_;
  const AddressListModel& list_;
  QString signInAdvice_;
  std::unique_ptr<DesktopNotifier> notifier_;
  std::optional<HoldKind> told_;  // the hold told last, until it ends
};

}  // namespace quillet
