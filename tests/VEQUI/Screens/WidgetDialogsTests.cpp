// The real save panel as set up for a request (never opened here).
#include "VEQUI/Views/WidgetDialogs.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>

namespace veq {
namespace {

TEST(WidgetDialogs, APanelGivenTypesOffersThemAndAddsTheChosenTypesExtension) {
    QFileDialog panel;
    Dialogs::SaveRequest request;
    request.title = "Exporter la trace";
    request.directory = QDir::tempPath().toStdString();
    request.suggestedName = "trace";
    request.types = {{"Trace CAN", "asc"}, {"Valeurs CSV", "csv"}};
    request.canCreateFolders = false;
    configureSavePanel(panel, request);

    EXPECT_EQ(panel.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Exporter la trace"));
    EXPECT_EQ(panel.nameFilters(), (QStringList{"Trace CAN (*.asc)", "Valeurs CSV (*.csv)"}));
    EXPECT_EQ(panel.defaultSuffix(), QStringLiteral("asc"));
    EXPECT_EQ(QDir(panel.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_TRUE(panel.testOption(QFileDialog::ReadOnly));

    panel.selectNameFilter(QStringLiteral("Valeurs CSV (*.csv)"));
    Q_EMIT panel.filterSelected(QStringLiteral("Valeurs CSV (*.csv)"));
    EXPECT_EQ(panel.defaultSuffix(), QStringLiteral("csv"));
}

TEST(WidgetDialogs, APanelWithoutTypesTakesAnyNameAndAllowsNewFolders) {
    QFileDialog panel;
    Dialogs::SaveRequest request;
    request.suggestedName = "rapport.pdf";
    configureSavePanel(panel, request);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Oskavel Car"));
    EXPECT_TRUE(panel.defaultSuffix().isEmpty());
    EXPECT_FALSE(panel.testOption(QFileDialog::ReadOnly));
    EXPECT_TRUE(panel.nameFilters().isEmpty()); // no filter: any name and extension
}

} // namespace
} // namespace veq
