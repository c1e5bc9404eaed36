// File-system utilities of the engine: the size of a file, the size of a
// whole folder tree, and a size written as text.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// The size in bytes of the entry at APath (links followed); -1 when there is
// none. A folder's own entry counts 0 bytes. The file is not opened.
int64_t GetFileSizeByName(const QString &APath);

// The sum of the sizes of every entry below AFolder that is not a folder,
// hidden ones included, at every depth, as `du -P` counts them: links are
// not followed (a link counts its own size, never its target's), and a file
// with several hard links counts once. A folder that cannot be listed adds
// 0. "/data" and "/data/" give the same sum. AStop, asked between entries,
// ends the walk early: the result is then -1.
int64_t GetFolderSize(const QString &AFolder, const std::atomic<bool> *AStop = nullptr);

// ASize as "1023 B", "1 KB" (whole kilobytes, truncated), "1.50 MB" or
// "5.00 GB" (two decimals with the decimal separator of the user's locale).
QString SizeToStr(int64_t ASize);

// A name or path as people are shown it: the bytes of a system name that were
// not UTF-8 show as U+FFFD. Grids, balloons and the log show names this way;
// the items keep the real ones.
QString DisplayText(const QString &AText);

// A path that came through Qt's decoding (a file dialog, QFileInfo, decoded
// command-line text, a URL) may have lost bytes that were not UTF-8: they
// became U+FFFD. Finds the entry it stands for in the folders' listings and
// puts its lossless path into APath. False when several entries (twins such
// as "bad\xff.txt" and "bad\xef\xbf\xbd.txt") share that spelling: the path
// cannot be told apart and must not be taken. A path that names nothing stays
// as it is.
bool ResolveChosenPath(QString &APath);

// What a path names: nothing, a folder (links followed) or another entry.
enum class TPathKind { Missing, File, Folder };
TPathKind PathKindOf(const QString &APath);
// Why the entry at APath cannot be reached although it may be there (a folder
// on its way that may not be searched: "Permission denied"); empty when it
// is there or simply is not.
QString PathUnreachableReason(const QString &APath);

// A path as the system's bytes (a command-line argument), decoded losslessly;
// a relative one is taken from the current folder. "." and ".." steps and
// doubled delimiters are resolved as text. Empty for empty bytes.
QString PathFromArgument(const QByteArray &AArgument);

// The local path a "file:" address names (file:///a/b or
// file://localhost/a/b), its percent-encoded bytes decoded losslessly; empty
// for another scheme or another host.
QString PathFromFileUri(const QByteArray &AUri);
