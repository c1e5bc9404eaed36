// The file page (placeholder: its content follows).
#pragma once

#include <QWidget>

class TfmMain;

class TFilePage : public QWidget {
  Q_OBJECT
public:
  TFilePage(TfmMain &AMain, QWidget *AParent);

private:
  TfmMain &FMain;
};
