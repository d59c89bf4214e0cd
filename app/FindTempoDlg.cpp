#include "app/FindTempoDlg.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

namespace {

// The worker's progress is looked at this often; the bar needs no more.
constexpr int kPollMs = 50;

} // namespace

FindTempoDlg::FindTempoDlg(const std::string& songPath, float bpm, float gapSeconds,
                           FindTempoHooks hooks, QWidget* parent)
    : QDialog(parent), m_hooks(std::move(hooks)), m_originalBpm(bpm),
      m_originalGapSeconds(gapSeconds), m_finder(std::make_unique<audio::TimingFinder>(songPath)),
      m_status(new QLabel(this)), m_progress(new QProgressBar(this)), m_list(new QTreeWidget(this)),
      m_listenButton(new QPushButton(tr("Listen"), this)),
      m_applyButton(new QPushButton(tr("Apply"), this)),
      m_closeButton(new QPushButton(tr("Cancel"), this)), m_pollTimer(new QTimer(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Find Tempo and First Beat"));
    m_status->setText(tr("Finding the tempo and the first beat of %1...")
                          .arg(QFileInfo(QString::fromStdString(songPath)).fileName()));
    m_status->setWordWrap(true);
    m_progress->setRange(0, 100);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("BPM"), tr("Gap"), tr("Confidence")});
    m_list->setRootIsDecorated(false);
    m_list->setEnabled(false);
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
    // A timing map's row says more than a BPM: its column takes what it needs.
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_listenButton->setEnabled(false);
    m_applyButton->setEnabled(false);
    m_applyButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_listenButton);
    buttons->addStretch();
    buttons->addWidget(m_applyButton);
    buttons->addWidget(m_closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(360, 280);

    connect(m_listenButton, &QPushButton::clicked, this, &FindTempoDlg::Listen);
    connect(m_applyButton, &QPushButton::clicked, this, &FindTempoDlg::Apply);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &FindTempoDlg::Listen);
    connect(m_pollTimer, &QTimer::timeout, this, &FindTempoDlg::Poll);
    m_pollTimer->start(kPollMs);
}

FindTempoDlg::~FindTempoDlg() = default;

void FindTempoDlg::Poll() {
    if (!m_finder) {
        return;
    }
    m_progress->setValue(m_finder->ProgressPercent());
    if (!m_finder->Finished()) {
        return;
    }
    m_pollTimer->stop();
    ShowOutcome(m_finder->Outcome());
    m_finder.reset();
}

void FindTempoDlg::ShowOutcome(const audio::Result<audio::TimingSearch>& outcome) {
    m_closeButton->setText(tr("Close"));
    if (!outcome) {
        m_status->setText(QString::fromStdString(outcome.error().message));
        return;
    }
    m_candidates = outcome.value().candidates;
    const std::optional<audio::TimingMapFit>& map = outcome.value().map;
    if (map && map->needed && m_hooks.setTimingMap) {
        m_map = map;
    }
    // A tempo that moves has no steady beat of one tempo, but its map has.
    if (m_candidates.empty() && !m_map) {
        m_status->setText(tr("No steady beat found"));
        return;
    }
    m_progress->setValue(100);
    m_status->setText(m_map
                          ? tr("The tempo moves: the timing map keeps to it. Listen to a row, "
                               "then apply the one that fits.")
                          : tr("Best first. Listen to a candidate, then apply the one that fits."));
    auto addRow = [this](const QString& bpm, double gapSeconds, double confidence) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, bpm);
        item->setText(1, QString::asprintf("%.3f", gapSeconds));
        item->setText(2, QString::asprintf("%.0f %%", 100 * confidence));
        for (int column = 0; column < 3; ++column) {
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
        return item;
    };
    if (m_map) {
        // "128.00 + 1 change, 2 stops": where the map starts and what it adds.
        const auto count = [](std::size_t n, const char* one, const char* many) {
            return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
        };
        QString text = QString::asprintf("%.2f + ", m_map->bpm) +
                       count(m_map->changes.size(), "change", "changes");
        if (!m_map->stops.empty()) {
            text += QStringLiteral(", ") + count(m_map->stops.size(), "stop", "stops");
        }
        QTreeWidgetItem* item = addRow(text, m_map->gapSeconds, m_map->confidence);
        item->setToolTip(0, tr("A timing map: starts at %1 BPM, then changes tempo with the "
                               "music")
                                .arg(m_map->bpm, 0, 'f', 2));
    }
    for (const audio::TempoCandidate& candidate : m_candidates) {
        addRow(QString::asprintf("%.2f", candidate.bpm), candidate.gapSeconds,
               candidate.confidence);
    }
    m_list->setEnabled(true);
    m_listenButton->setEnabled(true);
    m_applyButton->setEnabled(true);
    SelectCandidate(0);
    m_list->setFocus();
}

void FindTempoDlg::SelectCandidate(int row) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row)) {
        m_list->setCurrentItem(item);
    }
}

bool FindTempoDlg::MapSelected() const {
    return m_map && m_list->indexOfTopLevelItem(m_list->currentItem()) == 0;
}

const audio::TempoCandidate* FindTempoDlg::Selected() const {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem()) - (m_map ? 1 : 0);
    if (row < 0 || row >= static_cast<int>(m_candidates.size())) {
        return nullptr;
    }
    return &m_candidates[static_cast<std::size_t>(row)];
}

bool FindTempoDlg::SetSelectedTiming() {
    if (MapSelected()) {
        m_hooks.setTimingMap(*m_map);
        return true;
    }
    const audio::TempoCandidate* candidate = Selected();
    if (!candidate) {
        return false;
    }
    m_hooks.setTiming(static_cast<float>(candidate->bpm),
                      static_cast<float>(candidate->gapSeconds));
    return true;
}

void FindTempoDlg::Listen() {
    if (!SetSelectedTiming()) {
        return;
    }
    m_timingChanged = true;
    m_hooks.listenFrom(MapSelected() ? m_map->gapSeconds : Selected()->gapSeconds);
}

void FindTempoDlg::Apply() {
    if (!SetSelectedTiming()) {
        return;
    }
    m_timingChanged = false; // kept
    accept();
}

void FindTempoDlg::done(int result) {
    if (m_finder) {
        m_finder->Cancel();
    }
    if (m_timingChanged) {
        m_hooks.stopListening();
        m_hooks.setTiming(m_originalBpm, m_originalGapSeconds);
        m_timingChanged = false;
    }
    QDialog::done(result);
}

} // namespace app
