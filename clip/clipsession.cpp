#include "clip/clipsession.h"

#include "base/textvalues.h"

#include <QCoreApplication>
#include <algorithm>

namespace clipvane {

std::optional<ClipOpening> ClipOpening::fromSelectedRow(const SourceList& list, int selectedRow) {
    if (list.count() == 0 || selectedRow < 0 || selectedRow >= list.count())
        return std::nullopt;
    ClipOpening o;
    o.row = list.idAt(selectedRow);
    o.sourcePath = list.textAt(selectedRow, SourceList::FileName);
    o.startText = list.textAt(selectedRow, SourceList::Start);
    o.endText = list.textAt(selectedRow, SourceList::End);
    o.lengthText = list.textAt(selectedRow, SourceList::VideoTime);
    o.facts = list.mediaFacts(o.row);
    o.pictureAspect = list.pictureAspect(o.row);
    return o;
}

ClipSession::ClipSession(const ClipOpening& opening, PlayerState* state, ToolKeys* keys,
                         QObject* parent)
    : QObject(parent), m_opening(opening),
      m_player(state, keys, PlayerOptionTexts::clipDialog(), this) {
    m_player.setKeepsOwnPath(true);
    m_player.setSourcePath(opening.sourcePath);
    m_player.setFrameRate(opening.facts.frameRate);
}

void ClipSession::updateClipText() {
    // The clip is measured as times, of any length; an end before the start shows nothing.
    const std::optional<qint64> start = parseClipTime(m_start);
    const std::optional<qint64> end = parseClipTime(m_end);
    m_clip = start && end && *end >= *start ? clipTimeText(*end - *start) : QString();
}

void ClipSession::load() {
    m_start = m_opening.startText;
    m_end = m_opening.endText;
    updateClipText();
    const qint64 shown = parseClipTime(m_opening.lengthText).value_or(0);
    m_total = shown / 100;
    // The exact length where the probe found one (the shown one is rounded).
    m_fileLength = m_opening.facts.seconds > 0
                       ? std::max(shown, roundHalfEven(m_opening.facts.seconds * 100))
                       : shown;
    m_endValue = std::clamp<qint64>(parseClipTime(m_end).value_or(0) / 100, 0, m_total);
    m_startValue = std::clamp<qint64>(parseClipTime(m_start).value_or(0) / 100, 0, m_total);
    m_player.setClock(0, m_total);
}

QString ClipSession::caption() const {
    return QCoreApplication::translate("ClipSession", "Clip Time  -  ") + m_opening.sourcePath;
}

void ClipSession::startSliderReleased(qint64 seconds) {
    m_startValue = seconds;
    m_start = timeText(seconds);
    updateClipText();
}

void ClipSession::endSliderReleased(qint64 seconds) {
    m_endValue = seconds;
    m_end = timeText(seconds);
    updateClipText();
}

std::optional<qint64> ClipSession::typeTime(Edge edge, const QString& text) {
    const std::optional<qint64> typed = parseClipTime(text);
    if (!typed)
        return std::nullopt;
    const qint64 time = std::clamp<qint64>(*typed, 0, m_fileLength);
    const qint64 slider = std::clamp<qint64>(time / 100, 0, m_total);
    if (edge == Edge::Start) {
        m_start = clipTimeText(time);
        m_startValue = slider;
    } else {
        // The file's own end reads as the row shows it, so the clip keeps running to the end.
        m_end = time == m_fileLength && !m_opening.lengthText.isEmpty() ? m_opening.lengthText
                                                                        : clipTimeText(time);
        m_endValue = slider;
    }
    updateClipText();
    return time;
}

ClipSession::OkResult ClipSession::ok(SourceList& list) {
    // Compared as times: 9:00:00 comes before 10:00:00.
    const std::optional<qint64> start = parseClipTime(m_start);
    const std::optional<qint64> end = parseClipTime(m_end);
    if (!start || !end || *start >= *end)
        return OkResult::Refused;
    const bool there = list.contains(m_opening.row);
    if (there) {
        list.setText(m_opening.row, SourceList::Start, m_start);
        list.setText(m_opening.row, SourceList::End, m_end);
    }
    unload();
    return there ? OkResult::Written : OkResult::RowGone;
}

void ClipSession::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_player.quit();
}

} // namespace clipvane
