#pragma once

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace quillet {

class AddressListModel;

/// The widgets of the publish page that the sharing engine reads and writes.
/// Plain pointers: the window owns them and outlives the engine.
struct ShareControls {
  AddressListModel* list = nullptr;    // 超级列表框_地址
  QLineEdit* period = nullptr;         // 编辑框_周期, seconds per address
  QCheckBox* loop = nullptr;           // 选择框1, loop sharing
  QCheckBox* addComment = nullptr;     // 选择框_添加评论
  QListWidget* commentPool = nullptr;  // 列表框1, the ten comment texts
  QListWidget* failed = nullptr;       // 列表框2, failed addresses
  QLabel* progress = nullptr;          // status bar part 1
  QLabel* imported = nullptr;          // status bar part 2
  QWidget* browserWindow = nullptr;    // the browser control, or a widget holding it
  QWidget* dialogParent = nullptr;     // parent of message boxes and the file dialog
};

}  // namespace quillet
