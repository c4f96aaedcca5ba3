// Imports one address file into the address list shown in a list view, the
// way the import button does, and prints the time it took in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTreeView>
#include <cstdio>

#include "share/address_import.h"
#include "app/address_view.h"
#include "share/address_list_model.h"
#include "tests/doubles/recording_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  quillet::AddressListModel model;
  QTreeView view;
  quillet::configureAddressView(&view, &model);
  view.resize(720, 400);
  view.show();
  quillet::RecordingDialogs dialogs;
  dialogs.setNextFileName(QString::fromLocal8Bit(argv[1]));

  QElapsedTimer clock;
  clock.start();
  const int rows = quillet::importAddresses(dialogs, model);
  QApplication::processEvents();  // the view takes in the new rows and repaints
  const qint64 ns = clock.nsecsElapsed();

  if (!dialogs.messages().isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(dialogs.lastMessage().text));
    return 1;
  }
  std::printf("rows %d\nimport_ms %.1f\nfirst_row %s\n", rows, static_cast<double>(ns) / 1e6,
              qPrintable(model.cell(0)));
  return 0;
}
