// The program's entry point: the GUI application, the main window, the event
// loop. The window's destructor saves the settings and closes the log; the
// settings object and the logger go after it.
#include "MainUn.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[]) {
  QApplication LApp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnwell"));
  QApplication::setApplicationVersion(GetFileVersion());
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  TfmMain LMain;
  LMain.show();
  return QApplication::exec();
}
