#include "app/NewChartDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <algorithm>

namespace app {

namespace {

constexpr chart::ChartStyle kStyles[] = {chart::ChartStyle::Single, chart::ChartStyle::Double,
                                         chart::ChartStyle::Couple, chart::ChartStyle::Solo};

// The names files use most, then the rest of the window's Difficulty list.
constexpr const char* kDifficulties[] = {"BEGINNER", "BASIC", "ANOTHER",  "MANIAC", "SMANIAC",
                                         "LIGHT",    "TRICK", "STANDARD", "SSR",    "HEAVY"};

constexpr int kMinRating = 1;
constexpr int kMaxRating = 99;

// A chart record cannot hold ":" or ";" (they end the field), "//" (starts a
// comment) or a line break inside its difficulty field.
const QRegularExpression& FileSafeText() {
    static const QRegularExpression pattern(QStringLiteral(R"((?:[^:;/\x00-\x1f]|/(?!/))*)"));
    return pattern;
}

} // namespace

NewChartDialog::NewChartDialog(const NewChartChoice& start, QWidget* parent)
    : QDialog(parent), m_style(new QComboBox(this)), m_difficulty(new QComboBox(this)),
      m_rating(new QSpinBox(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(tr("New Chart"));
    for (chart::ChartStyle style : kStyles) {
        m_style->addItem(QString::fromUtf8(chart::StyleName(style)), static_cast<int>(style));
    }
    m_style->setCurrentIndex(m_style->findData(static_cast<int>(start.style)));

    m_difficulty->setEditable(true);
    m_difficulty->setInsertPolicy(QComboBox::NoInsert);
    for (const char* name : kDifficulties) {
        m_difficulty->addItem(QString::fromLatin1(name));
    }
    m_difficulty->setValidator(new QRegularExpressionValidator(FileSafeText(), m_difficulty));
    m_difficulty->setCurrentText(QString::fromStdString(start.difficulty));

    m_rating->setRange(kMinRating, kMaxRating);
    m_rating->setValue(std::clamp(static_cast<int>(start.rating), kMinRating, kMaxRating));

    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Style"), m_style);
    layout->addRow(tr("Difficulty"), m_difficulty);
    layout->addRow(tr("Foot Rating"), m_rating);
    layout->addRow(m_buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_difficulty, &QComboBox::currentTextChanged, this, &NewChartDialog::UpdateOk);
    UpdateOk();
}

NewChartChoice NewChartDialog::Choice() const {
    NewChartChoice choice;
    choice.style = static_cast<chart::ChartStyle>(m_style->currentData().toInt());
    choice.difficulty = m_difficulty->currentText().toStdString();
    choice.rating = static_cast<std::uint32_t>(m_rating->value());
    return choice;
}

std::optional<NewChartChoice> NewChartDialog::Ask(QWidget* parent, const NewChartChoice& start) {
    NewChartDialog dialog(start, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

// A blank difficulty would make no chart.
void NewChartDialog::UpdateOk() {
    m_buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(!m_difficulty->currentText().trimmed().isEmpty());
}

} // namespace app
