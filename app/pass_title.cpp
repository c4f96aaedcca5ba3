#include "app/pass_title.h"

#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "share/share_settings.h"
#include "share/site_hold.h"

namespace quillet {

PassTitle::PassTitle(ShareEngine& engine, const AddressListModel& list, ShareSettings& settings,
                     QObject* parent)
    : QObject(parent),
      engine_(engine),
      list_(list),
      settings_(settings),
      last_(PassProgress::idleTitle()) {
  tick_.setInterval(10000);
  connect(&tick_, &QTimer::timeout, this, &PassTitle::update);
  connect(&engine, &ShareEngine::passStarted, this, [this](int row) {
    progress_.passStarted(row);
    tick_.start();
    update();
  });
  connect(&engine, &ShareEngine::addressEntered, this, [this](int row) {
    // A wrong address skipped ahead moves the count on without a result.
    if (row != progress_.currentRow()) progress_.rowStarted(row);
    update();
  });
  connect(&engine, &ShareEngine::rowFinished, this, [this](int row) {
    progress_.rowFinished(row);
    update();
  });
  connect(&engine, &ShareEngine::pausedChanged, this, [this](bool paused) {
    progress_.setPaused(paused);
    update();
  });
  // A hold says what the pass waits for, and until when.
  connect(&engine, &ShareEngine::holdStarted, this, [this](const JournalHold& hold) {
    hold_ = holdTitleText(hold);
    update();
  });
  connect(&engine, &ShareEngine::holdEnded, this, [this] {
    hold_.clear();
    update();
  });
  connect(&engine, &ShareEngine::runEnded, this, [this] {
    hold_.clear();
    progress_.passEnded();
    tick_.stop();
    update();
  });
}

QString PassTitle::text() const {
  if (!hold_.isEmpty()) return hold_;
  // The pass's own period; the field's only before any pass.
  const JournalPass* pass = engine_.pass();
  const double period = pass ? pass->settings.periodSeconds : settings_.period().value_or(0.0);
  return progress_.titleText(list_.rowCountInt(), period);
}

void PassTitle::update() {
  const QString title = text();
  if (title == last_) return;
  last_ = title;
  Q_EMIT titleChanged(title);
}

}  // namespace quillet
