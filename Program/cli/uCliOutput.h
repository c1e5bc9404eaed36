// How varnwell-cli writes names: as they are where a terminal shows them
// plainly, else quoted the way GNU ls quotes for a terminal ($'...' with
// escapes); and as JSON Lines, a name that is not UTF-8 given as text with
// U+FFFD and, beside it, its bytes in base64.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The name's bytes as the system holds them.
QByteArray NameBytes(const QString &AName);

// True when the name holds bytes that are not UTF-8.
bool HasForeignBytes(const QString &AName);

// The name for a text line: unchanged, unless it holds a line break, a
// backslash, a control character, " -> " or bytes that are not UTF-8; then
// $'...' with \n, \t, \\, \' and \ooo for other such bytes.
QByteArray QuoteForTerminal(const QString &AName);

// Puts the name under AKey into AObject, and its bytes in base64 under
// AKey + "_bytes" when they are not UTF-8.
void PutName(QJsonObject &AObject, const QString &AKey, const QString &AName);

// One line of JSON Lines, with its line ending.
QByteArray JsonLine(const QJsonObject &AObject);
