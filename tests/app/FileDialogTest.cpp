// Fixed faults: the .dwi dialogs listed only lower-case extensions and
// saved a bare name without ".dwi".
#include "WindowFixture.h"
#include "app/QtServices.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QSignalSpy>

namespace {

// The names the dialog lists in its folder, once the folder is read.
QStringList Listed(QFileDialog& dialog, const std::string& folder) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (!model || !list) {
        ADD_FAILURE() << "not Qt's own file dialog";
        return {};
    }
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog.setDirectory(QString::fromStdString(folder));
    dialog.show();
    EXPECT_TRUE(loaded.count() > 0 || loaded.wait(5000));
    // The filter is applied as the model's rows settle.
    QTest::qWait(50);
    QStringList names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
        names << list->model()->index(row, 0, root).data().toString();
    }
    names.sort();
    return names;
}

// "*.dwi" lists charts whatever the case of their extension, and nothing else.
TEST(FileDialogs, DwiFilterListsEveryCaseOfTheExtension) {
    const std::string folder = TempFolder("dialog_filter");
    for (const char* name : {"a.dwi", "b.DWI", "c.Dwi", "d.txt"}) {
        WriteFile(folder, name, "#BPM:120;\n");
    }
    for (const auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
        QFileDialog dialog;
        dialog.setAcceptMode(mode);
        app::SetUpFileDialog(dialog, "DWI Files (*.dwi)", {});
        EXPECT_EQ(dialog.nameFilters(), QStringList{"DWI Files (*.dwi)"});
        EXPECT_EQ(Listed(dialog, folder), (QStringList{"a.dwi", "b.DWI", "c.Dwi"})) << mode;
    }
}

// A name typed without an extension is saved with ".dwi"; one with an
// extension keeps it. (Qt looks for a folder of the typed name in the
// working directory, where the tests run beside the source's "chart"
// folder: the names here are ones no folder has.)
TEST(FileDialogs, SaveAddsLowerCaseDwiToABareName) {
    const QString base = QString::fromStdString(TempFolder("dialog_suffix"));
    const std::pair<const char*, const char*> cases[] = {{"new-chart", "new-chart.dwi"},
                                                         {"new-chart.DWI", "new-chart.DWI"},
                                                         {"my.chart.dwi", "my.chart.dwi"}};
    for (const auto& [typed, saved] : cases) {
        QFileDialog dialog;
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        app::SetUpFileDialog(dialog, "DWI Files (*.dwi)", "dwi");
        dialog.setDirectory(base);
        dialog.selectFile(QString::fromLatin1(typed));
        QSignalSpy chosen(&dialog, &QFileDialog::fileSelected);
        dialog.show();
        QMetaObject::invokeMethod(&dialog, "accept"); // what the Save button does
        ASSERT_EQ(chosen.count(), 1) << typed;
        EXPECT_EQ(chosen.at(0).at(0).toString(), base + "/" + saved) << typed;
    }
}

} // namespace
