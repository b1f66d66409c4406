#include "sources/sourcelist.h"

#include "base/textvalues.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace clipvane {

QString SourceList::caption(int column) {
    static const char* captions[ColumnCount] = {
        QT_TRANSLATE_NOOP("SourceList", "File Name"),  QT_TRANSLATE_NOOP("SourceList", "Start"),
        QT_TRANSLATE_NOOP("SourceList", "End"),        QT_TRANSLATE_NOOP("SourceList", "Size"),
        QT_TRANSLATE_NOOP("SourceList", "Format"),     QT_TRANSLATE_NOOP("SourceList", "Status"),
        QT_TRANSLATE_NOOP("SourceList", "Video Time"), QT_TRANSLATE_NOOP("SourceList", "Profile"),
        QT_TRANSLATE_NOOP("SourceList", "Estimate"),   QT_TRANSLATE_NOOP("SourceList", "Quality")};
    return column >= 0 && column < ColumnCount
               ? QCoreApplication::translate("SourceList", captions[column])
               : QString();
}

bool SourceList::centred(int column) {
    return column == End || column == Size || column == Estimate;
}

SourceList::Id SourceList::append(const QString& path) {
    const int row = count();
    beginInsertRows({}, row, row);
    Item item;
    item.id = m_nextId++;
    item.columns[FileName] = path;
    m_items.push_back(std::move(item));
    endInsertRows();
    return m_items.back().id;
}

int SourceList::rowOf(Id id) const {
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

SourceList::Id SourceList::idAt(int row) const {
    return row >= 0 && row < count() ? m_items[static_cast<size_t>(row)].id : 0;
}

QString SourceList::text(Id id, int column) const {
    return textAt(rowOf(id), column);
}

SourceList::Item* SourceList::find(Id id) {
    const int row = rowOf(id);
    return row < 0 ? nullptr : &m_items[static_cast<size_t>(row)];
}

const SourceList::Item* SourceList::find(Id id) const {
    const int row = rowOf(id);
    return row < 0 ? nullptr : &m_items[static_cast<size_t>(row)];
}

QString SourceList::shown(const Item& item, int column) const {
    const auto time = [](const std::optional<qint64>& t) {
        return t ? clipTimeText(*t) : QString();
    };
    switch (column) {
    case Start:
        return time(item.start);
    case End:
        return time(item.end);
    case VideoTime:
        return time(item.length);
    case Profile:
        return item.profile ? item.profile->shown : m_followedProfile;
    case Quality:
        return item.score ? item.score->text() : QString();
    case Estimate:
        if (item.estimate)
            return item.estimate->text();
        return item.estimatePending ? QStringLiteral("\u2026") : QString();
    default:
        return item.columns[static_cast<size_t>(column)];
    }
}

QString SourceList::textAt(int row, int column) const {
    if (row < 0 || row >= count() || column < 0 || column >= ColumnCount)
        return QString();
    return shown(m_items[static_cast<size_t>(row)], column);
}

void SourceList::setText(Id id, int column, const QString& value) {
    const int row = rowOf(id);
    if (row < 0 || column < 0 || column >= ColumnCount || isDerived(column))
        return;
    m_items[static_cast<size_t>(row)].columns[static_cast<size_t>(column)] = value;
    emit dataChanged(index(row, column), index(row, column));
}

void SourceList::setClip(Id id, std::optional<qint64> start, std::optional<qint64> end) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    Item& item = m_items[static_cast<size_t>(row)];
    item.start = start;
    item.end = end;
    emit dataChanged(index(row, Start), index(row, End));
}

std::optional<qint64> SourceList::clipStart(Id id) const {
    const Item* item = find(id);
    return item ? item->start : std::nullopt;
}

std::optional<qint64> SourceList::clipEnd(Id id) const {
    const Item* item = find(id);
    return item ? item->end : std::nullopt;
}

void SourceList::setLength(Id id, std::optional<qint64> shownLength) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_items[static_cast<size_t>(row)].length = shownLength;
    emit dataChanged(index(row, VideoTime), index(row, VideoTime));
}

std::optional<qint64> SourceList::length(Id id) const {
    const Item* item = find(id);
    return item ? item->length : std::nullopt;
}

void SourceList::setNote(Id id, const QString& note) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_items[static_cast<size_t>(row)].note = note;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::ToolTipRole});
}

QString SourceList::note(Id id) const {
    const int row = rowOf(id);
    return row < 0 ? QString() : m_items[static_cast<size_t>(row)].note;
}

void SourceList::removeAt(int row) {
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_items.erase(m_items.begin() + row);
    endRemoveRows();
}

bool SourceList::moveRow(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to)
        return false;
    // The model's destination is the row the moved one goes before, counted before the move.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    Item moved = std::move(m_items[static_cast<size_t>(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, std::move(moved));
    endMoveRows();
    return true;
}

