#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "journal/journal_types.h"

namespace quillet {

/// What the sharing engine reads each time it needs it: the window's fields,
/// or fixed values given on a command line. The engine never holds widgets.
class ShareSettings {
 public:
  virtual ~ShareSettings();

  /// Seconds per address (编辑框_周期), read where it is typed: nothing when
  /// the field is empty or holds no finite number. Read at the start of a
  /// pass and again before every final pacing wait.
  virtual std::optional<double> period() const = 0;
  /// Start over at the end of the list (选择框1).
  virtual bool loopSharing() const = 0;
  /// Write a random comment before confirming (选择框_添加评论).
  virtual bool addComment() const = 0;
  /// The comment pool (列表框1's texts); the engine draws uniformly over it.
  virtual QStringList comments() const = 0;
  /// Designed time added to one final pacing wait (µs); asked once per wait.
  virtual std::int64_t pacingJitterMicros() { return 0; }
  /// A refused start gives the period field the keyboard focus.
  virtual void focusPeriod() {}
  /// The longest random addition to one final wait, in seconds.
  virtual double jitterSeconds() const { return 0.0; }
  /// Shows a pass's settings (an interrupted pass, restored): the next read
  /// gives them back. A period of 0 (not known) leaves the period as it is.
  virtual void apply(const PassSettings& settings) = 0;
};

/// A period as typed, in seconds: nothing for an empty text or one that is
/// no finite number. Blanks around the number are allowed.
std::optional<double> periodFromText(const QString& text);

/// Settings that stay as they were given (the terminal's options).
class FixedShareSettings : public ShareSettings {
 public:
  std::optional<double> periodSeconds = 21.0;
  bool loop = false;
  bool comment = false;
  QStringList pool;

  std::optional<double> period() const override { return periodSeconds; }
  bool loopSharing() const override { return loop; }
  bool addComment() const override { return comment; }
  QStringList comments() const override { return pool; }
  void apply(const PassSettings& settings) override {
    if (settings.periodSeconds > 0) periodSeconds = settings.periodSeconds;
    loop = settings.loop;
    comment = settings.comment;
  }
};

}  // namespace quillet
