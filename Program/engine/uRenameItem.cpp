#include "uRenameItem.h"

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

QString ExceptionTypeAndMessage(const std::exception &AException) {
  const char *LMangled = typeid(AException).name();
  int LStatus = 0;
  std::unique_ptr<char, decltype(&std::free)> LDemangled(
      abi::__cxa_demangle(LMangled, nullptr, nullptr, &LStatus), &std::free);
  QString LText = QString::fromUtf8(LStatus == 0 && LDemangled ? LDemangled.get() : LMangled);
  return LText + QString::fromUtf8(AException.what());
}

TRenameItem::TFailureTexts &TRenameItem::FailureTexts() {
  if (!FFailureTexts)
    FFailureTexts = std::make_unique<TFailureTexts>();
  return *FFailureTexts;
}

const QString &TRenameItem::ExeptionText() const {
  static const QString LEmpty;
  return FFailureTexts ? FFailureTexts->FExeptionText : LEmpty;
}

const QString &TRenameItem::RenameErrorText() const {
  static const QString LEmpty;
  return FFailureTexts ? FFailureTexts->FRenameErrorText : LEmpty;
}

void TRenameItem::KeepException(const std::exception &AException) noexcept {
  KeepExeptionText([&] { return ExceptionTypeAndMessage(AException); });
}

void TRenameItem::KeepUnknownException() noexcept {
  KeepExeptionText([] { return QStringLiteral("unknown exception"); });
}
