#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "share/row_pacing.h"

namespace quillet {

class AddressListModel;
class ShareEngine;
class ShareSettings;

/// What the window's status bar tells beside the progress of a share run:
/// how many rows of the list read 成功, 失败 and 地址错误, the time an
/// address really takes (measured, paused time left out) and, when loop
/// sharing is on, the round of the run, e.g.
/// "成功 12 失败 1 地址错误 0 · 实际每个约23.4秒 · 第2轮".
class RunTally : public QObject {
  Q_OBJECT

 public:
  RunTally(ShareEngine& engine, const AddressListModel& list, ShareSettings& settings,
           QObject* parent = nullptr);

  /// The text now; empty while the list holds no outcome and no run was made.
  /// textChanged follows a change of the list shortly after, not at once.
  QString text() const;
  /// The round of the running (or last) run, counted from 1; 0 before any.
  int round() const { return round_; }

 Q_SIGNALS:
  void textChanged(const QString& text);

 private:
  void update();

  const AddressListModel& list_;
  // The list may change row by row in bursts (a restore, a long import):
  // the counts are taken once the burst is over.
  QTimer recount_;
  ShareSettings& settings_;
  RowPaceMeter pace_;
  bool running_ = false;
  bool looping_ = false;
  int round_ = 0;
  QString last_;
};

}  // namespace quillet
