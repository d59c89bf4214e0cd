#pragma once

#include "chart/Song.h"

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>

class QComboBox;
class QDialogButtonBox;
class QSpinBox;

namespace app {

// What a new chart starts with. The difficulty is as typed; the editor
// upper-cases and trims it.
struct NewChartChoice {
    chart::ChartStyle style = chart::ChartStyle::Single;
    std::string difficulty = "BASIC";
    std::uint32_t rating = 1;
};

// "New Chart": style, difficulty (any text the file can hold, offered from
// the usual names) and foot rating 1 to 99. Window thread only.
class NewChartDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewChartDialog(const NewChartChoice& start = {}, QWidget* parent = nullptr);

    // The values the controls show now.
    NewChartChoice Choice() const;

    // Runs the dialog modally; nothing on Cancel.
    static std::optional<NewChartChoice> Ask(QWidget* parent, const NewChartChoice& start = {});

private:
    void UpdateOk();

    QComboBox* m_style;
    QComboBox* m_difficulty;
    QSpinBox* m_rating;
    QDialogButtonBox* m_buttons;
};

} // namespace app
