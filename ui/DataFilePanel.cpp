#include "ui/DataFilePanel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/uCommon.h"
#include "platform/UserInteraction.h"
#include "ui/Connect.h"
#include "ui/ModalDialogs.h"

namespace ui {

namespace {

// "1 запись", "3 записи", "5 записей".
QString Plural(std::int64_t n, const char* one, const char* few, const char* many) {
  const std::int64_t tens = n % 100, units = n % 10;
  const char* word = (tens >= 11 && tens <= 14)   ? many
                     : units == 1                 ? one
                     : (units >= 2 && units <= 4) ? few
                                                  : many;
  return QString::number(n) + " " + QString::fromUtf8(word);
}

}  // namespace

QString DataDescription(const datasource::TDataSource* data) {
  if (!data) return "Данные не выбраны: все этикетки одинаковые";
  const QString name = QFileInfo(QString::fromStdString(data->FileName)).fileName();
  QString text = name + " — " +
                 Plural(std::int64_t(data->Records.size()), "запись", "записи", "записей") + " (" +
                 Plural(data->LabelCount(), "этикетка", "этикетки", "этикеток") + ")";
  const std::string first = datasource::FirstRecordSummary(*data);
  if (!first.empty()) text += "\n" + QString::fromStdString(first);
  return text;
}

TDataFilePanel::TDataFilePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pDataFile");
  btData = new QPushButton("Данные…", this);
  btData->setObjectName("btData");
  btData->setToolTip(
      "Заполнять этикетки записями списка (CSV, XLSX, ODS): первая строка "
      "называет поля, столбец «Количество» — сколько этикеток у записи");
  btClearData = new QPushButton("Убрать", this);
  btClearData->setObjectName("btClearData");
  btClearData->setToolTip("Печатать одинаковые этикетки, без данных");
  lbData = new QLabel(this);
  lbData->setObjectName("lbData");
  lbData->setWordWrap(true);
  lbData->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cbSkipBadRecords = new QCheckBox("Пропускать записи с ошибками", this);
  cbSkipBadRecords->setObjectName("cbSkipBadRecords");
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addWidget(btData);
  buttons->addWidget(btClearData);
  buttons->addWidget(cbSkipBadRecords, 1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addLayout(buttons);
  column->addWidget(lbData);
  On(btData, &QPushButton::clicked, this, [this] { Choose(); });
  On(btClearData, &QPushButton::clicked, this, [this] { Clear(); });
  ShowData(nullptr);
}

void TDataFilePanel::ShowData(std::shared_ptr<const datasource::TDataSource> data) {
  data_ = std::move(data);
  lbData->setText(DataDescription(data_.get()));
  btClearData->setEnabled(data_ != nullptr);
  cbSkipBadRecords->setEnabled(data_ != nullptr);
}

bool TDataFilePanel::SkipBadRecords() const {
  return data_ && cbSkipBadRecords->isChecked();
}

void TDataFilePanel::Choose() {
  QFileDialog dialog(this, "Данные для этикеток");
  dialog.setObjectName("odData");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({kFilter, "Все файлы (*)"});
  if (data_) dialog.setDirectory(QFileInfo(QString::fromStdString(data_->FileName)).absolutePath());
  if (ExecModal(dialog, QDialog::Rejected) != QDialog::Accepted) return;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return;
  try {
    ShowData(std::make_shared<const datasource::TDataSource>(
        datasource::ReadDataFile(chosen.front().toStdString())));
  } catch (const datasource::DataError& e) {
    platform::UI().messageBox(e.what(), app::AppTitle, platform::MsgIcon::Error,
                              platform::MsgButtons::Ok);
    return;
  }
  emit Changed();
}

void TDataFilePanel::Clear() {
  if (!data_) return;
  ShowData(nullptr);
  emit Changed();
}

}  // namespace ui
