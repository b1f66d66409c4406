#include "process/commandline.h"

namespace clipvane {

QStringList splitCommandLine(const QString& text) {
    QStringList args;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (!inQuotes && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inArgument) {
                args.append(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('\\')) {
            qsizetype count = 0;
            while (i < n && text.at(i) == QLatin1Char('\\')) {
                ++count;
                ++i;
            }
            if (i < n && text.at(i) == QLatin1Char('"')) {
                current += QString(count / 2, QLatin1Char('\\'));
                if (count % 2 == 1) {
                    current += QLatin1Char('"');
                    ++i;
                }
                // An even count leaves the quote to be handled as a delimiter below.
            } else {
                current += QString(count, QLatin1Char('\\'));
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (inQuotes && i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                current += QLatin1Char('"'); // "" inside quotes is a literal quote
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument)
        args.append(current);
    return args;
}

QString quoteArgument(const QString& argument) {
    QString out = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"')) {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            out += QString(backslashes * 2 + 1, QLatin1Char('\\'));
            out += QLatin1Char('"');
        } else {
            out += QString(backslashes, QLatin1Char('\\'));
            out += c;
        }
        backslashes = 0;
    }
    // Backslashes before the closing quote are doubled so they stay literal.
    out += QString(backslashes * 2, QLatin1Char('\\'));
    out += QLatin1Char('"');
    return out;
}

QString quoteIfNeeded(const QString& argument) {
    if (argument.isEmpty())
        return quoteArgument(argument);
    for (const QChar c : argument) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('"'))
            return quoteArgument(argument);
    }
    return argument;
}

ToolCommand& ToolCommand::add(const QString& argument, Quote quote, const QString& gap) {
    if (!m_arguments.isEmpty())
        m_text += gap;
    m_text += quote == Quote::Always ? quoteArgument(argument) : quoteIfNeeded(argument);
    m_arguments.append(argument);
    return *this;
}

ToolCommand& ToolCommand::add(const QStringList& arguments) {
    for (const QString& argument : arguments)
        add(argument);
    return *this;
}

ToolCommand& ToolCommand::trail(const QString& blanks) {
    m_text += blanks;
    return *this;
}

} // namespace clipvane
