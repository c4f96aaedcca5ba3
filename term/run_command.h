#pragma once

#include <QString>

#include "term/subcommand.h"

namespace quillet::term {

/// `quillet run FILE`: imports FILE as "导入地址" does and runs the share
/// engine over it, one pass or looping, with the kept session of `quillet
/// login`. Results on standard output as rows finish, progress on standard
/// error. Exit 0 every row 成功, 1 some row 失败 or 地址错误, 2 usage,
/// 3 not signed in, 4 site unreachable, 5 data folder in use, 130/143
/// stopped by SIGINT/SIGTERM. The list and every row's progress go into the
/// data folder's journal as the window's do; --resume goes on from there.
class RunCommand : public Subcommand {
 public:
  explicit RunCommand(QString programDir) : programDir_(std::move(programDir)) {}
  int execute(const QStringList& arguments) override;

 private:
  QString programDir_;
};

}  // namespace quillet::term
