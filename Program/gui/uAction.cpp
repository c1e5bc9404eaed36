#include "uAction.h"

#include <QAbstractButton>

TAction::TAction(const QString &AText, TActionList &AList, QObject *AParent)
    : QAction(AText, AParent), FList(&AList) {
  AList.Register(*this);
  connect(this, &QAction::triggered, this, [this] { Execute(); });
  connect(this, &QAction::changed, this, [this] { SyncButtons(); });
}

TAction::~TAction() {
  if (FList)
    FList->Unregister(*this);
}

void TAction::Update() {
  if (FOnUpdate)
    FOnUpdate(*this);
}

void TAction::Execute() {
  if (!isEnabled())
    return;
  if (FOnExecute)
    FOnExecute(*this);
  if (FList)
    FList->UpdateActions();
}

void TAction::BindButton(QAbstractButton &AButton) {
  FButtons.append(&AButton);
  connect(&AButton, &QAbstractButton::clicked, this, [this] { trigger(); });
  SyncButtons();
}

void TAction::SyncButtons() {
  for (const QPointer<QAbstractButton> &LButton : FButtons) {
    if (!LButton)
      continue;
    LButton->setText(text());
    if (!icon().isNull())
      LButton->setIcon(icon());
    LButton->setEnabled(isEnabled());
    LButton->setVisible(isVisible());
  }
}

TActionList::TActionList(QObject *AParent) : QObject(AParent) {}

void TActionList::UpdateActions() {
  // An update handler that triggers another update (through a signal) does not
  // recurse: the running pass already covers every action.
  if (FUpdating)
    return;
  FUpdating = true;
  const QList<TAction *> LActions = FActions;
  for (TAction *LAction : LActions)
    LAction->Update();
  FUpdating = false;
}

void TActionList::Register(TAction &AAction) {
  FActions.append(&AAction);
}

void TActionList::Unregister(TAction &AAction) {
  FActions.removeAll(&AAction);
}
