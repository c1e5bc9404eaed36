#include "MainUnFilePage.h"

#include "MainUn.h"

TFilePage::TFilePage(TfmMain &AMain, QWidget *AParent) : QWidget(AParent), FMain(AMain) {
  setObjectName(QStringLiteral("FilePage"));
  (void)FMain;
}
