// The folder page (placeholder: its content follows).
#pragma once

#include <QWidget>

class TfmMain;

class TFolderPage : public QWidget {
  Q_OBJECT
public:
  TFolderPage(TfmMain &AMain, QWidget *AParent);

private:
  TfmMain &FMain;
};
