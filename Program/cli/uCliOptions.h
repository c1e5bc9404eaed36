// The command line of varnwell-cli: its options as a value, read from the
// arguments' raw bytes so that paths that are not UTF-8 keep every byte.
#pragma once

#include "uNameRecipe.h"
#include "uPresets.h"
#include "uRenameList.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

struct TCliOptions {
  TNameRecipe FRecipe;
  bool FRecursive = false;    // -R: the files below each folder PATH
  bool FFolders = false;      // -d: rename folders
  bool FIncludeRoot = false;  // with -d: each PATH folder itself too
  bool FNoSubfolders = false; // with -d: not the folders below PATH
  bool FApply = false;        // rename on disk; without it a preview
  bool FUndo = false;         // roll back a batch of the journal
  QString FUndoId;            // that batch; empty for the last one
  bool FHistory = false;      // list the journal's batches
  bool FJson = false;
  bool FQuiet = false;
  bool FHelp = false;
  bool FVersion = false;
  std::vector<QByteArray> FPaths; // as given, the system's bytes
  // The options of the recipe in the order given (long name and value), so
  // that they can be laid over a preset's rules.
  std::vector<std::pair<QByteArray, QByteArray>> FRecipeOptions;
  std::optional<QString> FPreset;       // --preset: the rules start from it
  std::optional<QString> FSavePreset;   // --save-preset: the rules are saved
  std::optional<QString> FDeletePreset; // --delete-preset
  bool FListPresets = false;            // --presets

  // --sort: the order the items are numbered in; --reverse: descending.
  std::optional<TSortKey> FSort;
  bool FReverse = false;
};

struct TCliParse {
  TCliOptions FOptions;
  QString FError; // empty when the command line is usable
};

// Reads the arguments after the program's name. "--" ends the options;
// "--name=MASK" and "--name MASK" are alike, as are "-n MASK" and "-nMASK".
TCliParse ParseCliArguments(const std::vector<QByteArray> &AArguments);

// Takes APreset's rules, mode and order, then the recipe's options of the
// command line over them (--sort with --reverse over the order); an error
// text for a usage error (a file preset with -d, a damaged preset, a pattern
// that is not valid, --reverse alone with a preset without an order).
QString UsePreset(TCliOptions &AOptions, const TPreset &APreset);

// The text of --help.
QString CliUsage();
