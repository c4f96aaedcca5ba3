#pragma once

#include <QObject>
#include <memory>

#include "app/app_config.h"
#include "site/site_profile.h"

namespace quillet {

class Dialogs;
class LoginFlow;
class MainWindow;
class RememberedAccount;
class ShareEngine;
class WidgetShareSettings;

/// Owns the main window and the routines behind its controls, binds each
/// control event to its routine and runs the start-up sequence.
class Application : public QObject {
  Q_OBJECT

 public:
  /// `dialogs` is the seam for message boxes and the open-file dialog (tests
  /// pass a recording one); null means the real Qt dialogs.
  explicit Application(const AppConfig& config, Dialogs* dialogs = nullptr,
                       QObject* parent = nullptr);
  ~Application() override;

  MainWindow& window() { return *window_; }
  ShareEngine& shareEngine() { return *share_; }
  LoginFlow& loginFlow() { return *login_; }

  /// The start-up sequence after the window is made: loading window (which
  /// shows the main window when it closes), remembered account, browser to
  /// the logout page and then the login page, run state reset.
  void onMainWindowCreated();

 private:
  void bindEvents();
  void bindShareReports();
  void onContactLabelPressed();
  void onUpdateLabelPressed();

  AppConfig config_;
  SiteProfile profile_;
  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs* dialogs_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<RememberedAccount> account_;
  std::unique_ptr<WidgetShareSettings> shareSettings_;
  std::unique_ptr<ShareEngine> share_;
  std::unique_ptr<LoginFlow> login_;
};

}  // namespace quillet
