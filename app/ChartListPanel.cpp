#include "app/ChartListPanel.h"

#include "dwi/DwiText.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <string>

namespace app {

namespace {

// A column beside the step view: wide enough for "COUPLE  SMANIAC  12",
// tall enough for a few rows above the buttons.
constexpr int kHintWidth = 200;
constexpr int kHintHeight = 160;
constexpr int kMinListRows = 3;

constexpr std::string_view kDeleteCaption = "Delete Chart";

// The difficulty is kept as the file's bytes; older files are Latin-1.
std::string ChartName(const chart::SongChart& chart) {
    return std::string(chart::StyleName(chart.style)) + ' ' +
           dwi::TextFromFileBytes(chart.difficulty) + ' ' + std::to_string(chart.rating);
}

} // namespace

ChartListPanel::ChartListPanel(edit::SongEditor& editor, ChartListQuestions questions,
                               QWidget* parent)
    : QWidget(parent), m_editor(editor), m_questions(std::move(questions)),
      m_list(new QListWidget(this)), m_newButton(new QPushButton(tr("New Chart"), this)),
      m_duplicateButton(new QPushButton(tr("Duplicate Chart"), this)),
      m_deleteButton(new QPushButton(tr("Delete Chart"), this)) {
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_list->setMinimumHeight(m_list->fontMetrics().height() * kMinListRows +
                             2 * m_list->frameWidth());

    auto* layout = new QGridLayout(this);
    // The buttons keep the style's margin from the window's edge.
    layout->setContentsMargins(0, 0, style()->pixelMetric(QStyle::PM_LayoutRightMargin),
                               style()->pixelMetric(QStyle::PM_LayoutBottomMargin));
    layout->addWidget(m_list, 0, 0, 1, 2);
    layout->addWidget(m_newButton, 1, 0);
    layout->addWidget(m_duplicateButton, 1, 1);
    layout->addWidget(m_deleteButton, 2, 0);
    layout->setRowStretch(0, 1);

    // Tab reaches them, but a click leaves the keyboard where it was, so
    // Space and the arrows keep entering steps instead of pressing a button
    // or moving through the list.
    m_list->setFocusPolicy(Qt::TabFocus);
    for (QPushButton* button : {m_newButton, m_duplicateButton, m_deleteButton}) {
        button->setFocusPolicy(Qt::TabFocus);
    }

    // currentRowChanged also follows the arrow keys once Tab is in the list.
    connect(m_list, &QListWidget::currentRowChanged, this, &ChartListPanel::OnRowChosen);
    connect(m_newButton, &QPushButton::clicked, this, &ChartListPanel::OnNew);
    connect(m_duplicateButton, &QPushButton::clicked, this, &ChartListPanel::OnDuplicate);
    connect(m_deleteButton, &QPushButton::clicked, this, &ChartListPanel::OnDelete);
    Refresh();
}

QString ChartListPanel::RowText(const chart::SongChart& chart) {
    return QStringLiteral("%1  %2  %3")
        .arg(QString::fromUtf8(chart::StyleName(chart.style)),
             QString::fromStdString(dwi::TextFromFileBytes(chart.difficulty)))
        .arg(chart.rating);
}

QString ChartListPanel::OtherRowText(const chart::SongChart& chart) {
    return QStringLiteral("%1  %2  %3")
        .arg(QString::fromStdString(dwi::TextFromFileBytes(chart.stepsType)),
             QString::fromStdString(dwi::TextFromFileBytes(chart.difficulty)))
        .arg(chart.rating);
}

void ChartListPanel::Refresh() {
    // Setting the rows must not read as the user choosing one.
    const QSignalBlocker blocker(m_list);
    const std::vector<chart::SongChart>& charts = m_editor.Song().charts;
    const std::vector<chart::SongChart>& others = m_editor.Song().otherCharts;
    const int count = static_cast<int>(charts.size());
    const int rows = count + static_cast<int>(others.size());
    while (m_list->count() > rows) {
        delete m_list->takeItem(m_list->count() - 1);
    }
    for (int row = 0; row < rows; ++row) {
        const bool other = row >= count;
        const QString text = other ? OtherRowText(others[static_cast<std::size_t>(row - count)])
                                   : RowText(charts[static_cast<std::size_t>(row)]);
        if (row >= m_list->count()) {
            m_list->addItem(QString());
        }
        // A long difficulty is cut off in the narrow column. Other games'
        // charts are listed greyed: kept and saved, not edited here.
        QListWidgetItem* item = m_list->item(row);
        item->setText(text);
        item->setToolTip(other ? text + QStringLiteral(" (another game's layout: kept as it is)")
                               : text);
        item->setFlags(other ? Qt::NoItemFlags : Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    const std::optional<std::size_t> selected = m_editor.SelectedChart();
    if (selected && *selected < charts.size()) {
        m_list->setCurrentRow(static_cast<int>(*selected));
    } else {
        m_list->setCurrentRow(-1);
        m_list->clearSelection();
    }
    const bool haveSelection = m_editor.Selected() != nullptr;
    m_duplicateButton->setEnabled(haveSelection);
    m_deleteButton->setEnabled(haveSelection);
}

QSize ChartListPanel::sizeHint() const {
    const QSize least = minimumSizeHint();
    return {std::max(least.width(), kHintWidth), std::max(least.height(), kHintHeight)};
}

void ChartListPanel::OnRowChosen(int row) {
    if (row >= 0 && static_cast<std::size_t>(row) < m_editor.Song().charts.size()) {
        m_editor.SelectChart(static_cast<std::size_t>(row));
    }
    Refresh();
}

void ChartListPanel::OnNew() {
    if (!m_questions.chooseNewChart) {
        return;
    }
    if (const std::optional<NewChartChoice> choice = m_questions.chooseNewChart()) {
        m_editor.NewChart(choice->style, choice->difficulty, choice->rating);
    }
    Refresh();
}

void ChartListPanel::OnDuplicate() {
    m_editor.DuplicateChart();
    Refresh();
}

void ChartListPanel::OnDelete() {
    const chart::SongChart* chart = m_editor.Selected();
    if (chart == nullptr) {
        Refresh();
        return;
    }
    const std::string question = "Delete the chart " + ChartName(*chart) + "?";
    if (m_questions.askYesNo && m_questions.askYesNo(question, kDeleteCaption)) {
        m_editor.DeleteChart();
    }
    Refresh();
}

} // namespace app