void SourceList::clearAll() {
    beginResetModel();
    m_items.clear();
    endResetModel();
}

int SourceList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int SourceList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count())
        return {};
    const Item& item = m_items[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return shown(item, index.column());
    case Qt::ToolTipRole: {
        // The file name column may be cut in the middle: its tip names the whole path. Every
        // column's tip names the file's tracks, then the note.
        QStringList tip;
        if (index.column() == FileName)
            tip.append(item.columns[FileName]);
        if (index.column() == Quality && item.score)
            tip.append(item.score->explanation());
        if (index.column() == Estimate && item.estimate)
            tip.append(item.estimate->explanation());
        const QString tracks = streamSummary(item.streams);
        if (!tracks.isEmpty())
            tip.append(tracks);
        if (!item.note.isEmpty())
            tip.append(item.note);
        return tip.isEmpty() ? QVariant() : QVariant(tip.join(QStringLiteral("\n\n")));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (centred(index.column()) ? Qt::AlignHCenter : Qt::AlignLeft));
    default:
        return {};
    }
}

QVariant SourceList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return caption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (centred(section) ? Qt::AlignHCenter : Qt::AlignLeft));
    return {};
}

void SourceList::endProbe() {
    if (m_pendingProbes > 0 && --m_pendingProbes == 0)
        emit probesFinished();
}

OutputScore::Verdict OutputScore::verdict() const {
    if (ssim >= 0.98)
        return Verdict::Excellent;
    return ssim >= 0.95 ? Verdict::Good : Verdict::VisibleLosses;
}

QString OutputScore::text() const {
    return QStringLiteral("SSIM %1").arg(ssim, 0, 'f', 3);
}

QString OutputScore::explanation() const {
    QString words;
    switch (verdict()) {
    case Verdict::Excellent:
        words = QCoreApplication::translate(
            "SourceList", "Excellent: the output is hard to tell from its source.");
        break;
    case Verdict::Good:
        words = QCoreApplication::translate("SourceList",
                                            "Good: small losses, seen only when looking closely.");
        break;
    case Verdict::VisibleLosses:
        words = QCoreApplication::translate("SourceList",
                                            "Visible losses: the output is clearly worse than its "
                                            "source (try a higher bit rate).");
        break;
    }
    const QString psnrText =
        std::isfinite(psnr)
            ? QCoreApplication::translate("SourceList", "%1 dB").arg(psnr, 0, 'f', 1)
            : QCoreApplication::translate("SourceList", "identical frames");
    return words + QLatin1Char('\n') +
           QCoreApplication::translate("SourceList",
                                       "SSIM %1, PSNR %2 (frames sampled from the clip)")
               .arg(ssim, 0, 'f', 4)
               .arg(psnrText);
}

void SourceList::setScore(Id id, const std::optional<OutputScore>& score) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_items[static_cast<size_t>(row)].score = score;
    emit dataChanged(index(row, Quality), index(row, Quality));
}

void SourceList::setEstimate(Id id, const std::optional<SizeEstimate>& estimate, bool pending) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    Item& item = m_items[static_cast<size_t>(row)];
    if (item.estimate == estimate && item.estimatePending == pending)
        return;
    item.estimate = estimate;
    item.estimatePending = pending && !estimate;
    emit dataChanged(index(row, Estimate), index(row, Estimate));
}

std::optional<SizeEstimate> SourceList::estimate(Id id) const {
    const int row = rowOf(id);
    return row >= 0 ? m_items[static_cast<size_t>(row)].estimate : std::nullopt;
}

QString sizeText(double bytes) {
    const auto unit = [](double value, const char* name) {
        // Three figures: "8.42 MB", "41.3 MB", "830 MB".
        const int decimals = value < 10 ? 2 : value < 100 ? 1 : 0;
        return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(name));
    };
    if (bytes < 1e6)
        return unit(std::max(0.0, bytes) / 1e3, "kB");
    if (bytes < 1e9)
        return unit(bytes / 1e6, "MB");
    return unit(bytes / 1e9, "GB");
}

QString SizeEstimate::text() const {
    // A sampled figure is good to a tenth or so: it says so with fewer figures.
    if (basis == Basis::Samples) {
        const double b = static_cast<double>(bytes);
        const double unitBytes = b < 1e6 ? 1e3 : b < 1e9 ? 1e6 : 1e9;
        const char* name = b < 1e6 ? "kB" : b < 1e9 ? "MB" : "GB";
        const double value = b / unitBytes;
        return QStringLiteral("\u2248 %1 %2")
            .arg(value, 0, 'f', value < 10 ? 1 : 0)
            .arg(QLatin1String(name));
    }
    return sizeText(static_cast<double>(bytes));
}

