#include "app/tracksdialog.h"

#include "app/skin.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace clipvane {

TracksDialog::TracksDialog(Kind kind, const QString& inputPath, const StreamFacts& facts,
                           const TrackChoice& choice, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_choice(choice), m_list(new QListWidget(this)) {
    const bool audio = kind == Kind::Audio;
    setWindowTitle((audio ? tr("Audio Tracks") : tr("Subtitles")) + QStringLiteral("  -  ") +
                   QFileInfo(inputPath).fileName());
    QStringList texts;
    if (audio) {
        for (const AudioTrack& t : facts.audio)
            texts.append(audioTrackText(t) + (t.isDefault ? tr(" (default)") : QString()));
    } else {
        for (const SubtitleTrack& t : facts.subtitles)
            texts.append(subtitleTrackText(t) + (t.isDefault ? tr(" (default)") : QString()));
    }
    m_count = texts.size();
    const QList<int> kept = keptTracks(audio ? choice.audio : choice.subtitles, m_count);
    for (int i = 0; i < texts.size(); ++i) {
        auto* item = new QListWidgetItem(texts.at(i), m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(kept.contains(i) ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setObjectName(QStringLiteral("trackList"));
    auto* label = new QLabel(
        audio ? tr("Keep these sound tracks in the output (the default track goes first; MP3 "
                   "and M4A files keep the first one only):")
              : tr("Keep these subtitles in the output (where its format can hold them):"),
        this);
    label->setWordWrap(true);
    label->setBuddy(m_list);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    if (!audio) {
        m_burnIn = new QComboBox(this);
        m_burnIn->setObjectName(QStringLiteral("burnInCombo"));
        m_burnIn->addItem(tr("The default track, else the first"), -1);
        for (int i = 0; i < texts.size(); ++i)
            m_burnIn->addItem(texts.at(i), i);
        m_burnIn->setCurrentIndex(std::max(0, m_burnIn->findData(choice.burnIn)));
        auto* burnLabel = new QLabel(
            tr("Track drawn into the picture when Burn In Subtitles is Chosen Track:"), this);
        burnLabel->setWordWrap(true);
        burnLabel->setBuddy(m_burnIn);
        layout->addWidget(burnLabel);
        layout->addWidget(m_burnIn);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 320);
    applySkin(this);
}

TrackChoice TracksDialog::choice() const {
    TrackChoice out = m_choice;
    QList<int> ticked;
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->checkState() == Qt::Checked)
            ticked.append(i);
    }
    if (m_kind == Kind::Audio) {
        out.audio = choiceOf(ticked, m_count);
    } else {
        out.subtitles = choiceOf(ticked, m_count);
        out.burnIn = m_burnIn ? m_burnIn->currentData().toInt() : -1;
    }
    return out;
}

} // namespace clipvane
