// Splits arbitrary text as a command line, and checks that any argument list, quoted and
// joined with blanks, splits back into itself. The input bytes are Latin-1 text; each line
// is one argument, so empty arguments, blanks, quotes, backslashes and NULs all occur.
#include "process/commandline.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void expectSame(const QStringList& got, const QStringList& want, const QString& text) {
    if (got == want)
        return;
    std::fprintf(stderr, "command line [%s] splits into %lld arguments, expected %lld\n",
                 qPrintable(text), static_cast<long long>(got.size()),
                 static_cast<long long>(want.size()));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)clipvane::splitCommandLine(text);

    const QStringList args = text.split(QLatin1Char('\n'));
    QStringList quoted, quotedIfNeeded;
    for (const QString& arg : args) {
        quoted.append(clipvane::quoteArgument(arg));
        quotedIfNeeded.append(clipvane::quoteIfNeeded(arg));
    }
    const QString line = quoted.join(QLatin1Char(' '));
    expectSame(clipvane::splitCommandLine(line), args, line);
    const QString lineIfNeeded = quotedIfNeeded.join(QLatin1Char(' '));
    expectSame(clipvane::splitCommandLine(lineIfNeeded), args, lineIfNeeded);
    return 0;
}
