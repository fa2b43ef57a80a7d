#pragma once

#include "VEQStore/Catalog/SessionRecord.hpp"

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace veq {

// One catalogued drive as the list holds it: its record and what the screen knows of it.
struct SessionRow {
    SessionRecord record;
    bool live = false;        // the drive being recorded
    bool fileMissing = false; // its telemetry file is not in the sessions folder
    bool endedByLoss = false; // the lost link to the adapter ended it: its record is final
};

// What a row shows: its date, vehicle and line of figures, and the mark of its state.
struct SessionRowTexts {
    QString date;
    QString vehicle;
    QString figures;
    QString details;
    QString mark; // "En cours", "Liaison perdue", "Fichier introuvable", "Export…", or nothing

    // `busy`: an export of the drive runs.
    static SessionRowTexts of(const SessionRow& row, bool busy);
    bool operator==(const SessionRowTexts&) const = default;
};

// The drives of the catalogue, newest first, one selectable row each. Each paint draws only the
// rows in view, so a thousand drives cost no more than a screenful.
class SessionList : public QAbstractScrollArea {
public:
    static constexpr int rowHeight = 74;
    static constexpr int rowGap = 6;

    explicit SessionList(QWidget* parent = nullptr);

    // The rows anew; the selected drive stays selected while it is listed, else the first is.
    void setRows(std::vector<SessionRow> rows);
    const std::vector<SessionRow>& rows() const { return rows_; }
    // The selected row's outline and the busy mark follow the screen's accent.
    void setAccent(const QColor& accent);
    // Whether an export of a drive runs, asked of its keeper (the model) whenever a row is shown;
    // none: no drive is ever busy.
    std::function<bool(const SessionRecord&)> busyTest;
    // A drive's export began or ended: the rows show their state anew.
    void busyChanged();
    bool isBusy(const SessionRow& row) const;
    // What row `index` shows, as it is painted.
    const SessionRowTexts& textsOf(std::size_t index) const;

    std::optional<std::size_t> selectedIndex() const { return selected_; }
    const SessionRow* selectedRow() const;
    void select(std::size_t index);
    // Runs when the selection changes, and when the rows are set anew.
    std::function<void()> onSelectionChanged;

    // Rows painted since the list was made (what scrolling costs).
    std::size_t paintedRows() const { return paintedRows_; }
    // The rows shown, at least in part, top to bottom.
    std::vector<std::size_t> rowsInView() const;
    // Where the row lies in the viewport.
    QRect rowRect(std::size_t index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateRange();
    void ensureVisible(std::size_t index);
    void paintRow(QPainter& painter, const SessionRow& row, const SessionRowTexts& texts, const QRect& area,
                  bool selected) const;

    std::vector<SessionRow> rows_;
    // Each row's texts, made when it is first painted (a scroll repaints every row in view).
    mutable std::vector<std::optional<SessionRowTexts>> texts_;
    std::optional<std::size_t> selected_;
    std::size_t paintedRows_ = 0;
    QColor accent_;
};

} // namespace veq
