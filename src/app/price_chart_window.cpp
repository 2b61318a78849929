#include "app/price_chart_window.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPen>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <limits>
#include <thread>

#include "app/text_convert.h"
#include "app/ui_bridge.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/numbers.h"

namespace korvelin {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// The chart window's texts (UTF-8 here; the widgets take them as they are).
constexpr const char* kTitlePrefix = "价格走势 - ";
constexpr const char* kNoRecords = "暂无价格记录";
constexpr const char* kExportButton = "导出CSV";
constexpr const char* kLowest = "最低价：";
constexpr const char* kHighest = "最高价：";
constexpr const char* kLast = "最新价：";
constexpr const char* kTimeOpen = "（";
constexpr const char* kTimeClose = "）";
constexpr const char* kTargetSeries = "目标价";
constexpr const char* kPriceSeries = "价格";
constexpr const char* kExportFileName = "价格走势.csv";
constexpr const char* kExportFilter = "CSV文件 (*.csv)";
constexpr const char* kInfoTitle = "信息：";
constexpr const char* kExportDone = "导出成功！";
constexpr const char* kExportFailed = "导出失败！";

struct RangeButton {
  const char* name;
  const char* caption;
  ChartRange range;
};
constexpr RangeButton kRanges[] = {
    {"按钮1天", "1天", ChartRange::kDay},
    {"按钮7天", "7天", ChartRange::kWeek},
    {"按钮30天", "30天", ChartRange::kMonth},
    {"按钮全部", "全部", ChartRange::kAll},
};

// The chart is drawn with at least this many time slices (more on a wider window).
constexpr int kMinimumBuckets = 800;

QString PointText(const char* caption, const PricePoint& point) {
  return Utf8(caption) + ToQString(RealToText(point.price)) + Utf8(kTimeOpen) +
         ToQString(DateTimeText(LocalDateTimeAt(point.checkedAt))) + Utf8(kTimeClose);
}

}  // namespace

PriceChartWindow::PriceChartWindow(std::shared_ptr<PriceHistory> history, ChartedProduct product,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window),
      history_(std::move(history)),
      product_(std::move(product)),
      target_(TextToReal(product_.targetPrice)),
      bridge_(std::make_shared<UiBridge>(this)) {
  setObjectName(Utf8("窗口价格走势"));
  setWindowTitle(Utf8(kTitlePrefix) + ToQString(product_.name));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(760, 480);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  rangeButtons_ = new QButtonGroup(this);
  rangeButtons_->setExclusive(true);
  for (const RangeButton& entry : kRanges) {
    auto* button = new QPushButton(Utf8(entry.caption), this);
    button->setObjectName(Utf8(entry.name));
    button->setCheckable(true);
    button->setChecked(entry.range == range_);
    button->setAutoDefault(false);
    rangeButtons_->addButton(button, static_cast<int>(entry.range));
    top->addWidget(button);
  }
  connect(rangeButtons_, &QButtonGroup::idClicked, this,
          [this](int id) { SetRange(static_cast<ChartRange>(id)); });
  top->addStretch(1);
  auto* exportButton = new QPushButton(Utf8(kExportButton), this);
  exportButton->setObjectName(Utf8("按钮导出CSV"));
  exportButton->setAutoDefault(false);
  connect(exportButton, &QPushButton::clicked, this, &PriceChartWindow::ExportCsv);
  top->addWidget(exportButton);
  layout->addLayout(top);

  chart_ = new QChart;
  chart_->legend()->setVisible(true);
  chart_->legend()->setAlignment(Qt::AlignTop);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  priceSeries_ = new QLineSeries;
  priceSeries_->setName(Utf8(kPriceSeries));
  priceSeries_->setPen(QPen(QColor(0x1F, 0x6F, 0xC5), 1.5));
  targetSeries_ = new QLineSeries;
  targetSeries_->setName(Utf8(kTargetSeries));
  targetSeries_->setPen(QPen(QColor(0xD0, 0x30, 0x30), 1.5, Qt::DashLine));
  chart_->addSeries(priceSeries_);
  chart_->addSeries(targetSeries_);
  timeAxis_ = new QDateTimeAxis;
  timeAxis_->setTickCount(6);
  priceAxis_ = new QValueAxis;
  priceAxis_->setLabelFormat(QStringLiteral("%.2f"));
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(priceAxis_, Qt::AlignLeft);
  for (QLineSeries* series : {priceSeries_, targetSeries_}) {
    series->attachAxis(timeAxis_);
    series->attachAxis(priceAxis_);
  }
  view_ = new QChartView(chart_, this);
  view_->setObjectName(Utf8("图表价格走势"));
  view_->setRenderHint(QPainter::Antialiasing);

  // The "no records" text lies over the chart, in the same cell of a grid.
  auto* stack = new QGridLayout;
  stack->addWidget(view_, 0, 0);
  emptyLabel_ = new QLabel(Utf8(kNoRecords), this);
  emptyLabel_->setObjectName(Utf8("标签暂无价格记录"));
  emptyLabel_->setAlignment(Qt::AlignCenter);
  emptyLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont big = emptyLabel_->font();
  big.setPixelSize(20);
  emptyLabel_->setFont(big);
  emptyLabel_->setStyleSheet(QStringLiteral("background: white; padding: 6px 14px;"));
  emptyLabel_->hide();
  stack->addWidget(emptyLabel_, 0, 0, Qt::AlignCenter);
  layout->addLayout(stack, 1);

  // One line each, so a long time text never cuts off the next.
  auto* bottom = new QVBoxLayout;
  bottom->setSpacing(2);
  const struct {
    QLabel** label;
    const char* name;
  } labels[] = {
      {&lowestLabel_, "标签最低价"}, {&highestLabel_, "标签最高价"}, {&lastLabel_, "标签最新价"}};
  for (const auto& entry : labels) {
    *entry.label = new QLabel(this);
    (*entry.label)->setObjectName(Utf8(entry.name));
    bottom->addWidget(*entry.label);
  }
  layout->addLayout(bottom);

  Redraw();
  Refresh();
}