QString SizeEstimate::explanation() const {
    switch (basis) {
    case Basis::Rates:
        return QCoreApplication::translate(
                   "SourceList", "Expected size %1: from the bit rates and the clip's length.")
            .arg(sizeText(static_cast<double>(bytes)));
    case Basis::Target:
        return QCoreApplication::translate(
                   "SourceList", "Target Size %1: the video rate is chosen to fill it, in two "
                                 "passes.")
            .arg(sizeText(static_cast<double>(bytes)));
    case Basis::Samples:
        break;
    }
    return QCoreApplication::translate(
               "SourceList", "Expected size about %1: measured on short sample encodes at three "
                             "points of the clip with its options. The real size may differ by "
                             "a tenth or more.")
        .arg(sizeText(static_cast<double>(bytes)));
}

std::optional<OutputScore> SourceList::score(Id id) const {
    const int row = rowOf(id);
    return row >= 0 ? m_items[static_cast<size_t>(row)].score : std::nullopt;
}

void SourceList::setMediaFacts(Id id, const MediaFacts& facts) {
    const int row = rowOf(id);
    if (row >= 0)
        m_items[static_cast<size_t>(row)].facts = facts;
}

MediaFacts SourceList::mediaFacts(Id id) const {
    const int row = rowOf(id);
    return row >= 0 ? m_items[static_cast<size_t>(row)].facts : MediaFacts();
}

void SourceList::setLogPath(Id id, const QString& path) {
    const int row = rowOf(id);
    if (row >= 0)
        m_items[static_cast<size_t>(row)].logPath = path;
}

QString SourceList::logPath(Id id) const {
    const int row = rowOf(id);
    return row >= 0 ? m_items[static_cast<size_t>(row)].logPath : QString();
}

void SourceList::setPictureAspect(Id id, double aspect) {
    const int row = rowOf(id);
    if (row >= 0)
        m_items[static_cast<size_t>(row)].pictureAspect = aspect;
}

double SourceList::pictureAspect(Id id) const {
    const int row = rowOf(id);
    return row >= 0 ? m_items[static_cast<size_t>(row)].pictureAspect : 0;
}

void SourceList::setSoundless(Id id, bool soundless) {
    const int row = rowOf(id);
    if (row >= 0)
        m_items[static_cast<size_t>(row)].soundless = soundless;
}

bool SourceList::isSoundless(Id id) const {
    const int row = rowOf(id);
    return row >= 0 && m_items[static_cast<size_t>(row)].soundless;
}

void SourceList::setOutputPath(Id id, const QString& path) {
    if (Item* item = find(id))
        item->output = path;
}

QString SourceList::outputPath(Id id) const {
    const Item* item = find(id);
    return item ? item->output : QString();
}

void SourceList::setRowProfile(Id id, const std::optional<RowProfile>& profile) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_items[static_cast<size_t>(row)].profile = profile;
    emit dataChanged(index(row, Profile), index(row, Profile));
}

std::optional<RowProfile> SourceList::rowProfile(Id id) const {
    const Item* item = find(id);
    return item ? item->profile : std::nullopt;
}

void SourceList::setFollowedProfile(const QString& shown) {
    if (shown == m_followedProfile)
        return;
    m_followedProfile = shown;
    if (count() > 0)
        emit dataChanged(index(0, Profile), index(count() - 1, Profile));
}

SourceList::Item SourceList::itemAt(int row) const {
    return row >= 0 && row < count() ? m_items[static_cast<size_t>(row)] : Item();
}

SourceList::Id SourceList::insertItem(int row, Item item) {
    if (item.id == 0)
        item.id = m_nextId++;
    else if (contains(item.id))
        return 0;
    m_nextId = std::max(m_nextId, item.id + 1);
    row = std::clamp(row, 0, count());
    beginInsertRows({}, row, row);
    m_items.insert(m_items.begin() + row, std::move(item));
    endInsertRows();
    return m_items[static_cast<size_t>(row)].id;
}

} // namespace clipvane

namespace clipvane {

void SourceList::setStreamFacts(Id id, const StreamFacts& facts) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_items[static_cast<size_t>(row)].streams = facts;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::ToolTipRole});
}

StreamFacts SourceList::streamFacts(Id id) const {
    const Item* item = find(id);
    return item ? item->streams : StreamFacts();
}

void SourceList::setTrackChoice(Id id, const TrackChoice& choice) {
    const int row = rowOf(id);
    if (row < 0 || m_items[static_cast<size_t>(row)].tracks == choice)
        return;
    m_items[static_cast<size_t>(row)].tracks = choice;
    // Nothing shown changes, but whoever keeps the list must hear of it.
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::UserRole});
}

TrackChoice SourceList::trackChoice(Id id) const {
    const Item* item = find(id);
    return item ? item->tracks : TrackChoice();
}

} // namespace clipvane
