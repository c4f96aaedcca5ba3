// Imports one address file into the address list shown in a list view, the
// way the import button does, and prints the time it took in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTreeView>
#include <cstdio>

#include "app/address_view.h"
#include "share/address_import.h"
#include "share/address_list_model.h"

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
  const QString path = QString::fromLocal8Bit(argv[1]);

  QElapsedTimer clock;
  clock.start();
  const quillet::ImportResult result = quillet::importAddressFile(model, path);
  QApplication::processEvents();  // the view takes in the new rows and repaints
  const qint64 ns = clock.nsecsElapsed();

  if (result.failure) {
    std::fprintf(stderr, "%s\n", qPrintable(quillet::importFailureText(*result.failure)));
    return 1;
  }
  const int rows = result.inserted;
  std::printf("rows %d\nimport_ms %.1f\nfirst_row %s\n", rows, static_cast<double>(ns) / 1e6,
              qPrintable(model.cell(0)));
  return 0;
}
