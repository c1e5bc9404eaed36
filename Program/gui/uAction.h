// Actions of the window's pages: a QAction with an integer Tag, an execute
// handler and an update handler that decides its enabled state.
//
// Every action belongs to one TActionList (the main window's). The list runs
// the update handler of every action it holds:
//   - after the execute handler of any of its actions has returned,
//   - whenever someone calls UpdateActions() (after a deferred handler, after a
//     page's state changed outside an action: selection, typing, a timer).
// There is no polling: an enabled state is recomputed exactly at these points.
#pragma once

#include <QAction>
#include <QList>
#include <QPointer>

#include <functional>

class QAbstractButton;
class TActionList;

class TAction : public QAction {
  Q_OBJECT
public:
  using THandler = std::function<void(TAction &ASender)>;

  // AList registers the action; AParent owns it (usually the page).
  TAction(const QString &AText, TActionList &AList, QObject *AParent);
  ~TAction() override;

  // Free integer state of a page, 0 at start.
  int Tag() const { return FTag; }
  void SetTag(int AValue) { FTag = AValue; }

  // Runs on trigger(); the list's update follows.
  void SetOnExecute(THandler AHandler) { FOnExecute = std::move(AHandler); }
  // Decides the enabled state; runs from TActionList::UpdateActions.
  void SetOnUpdate(THandler AHandler) { FOnUpdate = std::move(AHandler); }

  // Runs the update handler, if any.
  void Update();
  // Runs the execute handler (only when enabled), then updates every action
  // of the list. trigger() ends here.
  void Execute();

  // Binds a button to the action: a click executes it; the button follows the
  // action's text, icon, enabled state and visibility.
  void BindButton(QAbstractButton &AButton);

private:
  void SyncButtons();

  int FTag = 0;
  THandler FOnExecute;
  THandler FOnUpdate;
  QPointer<TActionList> FList;
  QList<QPointer<QAbstractButton>> FButtons;
};

class TActionList : public QObject {
  Q_OBJECT
public:
  explicit TActionList(QObject *AParent = nullptr);

  // Runs every registered action's update handler.
  void UpdateActions();
  const QList<TAction *> &Actions() const { return FActions; }

private:
  friend class TAction;
  void Register(TAction &AAction);
  void Unregister(TAction &AAction);

  QList<TAction *> FActions;
  bool FUpdating = false;
};
