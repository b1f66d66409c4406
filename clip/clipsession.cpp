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
    o.start = list.clipStart(o.row);
    o.end = list.clipEnd(o.row);
    o.length = list.length(o.row);
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

QString ClipSession::startText() const {
    return m_start ? clipTimeText(*m_start) : QString();
}

QString ClipSession::endText() const {
    return m_end ? clipTimeText(*m_end) : QString();
}

QString ClipSession::clipText() const {
    // An end before the start shows nothing.
    return m_start && m_end && *m_end >= *m_start ? clipTimeText(*m_end - *m_start) : QString();
}

void ClipSession::load() {
    m_start = m_opening.start;
    m_end = m_opening.end;
    const qint64 shown = m_opening.length.value_or(0);
    m_total = shown / 100;
    // The exact length where the probe found one (the shown one is rounded).
    m_fileLength = m_opening.facts.seconds > 0
                       ? std::max(shown, roundHalfEven(m_opening.facts.seconds * 100))
                       : shown;
    m_endValue = std::clamp<qint64>(m_end.value_or(0) / 100, 0, m_total);
    m_startValue = std::clamp<qint64>(m_start.value_or(0) / 100, 0, m_total);
    m_player.setClock(0, m_total);
    // The total time shows the file's length from the start, whatever plays it.
    m_player.setSourceLength(m_opening.length);
}

QString ClipSession::refusal() {
    return QCoreApplication::translate("ClipSession", kRefusal);
}

QString ClipSession::caption() const {
    return QCoreApplication::translate("ClipSession", "Clip Time  -  ") + m_opening.sourcePath;
}

void ClipSession::startSliderReleased(qint64 seconds) {
    m_startValue = seconds;
    m_start = seconds * 100;
}

void ClipSession::endSliderReleased(qint64 seconds) {
    m_endValue = seconds;
    m_end = seconds * 100;
}

std::optional<qint64> ClipSession::typeTime(Edge edge, const QString& text) {
    const std::optional<qint64> typed = parseClipTime(text);
    if (!typed)
        return std::nullopt;
    const qint64 time = std::clamp<qint64>(*typed, 0, m_fileLength);
    const qint64 slider = std::clamp<qint64>(time / 100, 0, m_total);
    if (edge == Edge::Start) {
        m_start = time;
        m_startValue = slider;
    } else {
        // The file's own end reads as the row shows it, so the clip keeps running to the end.
        m_end = time == m_fileLength && m_opening.length ? *m_opening.length : time;
        m_endValue = slider;
    }
    return time;
}

ClipSession::OkResult ClipSession::ok(SourceList& list) {
    if (!m_start || !m_end || *m_start >= *m_end)
        return OkResult::Refused;
    const bool there = list.contains(m_opening.row);
    if (there)
        list.setClip(m_opening.row, m_start, m_end);
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
