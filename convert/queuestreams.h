#pragma once

#include "sources/streamfacts.h"

#include <QJsonObject>

namespace clipvane {

// A row's tracks in the queue file, so that a list kept from an earlier session converts
// every track it would have converted then, with the tracks the user chose:
//
//   "streams": {"video": 0, "videoCodec": "h264", "colour": ["bt709", "bt709", "bt709"],
//               "audio": [{"stream": 1, "codec": "aac", "channels": 6, "layout": "5.1",
//                          "language": "eng", "title": "…", "default": true}, …],
//               "subtitles": [{"stream": 3, "codec": "subrip", "bitmap": false, …,
//                              "file": "/videos/a.de.srt", "characterSet": "CP1252"}, …],
//               "chapters": [{"start": 0, "end": 61.5, "title": "…"}, …],
//               "unreadable": ["/videos/a.en.srt"]}
//   "tracks": {"audio": [0, 2], "subtitles": [], "burnIn": 1}
//
// "streams" is written only for a row whose file was listed, "tracks" only for a row with a
// choice of its own; a value of the wrong kind reads as absent.
QJsonObject streamsRecord(const StreamFacts& facts);
StreamFacts streamsFromRecord(const QJsonObject& record);
QJsonObject tracksRecord(const TrackChoice& choice);
TrackChoice tracksFromRecord(const QJsonObject& record);

} // namespace clipvane
