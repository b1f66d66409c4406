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

// A tool's command as the argument list it is started from, which also reads as command-line
// text for the log and for people: each argument quoted where it must be (or always), set off
// by the blanks its recorded form has. Splitting the text gives the arguments back.
class ToolCommand {
public:
    enum class Quote { IfNeeded, Always };

    // The program, then the arguments in order. gap is the text before the argument (the
    // first has none); the text of a later gap follows whatever trails the one before.
    ToolCommand& add(const QString& argument, Quote quote = Quote::IfNeeded,
                     const QString& gap = QStringLiteral(" "));
    ToolCommand& add(const QStringList& arguments);
    // Blanks after the last argument so far (before the next gap).
    ToolCommand& trail(const QString& blanks);

    const QStringList& arguments() const { return m_arguments; }
    QString text() const { return m_text; }
    bool isEmpty() const { return m_arguments.isEmpty(); }

private:
    QStringList m_arguments;
    QString m_text;
};

} // namespace clipvane
