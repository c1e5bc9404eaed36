#include "uWarningSink.h"

#include <QDebug>

namespace {
TWarningSink &Sink() {
  static TWarningSink LSink;
  return LSink;
}
} // namespace

TWarningSink SetWarningSink(TWarningSink ASink) {
  TWarningSink LPrevious = std::move(Sink());
  Sink() = std::move(ASink);
  return LPrevious;
}

void ShowEngineWarning(const QString &AText) {
  // A copy, so that a sink that replaces itself while it runs stays alive.
  const TWarningSink LSink = Sink();
  if (LSink)
    LSink(AText);
  else
    qWarning().noquote() << AText;
}
