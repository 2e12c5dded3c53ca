// The "Данные…" row of the print box: the list the labels are filled from (CSV, XLSX, ODS), the
// file and its first record shown, a way to clear it, and whether records that cannot be
// placed are skipped.
#pragma once

#include <QWidget>
#include <memory>

#include "datasource/DataSource.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace ui {

class TDataFilePanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kFilter = "Данные для этикеток (*.csv *.txt *.xlsx *.ods)";

  explicit TDataFilePanel(QWidget* parent);

  QPushButton *btData, *btClearData;
  QLabel* lbData;
  QCheckBox* cbSkipBadRecords;

  const std::shared_ptr<const datasource::TDataSource>& Data() const { return data_; }
  // Shows the data (nullptr: none) without announcing a change.
  void ShowData(std::shared_ptr<const datasource::TDataSource> data);
  bool SkipBadRecords() const;

  // Asks for a file and reads it; a file that cannot be read is reported and changes nothing.
  void Choose();
  void Clear();

 signals:
  void Changed();

 private:
  std::shared_ptr<const datasource::TDataSource> data_;
};

// "list.csv — 3 записи (5 этикеток)\nИмя: Иван; Цена: 100", or the hint that no data is chosen.
QString DataDescription(const datasource::TDataSource* data);

}  // namespace ui
