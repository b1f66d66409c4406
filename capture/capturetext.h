#pragma once

#include "capture/capturecomponent.h"

#include <QLocale>
#include <QString>

namespace clipvane {

// The capture window's statistics line, e.g. "262 frames (3 dropped) - 10.50 sec.", the
// seconds with two decimals and the locale's decimal separator, never grouped.
QString statisticsLine(const CaptureStatistics& statistics, const QLocale& locale = QLocale());

// A picture size and a rate as the pickers show them: "1280 x 720", "29.97 fps".
QString sizeText(const QSize& size);
QString rateText(const FrameRate& rate);

// The statistics line when the machine has no capture device at all.
QString noDeviceText();

// Where a capture goes unless the user picks another file: dvcapture.avi in the user's videos
// folder, or in the home folder when there is no videos folder.
QString defaultCaptureFile();

// path itself when no such file exists; otherwise the first free name of the form
// "name (2).ext", "name (3).ext", … in the same folder ("name (2).avi" goes on with (3)).
QString nextFreeFileName(const QString& path);

} // namespace clipvane
