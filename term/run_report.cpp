#include "term/run_report.h"

#include <QDateTime>
#include <cerrno>
#include <cstring>

#include "share/address_list_model.h"
#include "term/say.h"
#include "term/terminal_input.h"

namespace quillet::term {

RunReport::RunReport(const AddressListModel& list, Options options)
    : list_(list), options_(std::move(options)), live_(stderrIsTerminal()) {}

void RunReport::writeOut(const QString& text) {
  if (outputFailed_) return;
  const QByteArray bytes = text.toUtf8();
  errno = 0;
  const bool written =
      std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
  // A script reading the pipe sees each row as soon as it is done.
  if (written && std::fflush(stdout) == 0) return;
  // The reader went away (EPIPE: the engine ignores SIGPIPE) or the disk is
  // full: every further result would be lost without a word.
  const int error = errno != 0 ? errno : EIO;
  outputFailed_ = true;
  std::clearerr(stdout);
  printErr(QStringLiteral("无法写入标准输出：%1；在下一步停止")
               .arg(QString::fromLocal8Bit(std::strerror(error))));
  if (options_.onOutputError) options_.onOutputError();
}

RowResult RunReport::resultOf(const AddressListModel& list, int row) {
  RowResult result;
  result.row = row + 1;
  result.address = list.cell(row, AddressListModel::AddressColumn);
  result.status = list.cell(row, AddressListModel::StatusColumn);
  result.time = list.cell(row, AddressListModel::PublishTimeColumn);
  return result;
}

void RunReport::passStarted(int row) {
  if (!headerWritten_ && !options_.json) writeOut(csvHeader());
  headerWritten_ = true;
  progress_.total = list_.rowCountInt();
  progress_.row = row + 1;
  progress_.rowsDone = row;
  rowsDoneThisPass_ = 0;
  passClock_.start();
  // A line of its own in either mode: the moment the first page step begins.
  // The run's first pass also says what gap the period gives.
  QString line = QStringLiteral("开始分享：第%1个地址起，共%2个").arg(row + 1).arg(progress_.total);
  if (!runStarted_) {
    runStarted_ = true;
    rowPace_.start();
    if (!options_.pacing.isEmpty()) line += u'；' + options_.pacing;
  }
  printErr(line);
  showProgress(false);
}

void RunReport::rowFinished(int row) {
  const RowResult result = resultOf(list_, row);
  if (liveLineShown_) {
    // Standard output may be the same terminal: the result line must not land
    // behind the live line, which is drawn again below it.
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
  }
  writeOut(options_.json ? jsonLine(result) : csvRecord(result));
  reported_.insert(row, result.status);
  ++finished_;
  ++rowsDoneThisPass_;
  if (result.status == QStringLiteral("成功")) {
    ++progress_.succeeded;
  } else if (result.status == QStringLiteral("地址错误")) {
    ++progress_.wrongAddress;
  } else if (result.status == QStringLiteral("未确认")) {
    ++unconfirmed_;  // may have been shared: no failure
  } else {
    ++progress_.failed;
  }
  progress_.row = row + 1;
  rowPace_.rowFinished();
  progress_.secondsPerRow = rowPace_.secondsPerRow();
  progress_.rowsDone = row + 1;
  progress_.secondsLeft =
      estimateSecondsLeft(passClock_.elapsed(), rowsDoneThisPass_, progress_.total - (row + 1),
                          options_.designedRowSeconds);
  showProgress(true);
}

void RunReport::holdStarted(const QString& reason, const QString& reasonKey, int rowNumber,
                            qint64 untilMs) {
  const QDateTime until =
      untilMs > 0 ? QDateTime::fromMSecsSinceEpoch(untilMs).toLocalTime() : QDateTime();
  progress_.hold =
      until.isValid()
          ? QStringLiteral("%1，暂停到%2").arg(reason, until.toString(QStringLiteral("HH:mm:ss")))
          : reason;
  // One event for a hold, however often its wait is renewed (a site that
  // stays down is probed again and again).
  if (options_.json && (holdKey_ != reasonKey || holdRow_ != rowNumber)) {
    writeOut(jsonHoldLine(QStringLiteral("hold"), reasonKey, rowNumber,
                          until.isValid() ? until.toString(Qt::ISODate) : QString()));
  }
  holdKey_ = reasonKey;
  holdRow_ = rowNumber;
  rowPace_.setPaused(true);
  showProgress(!live_);
}

void RunReport::holdEnded() {
  if (holdKey_.isEmpty()) return;
  if (options_.json) writeOut(jsonHoldLine(QStringLiteral("holdEnded"), holdKey_, holdRow_, {}));
  holdKey_.clear();
  holdRow_ = 0;
  progress_.hold.clear();
  rowPace_.setPaused(false);
  showProgress(false);
}

void RunReport::rowReleased(int row) {
  const auto at = reported_.constFind(row);
  if (at == reported_.constEnd()) return;
  const QString status = *at;
  reported_.erase(at);
  --finished_;
  if (status == QStringLiteral("成功")) {
    --progress_.succeeded;
  } else if (status == QStringLiteral("地址错误")) {
    --progress_.wrongAddress;
  } else {
    --progress_.failed;
  }
}

void RunReport::statusText(const QString& text) {
  static const QString kSharing = QStringLiteral("正在分享第");
  if (text.startsWith(kSharing)) {
    // "正在分享第N个地址": the row being worked on now.
    bool ok = false;
    const int row = text.mid(kSharing.size()).section(u'个', 0, 0).toInt(&ok);
    if (ok) progress_.row = row;
    if (live_) showProgress(false);
    return;
  }
  if (!text.isEmpty()) printErr(text);
}

void RunReport::pacingWait(std::int64_t micros) {
  if (options_.verbose) {
    printErr(QStringLiteral("周期等待 %1 秒").arg(double(micros) / 1e6, 0, 'f', 3));
  }
}

void RunReport::showProgress(bool newRow) {
  if (live_) {
    const QByteArray line = ("\r" + liveProgressLine(progress_) + "\x1b[K").toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    liveLineShown_ = true;
  } else if (newRow) {
    printErr(plainProgressLine(progress_));
  }
}

void RunReport::printErr(const QString& text) {
  if (liveLineShown_) {
    // The live line gives way to the message and comes back below it.
    std::fputs("\r\x1b[K", stderr);
  }
  say(text);
  if (liveLineShown_) {
    const QByteArray line = (liveProgressLine(progress_) + "\x1b[K").toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
  }
  std::fflush(stderr);
}

void RunReport::finish(const QString& stopped, const QString& note) {
  if (liveLineShown_) {
    std::fputc('\n', stderr);
    liveLineShown_ = false;
  }
  QString summary = QStringLiteral("共%1个：成功 %2 失败 %3 地址错误 %4")
                        .arg(finished_)
                        .arg(progress_.succeeded)
                        .arg(progress_.failed)
                        .arg(progress_.wrongAddress);
  if (unconfirmed_ > 0) summary += QStringLiteral(" 未确认 %1").arg(unconfirmed_);
  if (!stopped.isEmpty()) summary = QStringLiteral("已停止（%1），").arg(stopped) + summary;
  if (!note.isEmpty()) summary += QStringLiteral("。") + note;
  printErr(summary);
}

QByteArray RunReport::csvFileBytes(const AddressListModel& list) {
  QString text = csvHeader();
  for (int row = 0; row < list.rowCountInt(); ++row) text += csvRecord(resultOf(list, row));
  return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

}  // namespace quillet::term
