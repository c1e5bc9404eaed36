// The look of the window and its dialogs: one style sheet.
#pragma once

#include <QString>

// The style sheet of the main window; its dialogs inherit it.
QString MainStyleSheet();
// The style sheet of the message dialog on its own (it is also shown without
// a main window).
QString MessageFormStyleSheet();
