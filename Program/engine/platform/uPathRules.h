// Path rules that hold on every system: how a path splits into its folder
// and its name, how a folder and a name are joined, which names are no usable
// single name, which are hidden, and how a name is shown to people. They do
// not speak to the operating system, so a port to another system keeps them
// and swaps only the calls in the system's own folder.
#pragma once

#include <QString>
#include <QStringView>

namespace platform {

// Every rule takes the style whose delimiters it uses, so that a
// test table can check Windows and POSIX examples side by side; the engine
// passes NativePathStyle (the default).

enum class TPathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr TPathStyle NativePathStyle = TPathStyle::Windows;
#else
inline constexpr TPathStyle NativePathStyle = TPathStyle::Posix;
#endif

// The delimiter written between a folder and a name: '\' on Windows, '/' on POSIX.
QChar PathDelimiter(TPathStyle AStyle = NativePathStyle);

// True for a character that ends a path component: '\' and ':' on Windows,
// '/' on POSIX (where '\' and ':' are ordinary characters of a name).
bool IsPathDelimiter(QChar AChar, TPathStyle AStyle = NativePathStyle);

// The part after the last delimiter; all of APath when it has none.
QString ExtractName(const QString &APath, TPathStyle AStyle = NativePathStyle);

// Where that part begins in APath: 0 when APath has no delimiter.
qsizetype ExtractNameStart(QStringView APath, TPathStyle AStyle = NativePathStyle);

// The folder part: APath up to and including its last delimiter, with a final
// delimiter dropped unless the character before it is a delimiter too (or, on
// Windows, a ':'). C:\Photos\a.jpg gives C:\Photos, C:\a.jpg gives C:\,
// /home/a.txt gives /home and /a.txt gives /.
QString ExtractLocation(const QString &APath, TPathStyle AStyle = NativePathStyle);

// ALocation, a delimiter unless ALocation already ends in one, then AName.
QString JoinPath(const QString &ALocation, const QString &AName,
                 TPathStyle AStyle = NativePathStyle);

// True when AName is no usable single name inside a folder: empty, "." or
// "..", or holding a delimiter of the style or a NUL character; for POSIX
// also a name holding a lone surrogate that stands for no byte.
bool IsInvalidEntryName(const QString &AName, TPathStyle AStyle = NativePathStyle);

// True for a name the platform treats as hidden (on POSIX: begins with ".").
bool IsHiddenName(const QString &AName);

// A name or path as people are shown it: the code units that stand for bytes
// which were not UTF-8 in the system's name (lone surrogates) become U+FFFD,
// the replacement character. Everything else stays.
QString DisplayText(const QString &AText);

// True when AText holds a code unit that DisplayText would replace.
bool HasUndecodableUnits(QStringView AText);

} // namespace platform
