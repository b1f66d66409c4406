#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace clipvane {

// The text without the space characters at its ends (tabs and other blanks stay).
QString trimSpaces(const QString& text);

// The leading number of a text, as the program reads numbers from settings: leading blanks
// are skipped, then an optional sign, digits and one decimal point are taken; empty or
// non-numeric text gives 0.
double leadingNumber(const QString& text);

// The whole text as a number (surrounding blanks allowed), or nothing when it is not one.
std::optional<double> strictNumber(const QString& text);

// Nearest whole number, halves to even. Never undefined: NaN gives 0, and values beyond
// the range of qint64 (infinities included) saturate to its largest or smallest value.
qint64 roundHalfEven(double value);

// H:MM:SS with hours unpadded and without limit; negative counts show as 0:00:00.
QString timeText(qint64 seconds);

// Seconds of an H:MM:SS (or H:MM) time text, or nothing when the text is not a time.
std::optional<qint64> parseTimeText(const QString& text);

// Clip times are kept to the hundredth of a second.
// H:MM:SS for a whole second, H:MM:SS.cc otherwise; negative counts show as 0:00:00.
QString clipTimeText(qint64 centiseconds);
// Hundredths of an H:MM:SS, H:MM:SS.c or H:MM:SS.cc time text (or H:MM), or nothing when the
// text is not a time.
std::optional<qint64> parseClipTime(const QString& text);
// Seconds as the encoder takes them: "12" for whole seconds, "1.5", "1.75" otherwise.
QString secondsText(qint64 centiseconds);

// How a file's length shows (End and Video Time), in hundredths: to the nearest second (10.04 s
// shows as 10 s), to the hundredth when it is shorter than half a second; nothing for anything
// that is not a positive number (NaN included). At most 10^12 seconds (infinity included). The
// encoder takes an untrimmed row's exact length, so the rounding never cuts a frame.
std::optional<qint64> shownLength(double seconds);
// shownLength as time text; empty when there is none.
QString lengthText(double seconds);

// Text written in Windows-1252, the 8-bit code page of Western Windows systems: Latin-1 with
// typographic characters in 0x80-0x9F (the five bytes it leaves free read as the control
// characters of those codes, as Windows reads them).
QString fromWindows1252(QByteArrayView bytes);

} // namespace clipvane
