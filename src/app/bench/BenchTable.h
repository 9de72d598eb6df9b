// SPDX-License-Identifier: MIT
// BenchTable: the bench's table view. Each row's progress is drawn as a bar with its percent and
// its "Details" as a button; the columns are resizable and sorted by a click on their header;
// rows and columns follow the font. Space toggles the current row's check box wherever the
// cursor is in the row.
#pragma once

#include <QTableView>
#include <functional>

class BenchTable : public QTableView {
public:
    explicit BenchTable(QWidget* parent = nullptr);

    // Called with the model row (not the sorted one) whose "Details" button was pressed.
    std::function<void(int row)> OnDetails;

    // The height that shows `rows` rows whole, with the header and the frame.
    int HeightForRows(int rows) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FitToFont();
};
