#include "app/splash_window.h"

#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "site/time_scale.h"

namespace quillet {
namespace {

int gSplashTicks = 0;

}  // namespace

int SplashWindow::splashTicks() {
  return gSplashTicks;
}

SplashWindow::SplashWindow(QWidget* windowToShow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), windowToShow_(windowToShow) {
  setFixedSize(457, 32);
  setWindowTitle(QString());
  setModal(true);

  label_ = new QLabel(QStringLiteral("欢迎使用Quillet，软件正在加载中……"), this);
  label_->setObjectName(QStringLiteral("标签1"));
  label_->setGeometry(-2, 0, 460, 16);
  // The caption wants a CJK sans face; fontconfig picks whichever is installed.
  QFont font(QStringLiteral("Microsoft YaHei"));
  font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
  font.setPixelSize(12);
  label_->setFont(font);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("进度条1"));
  progress_->setGeometry(-1, 16, 460, 12);
  progress_->setRange(0, kSteps);
  progress_->setValue(0);
  progress_->setTextVisible(false);

  clock_.setParent(this);
  clock_.setObjectName(QStringLiteral("时钟1"));
  clock_.setTimerType(Qt::PreciseTimer);
  connect(&clock_, &QTimer::timeout, this, &SplashWindow::onSplashTick);
  onSplashCreated();
}

void SplashWindow::onSplashCreated() {
  gSplashTicks = 0;
  const double scaled = std::round(kTickMs * timeScale());
  clock_.start(std::max(1, static_cast<int>(scaled)));
}

void SplashWindow::onSplashTick() {
  if (gSplashTicks == kSteps) {
    accept();
    return;
  }
  ++gSplashTicks;
  progress_->setValue(gSplashTicks);
}

void SplashWindow::done(int result) {
  gSplashTicks = 0;
  clock_.stop();
  if (windowToShow_) windowToShow_->show();
  QDialog::done(result);
}

}  // namespace quillet
