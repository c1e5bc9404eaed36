#include "uStyle.h"

// Colours: a slate header, a light grey-blue body, white group panels, one
// teal accent. Whatever takes the keyboard focus shows it: push buttons, text
// fields and grids with a teal frame two pixels wide (their padding gives way,
// so nothing moves), the header's buttons with a light one; check boxes, spin
// boxes and combo boxes with the Fusion style's own focus frame.
QString MainStyleSheet() {
  return QStringLiteral(R"(
#fmMain { background: #eef2f6; }
#Panel5 { background: #eef2f6; border: 1px solid #2c3e50; }
#Panel10 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #34495e, stop:1 #2c3e50); }
#Panel10 QToolButton {
  color: #dfe7ee; background: transparent; border: 2px solid transparent; border-radius: 8px;
  font-size: 11px; padding: 0px;
}
#Panel10 QToolButton:hover { background: rgba(255, 255, 255, 0.10); color: white; }
#Panel10 QToolButton:pressed { background: rgba(255, 255, 255, 0.18); }
#Panel10 QToolButton[current="true"] { background: rgba(22, 160, 133, 0.55); color: white; }
#Panel10 QToolButton:focus { border-color: rgba(255, 255, 255, 0.85); }
#textTitle { color: white; font-size: 22px; font-weight: bold; }
#textVersion { color: #a9bccd; font-weight: bold; font-size: 11px; }
QGroupBox {
  background: white; border: 1px solid #cfd8e1; border-radius: 8px;
  margin-top: 14px; padding-top: 6px; font-weight: bold; color: #2c3e50;
}
QGroupBox::title {
  subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px;
}
QGroupBox QGroupBox { background: #f7f9fb; border-radius: 6px; }
QGroupBox QGroupBox::title { background: transparent; }
#gbAbout, #GroupBox_General { margin-top: 0px; }
QCheckBox, QLabel, QSpinBox, QLineEdit, QComboBox { font-weight: normal; color: #2c3e50; }
QCheckBox:disabled, QLabel:disabled, QSpinBox:disabled, QComboBox:disabled { color: #9aa7b4; }
QPushButton, TTokenButton[look="push"] {
  background: #f4f7fa; border: 1px solid #b9c6d2; border-radius: 6px;
  padding: 2px 8px; color: #2c3e50; font-weight: normal;
}
QPushButton:hover, TTokenButton[look="push"]:hover { background: #e3f4f0; border-color: #16a085; }
QPushButton:pressed, TTokenButton[look="push"]:pressed { background: #c9ebe3; }
QPushButton:disabled, TTokenButton[look="push"]:disabled {
  color: #a0acb8; background: #f1f3f5; border-color: #d6dde4;
}
QPushButton:focus, TTokenButton[look="push"]:focus {
  border: 2px solid #16a085; padding: 1px 7px;
}
TTokenButton[look="push"]::menu-indicator {
  subcontrol-origin: padding; subcontrol-position: right center; right: 2px;
}
#btnFileRename, #btnFolderRename {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #eef3f7);
  border: 1px solid #b9c6d2; border-radius: 14px; color: #2c3e50; font-weight: bold;
}
#btnFileRename:hover, #btnFolderRename:hover { border: 2px solid #16a085; background: #f0faf7; }
#btnFileRename:focus, #btnFolderRename:focus { border: 3px solid #0e7c66; }
QLineEdit {
  background: white; border: 1px solid #b9c6d2; border-radius: 4px; padding: 1px 3px;
  selection-background-color: #16a085;
}
QLineEdit:focus { border: 2px solid #16a085; padding: 0px 2px; }
QLineEdit:disabled { background: #f1f3f5; color: #9aa7b4; }
#textSettingsNote { color: #6b7c8c; }
#Button_SelectLogDirectory {
  border: 1px solid transparent; background: #e6ecf1; border-radius: 3px; font-weight: bold;
  color: #2c3e50;
}
#Button_SelectLogDirectory:hover { background: #c9ebe3; }
#Button_SelectLogDirectory:focus { border-color: #16a085; }
QLabel[link="true"] { color: #1565c0; text-decoration: underline; }
QTableView {
  background: white; alternate-background-color: #f5f8fb; gridline-color: #dde4ea;
  border: 1px solid #cfd8e1; padding: 1px;
  selection-background-color: #cdeee6; selection-color: #1d2b38;
}
QTableView:focus { border: 2px solid #16a085; padding: 0px; }
QHeaderView::section {
  background: #e9eef3; color: #2c3e50; border: none; border-right: 1px solid #d3dce4;
  border-bottom: 1px solid #cfd8e1; padding: 4px 6px; font-weight: bold;
}
)") + MessageFormStyleSheet();
}

QString MessageFormStyleSheet() {
  return QStringLiteral(R"(
#fmMessageForm { background: white; border: 1px solid #2c3e50; }
#fmMessageForm QLabel { color: #1d2b38; font-weight: normal; }
)");
}
