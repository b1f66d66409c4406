#include "convert/batchprogress.h"

#include "base/textvalues.h"
#include "convert/encoderprogress.h"

#include <algorithm>

namespace clipvane {

BatchProgress::BatchProgress(BatchRun* run, const SourceList* list, QObject* parent)
    : QObject(parent), m_run(run), m_list(list) {
    m_clock.setObjectName(QStringLiteral("elapsedClock"));
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        ++m_elapsed;
        emit elapsedTextChanged(elapsedText());
    });
    connect(run, &BatchRun::busyChanged, this, &BatchProgress::onBusy);
    connect(run, &BatchRun::runBegan, this, &BatchProgress::onBegan);
    connect(run, &BatchRun::itemStarted, this, &BatchProgress::onStarted);
    connect(run, &BatchRun::itemPolled, this, &BatchProgress::onPolled);
    connect(run, &BatchRun::itemEncoded, this, [this](SourceList::Id id) {
        if (const auto it = m_items.find(id); it != m_items.end()) {
            it->progress = 100;
            it->reportedSeconds = double(it->clipSeconds);
        }
        showLeastAdvanced();
    });
    connect(run, &BatchRun::itemDone, this, &BatchProgress::onDone);
    connect(run, &BatchRun::itemStopped, this, [this](SourceList::Id id) { m_items.remove(id); });
    connect(run, &BatchRun::pausedChanged, this, &BatchProgress::onPaused);
    connect(run, &BatchRun::runFinished, this, &BatchProgress::onFinished);
}

QString BatchProgress::elapsedText() const {
    return timeText(m_elapsed);
}

void BatchProgress::setVisible(bool visible) {
    m_visible = visible;
    emit panelVisibleChanged(visible);
}

void BatchProgress::setItemBar(int value) {
    if (m_itemBar == value)
        return;
    m_itemBar = value;
    emit itemProgressChanged(value);
}

void BatchProgress::setTotalBar(int value) {
    if (m_totalBar == value)
        return;
    m_totalBar = value;
    emit totalProgressChanged(value);
}

void BatchProgress::onBusy(bool busy) {
    if (!busy)
        return; // the end is onFinished's
    m_items.clear();
    m_completedShare = 0;
    emit captionChanged(tr(kPanelCaption));
    setVisible(true);
}

void BatchProgress::onBegan(qint64 totalClipSeconds) {
    m_elapsed = 0;
    emit elapsedTextChanged(elapsedText());
    m_clock.start();
    m_estimate.begin(totalClipSeconds);
    m_convertedSeconds = 0;
    m_pausedMs = 0;
    m_paused = false;
    m_pauseClock.invalidate();
    m_wallClock.start();
    showTimeLeft();
}

void BatchProgress::onStarted(SourceList::Id id, const QString& input, const QString& output,
                              qint64 clipSeconds) {
    Item item;
    item.clipSeconds = clipSeconds;
    m_items.insert(id, item);
    emit captionChanged(tr(kPanelCaption) + input + tr(" To ") + output);
    showLeastAdvanced();
}

void BatchProgress::onPolled(SourceList::Id id, std::optional<double> reportedSeconds) {
    const auto it = m_items.find(id);
    if (it == m_items.end())
        return;
    Item& item = *it;
    // The encoder's own time= reports against the clip length; where it reports none, an
    // estimate that climbs one step every (clip seconds / 3) polls, held at 83.
    if (reportedSeconds && item.clipSeconds > 0) {
        item.reported = true;
        item.reportedSeconds = std::min(*reportedSeconds, static_cast<double>(item.clipSeconds));
        item.progress =
            std::max(item.progress, itemProgressFor(*reportedSeconds, item.clipSeconds));
    } else if (!item.reported && ++item.pollsSinceStep >= item.clipSeconds / 3) {
        item.pollsSinceStep = 0;
        item.progress = std::min(item.progress + 1, 83);
    }
    showLeastAdvanced();
    showTimeLeft();
}

void BatchProgress::onDone(SourceList::Id id) {
    if (const auto it = m_items.constFind(id); it != m_items.constEnd()) {
        m_convertedSeconds += static_cast<double>(it->clipSeconds);
        m_items.erase(it);
    }
    showTimeLeft();
    if (m_items.isEmpty())
        setItemBar(100);
    else
        showLeastAdvanced();
    // Each item that ran adds its share of the list as it is now, rounded half to even: with
    // three rows the bar reads 33, 66, 99, then 100 at the end.
    m_completedShare =
        std::min(100, static_cast<int>(roundHalfEven(
                          100.0 / std::max(1, m_list ? m_list->count() : 1) + m_completedShare)));
    setTotalBar(m_completedShare);
}

void BatchProgress::onPaused(bool paused) {
    if (paused == m_paused)
        return;
    m_paused = paused;
    if (paused) {
        m_clock.stop();
        m_pauseClock.start();
    } else {
        if (m_pauseClock.isValid())
            m_pausedMs += m_pauseClock.elapsed();
        m_pauseClock.invalidate();
        if (m_run->isRunning())
            m_clock.start();
    }
    if (m_run->isRunning())
        showTimeLeft();
}

void BatchProgress::onFinished(const RunOutcome& outcome) {
    m_clock.stop();
    m_items.clear();
    if (outcome.end == RunOutcome::End::Completed)
        setTotalBar(100);
    setItemBar(0);
    setTotalBar(0);
    m_completedShare = 0;
    setVisible(false);
}

void BatchProgress::showLeastAdvanced() {
    int least = 100;
    for (const Item& item : std::as_const(m_items))
        least = std::min(least, item.progress);
    setItemBar(least);
}

qint64 BatchProgress::runningMs() const {
    if (!m_wallClock.isValid())
        return 0;
    return m_wallClock.elapsed() - m_pausedMs -
           (m_pauseClock.isValid() ? m_pauseClock.elapsed() : 0);
}

void BatchProgress::showTimeLeft() {
    double converted = m_convertedSeconds;
    for (const Item& item : std::as_const(m_items))
        converted += item.reportedSeconds;
    m_estimate.progress(converted, runningMs());
    if (m_paused) {
        emit timeLeftChanged(tr("Paused"));
        return;
    }
    const std::optional<qint64> left = m_estimate.secondsLeft();
    emit timeLeftChanged(left ? tr("Time left: ") + timeText(*left)
                              : tr("Time left: estimating\u2026"));
}

} // namespace clipvane
