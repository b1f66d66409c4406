#pragma once

#include <QString>
#include <QStringList>

namespace clipvane {

// Tool commands are composed as one text in the Windows command-line form (blanks separate,
// double quotes group, backslashes escape only before a quote) and split back into an
// argument list before the tool is started; no shell ever sees the text.

// Splits command-line text into arguments by the CommandLineToArgvW rules. Every argument,
// the program included, follows the same rules.
QStringList splitCommandLine(const QString& text);

// Quotes one argument so that splitCommandLine gives it back unchanged, whatever it holds.
// Ordinary text is simply enclosed in double quotes.
QString quoteArgument(const QString& argument);

// Like quoteArgument, but leaves an argument without blanks or quotes as it is.
QString quoteIfNeeded(const QString& argument);

} // namespace clipvane
