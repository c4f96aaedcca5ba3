#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "share/pass_progress.h"

namespace quillet {

class AddressListModel;
class ShareEngine;
class ShareSettings;

/// The window title that follows a share engine: "Quillet - 第N/M个 -
/// 约剩X分钟" while a pass runs, "Quillet - 暂停到14:05 - 账号被限制" while it
/// holds, "Quillet" otherwise.
class PassTitle : public QObject {
  Q_OBJECT

 public:
  PassTitle(ShareEngine& engine, const AddressListModel& list, ShareSettings& settings,
            QObject* parent = nullptr);

  QString text() const;

 Q_SIGNALS:
  void titleChanged(const QString& title);

 private:
  void update();

  const ShareEngine& engine_;
  const AddressListModel& list_;
  ShareSettings& settings_;
  PassProgress progress_;
  QTimer tick_;  // the minutes left count down between rows too
  QString last_;
  QString hold_;  // the title of the hold the pass is in, or empty
};

}  // namespace quillet
