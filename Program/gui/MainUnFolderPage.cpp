#include "MainUnFolderPage.h"

#include "MainUn.h"

TFolderPage::TFolderPage(TfmMain &AMain, QWidget *AParent) : QWidget(AParent), FMain(AMain) {
  setObjectName(QStringLiteral("FolderPage"));
  (void)FMain;
}