PriceChartWindow::~PriceChartWindow() { bridge_->Close(); }

void PriceChartWindow::SetRange(ChartRange range) {
  range_ = range;
  if (QAbstractButton* button = rangeButtons_->button(static_cast<int>(range))) {
    button->setChecked(true);
  }
  Redraw();
}

void PriceChartWindow::Refresh() {
  if (!history_) {
    loaded_ = true;
    Redraw();
    emit Updated();
    return;
  }
  if (reading_) {
    readAgain_ = true;
    return;
  }
  reading_ = true;
  // Read on from the last point's time; the points already held at that very time are
  // skipped, so a batch written within the same millisecond is neither lost nor doubled.
  const std::int64_t from =
      points_.empty() ? std::numeric_limits<std::int64_t>::min() : points_.back().checkedAt;
  std::size_t held = 0;
  for (auto it = points_.rbegin(); it != points_.rend() && it->checkedAt == from; ++it) ++held;
  std::thread([history = history_, bridge = bridge_, code = product_.code,
               country = product_.country, from, held, self = this] {
    std::vector<PricePoint> points =
        history->Query(code, country, from, std::numeric_limits<std::int64_t>::max());
    std::size_t skip = 0;
    while (skip < held && skip < points.size() && points[skip].checkedAt == from) ++skip;
    points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(skip));
    // Dropped when the window is gone: the bridge's target is the window itself.
    bridge->Post(
        [self, points = std::move(points)]() mutable { self->TakePoints(std::move(points)); });
  }).detach();
}

void PriceChartWindow::TakePoints(std::vector<PricePoint> points) {
  reading_ = false;
  loaded_ = true;
  points_.insert(points_.end(), points.begin(), points.end());
  Redraw();
  emit Updated();
  if (readAgain_) {
    readAgain_ = false;
    Refresh();
  }
}

void PriceChartWindow::Redraw() {
  const int buckets = std::max(kMinimumBuckets, view_->width());
  data_ = MakePriceChartData(points_, range_, UnixMillisNow(), buckets);

  QList<QPointF> line;
  line.reserve(static_cast<qsizetype>(data_.line.size()));
  for (const PricePoint& point : data_.line) {
    line.append(QPointF(static_cast<qreal>(point.checkedAt), point.price));
  }
  priceSeries_->replace(line);
  targetSeries_->replace(QList<QPointF>{{static_cast<qreal>(data_.from), target_},
                                        {static_cast<qreal>(data_.to), target_}});
  timeAxis_->setFormat(range_ == ChartRange::kDay ? QStringLiteral("hh:mm")
                                                  : QStringLiteral("MM-dd hh:mm"));
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(data_.from),
                      QDateTime::fromMSecsSinceEpoch(data_.to));

  double low = target_;
  double high = target_;
  if (!data_.summary.empty) {
    low = std::min(low, data_.summary.lowest.price);
    high = std::max(high, data_.summary.highest.price);
  }
  const double margin = std::max((high - low) * 0.08, std::max(std::abs(high) * 0.02, 0.5));
  priceAxis_->setRange(std::max(0.0, low - margin), high + margin);

  emptyLabel_->setVisible(loaded_ && data_.summary.empty);
  if (data_.summary.empty) {
    lowestLabel_->setText(Utf8(kLowest));
    highestLabel_->setText(Utf8(kHighest));
    lastLabel_->setText(Utf8(kLast));
  } else {
    lowestLabel_->setText(PointText(kLowest, data_.summary.lowest));
    highestLabel_->setText(PointText(kHighest, data_.summary.highest));
    lastLabel_->setText(PointText(kLast, data_.summary.last));
  }
}

bool PriceChartWindow::ExportCsvTo(const std::string& path) const {
  return WriteFileAtomically(path, PriceHistoryCsv(points_));
}

void PriceChartWindow::ExportCsv() {
  QFileDialog dialog(this);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDirectory(QDir::homePath());
  dialog.setNameFilter(Utf8(kExportFilter));
  dialog.selectFile(Utf8(kExportFileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const bool written = ExportCsvTo(QStringToPath(dialog.selectedFiles().front()));
  QMessageBox::information(nullptr, Utf8(kInfoTitle), Utf8(written ? kExportDone : kExportFailed));
}

}  // namespace korvelin
