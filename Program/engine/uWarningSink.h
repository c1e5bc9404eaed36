// The engine's one way to show a warning to the user. The GUI points it at its
// message dialog; tests point it at a recorder. Without a sink a warning goes
// to the debug output.
#pragma once

#include <QString>

#include <functional>

using TWarningSink = std::function<void(const QString &AText)>;

// Replaces the sink; returns the previous one.
TWarningSink SetWarningSink(TWarningSink ASink);

// Shows AText through the current sink.
void ShowEngineWarning(const QString &AText);
