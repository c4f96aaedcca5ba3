#include "term/run_input.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

#include "config/private_files.h"
#include "share/address_file.h"
#include "share/share_refusal.h"
#include "term/say.h"

namespace quillet::term {
namespace {

// As 发表 decides: a number of seconds of at least 21.
bool periodAccepted(double seconds) {
  return std::isfinite(seconds) && !(seconds - 21.0 < -0.0000001);
}

}  // namespace

bool RunInput::prepare(const QString& file, double periodSeconds, const QString& csvPath) {
  if (!periodAccepted(periodSeconds)) {
    say(refusalText(Refusal::NothingToShare));
    return false;
  }
  const AddressFileContents contents = readAddressFile(file);
  if (!contents.ok) {
    say(QStringLiteral("无法读取文件 %1：%2").arg(QDir::toNativeSeparators(file), contents.error));
    return false;
  }
  if (contents.lines.isEmpty()) {
    say(QStringLiteral("文件 %1 中没有地址").arg(QDir::toNativeSeparators(file)));
    return false;
  }
  addresses_ = contents.lines;
  blankLines_ = contents.blankLines;

  if (!csvPath.isEmpty()) {
    csvPath_ = csvPath;
    csvExisted_ = QFileInfo::exists(csvPath);
    csv_ = std::make_unique<QSaveFile>(csvPath);
    // A folder that only lets existing files be rewritten still takes the file.
    csv_->setDirectWriteFallback(true);
    if (!csv_->open(QIODevice::WriteOnly)) {
      say(QStringLiteral("无法写入 %1：%2")
              .arg(QDir::toNativeSeparators(csvPath), csv_->errorString()));
      csv_.reset();
      return false;
    }
  }
  return true;
}

bool RunInput::commitCsv(const QByteArray& bytes) {
  if (!csv_) return true;
  const bool written = csv_->write(bytes) == bytes.size() && csv_->commit();
  if (!written) {
    say(QStringLiteral("无法写入 %1：%2")
            .arg(QDir::toNativeSeparators(csvPath_), csv_->errorString()));
    csv_->cancelWriting();
    return false;
  }
  // A results file is the user's own output, not one of Quillet's kept files.
  if (!csvExisted_) applyUserUmask(csvPath_);
  return true;
}

}  // namespace quillet::term
