#include "uResourceString.h"

namespace rs {

QString FormatMessage(const QString &AFormat, std::initializer_list<QVariant> AArgs) {
  QString LResult;
  LResult.reserve(AFormat.size() + 16);
  auto LArg = AArgs.begin();
  for (qsizetype i = 0; i < AFormat.size(); ++i) {
    const QChar LChar = AFormat.at(i);
    if (LChar != QLatin1Char('%') || i + 1 >= AFormat.size()) {
      LResult.append(LChar);
      continue;
    }
    const QChar LDirective = AFormat.at(i + 1);
    if (LDirective == QLatin1Char('%')) {
      LResult.append(QLatin1Char('%'));
      ++i;
    } else if ((LDirective == QLatin1Char('d') || LDirective == QLatin1Char('s')) &&
               LArg != AArgs.end()) {
      LResult.append(LDirective == QLatin1Char('d') ? QString::number(LArg->toLongLong())
                                                    : LArg->toString());
      ++LArg;
      ++i;
    } else {
      LResult.append(LChar);
    }
  }
  return LResult;
}

} // namespace rs
