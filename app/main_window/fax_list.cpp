#include "app/main_window/fax_list.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>
#include <algorithm>

#include "app/fax_store/fax_store.h"
#include "app/lists/column_layout.h"
#include "app/ui/message_boxes.h"

namespace ql {
namespace {

constexpr const char* kArchivedField = "ARCHIVED";

QTableView* MakeGrid(QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAlternatingRowColors(true);
  view->verticalHeader()->setFixedWidth(12);  // the row-marker column
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->horizontalHeader()->setSectionsMovable(true);
  view->horizontalHeader()->setHighlightSections(false);
  view->setWordWrap(false);
  return view;
}

}  // namespace

TFaxList::TFaxList(const TFaxListKind& kind, QWidget* owner)
    : kind_(kind), view_(MakeGrid(owner)), sortMenu_(new QMenu(owner)) {
  view_->setObjectName(QString::fromLatin1(kind_.objectName));
  view_->installEventFilter(this);
  connect(view_, &QTableView::doubleClicked, this, &TFaxList::RowActivated);
  // The sort menu pops up below the Sort button; its entries choose a tag.
  auto* group = new QActionGroup(sortMenu_);
  for (const TSortChoice& choice : kind_.sortChoices) {
    QAction* entry = sortMenu_->addAction(QString::fromLatin1(choice.label));
    entry->setCheckable(true);
    entry->setData(QString::fromLatin1(choice.tag));
    group->addAction(entry);
    connect(entry, &QAction::triggered, this,
            [this, tag = std::string(choice.tag)] { emit SortChosen(tag); });
  }
}

TFaxList::~TFaxList() {
  view_->setModel(nullptr);
  model_.reset();
  table_.Close();
}

bool TFaxList::Open(const std::string& filter) {
  if (!kind_.open(table_, filter, {})) return false;
  table_.SetOrder(table_.TagArea(kind_.dateOrder));
  table_.GoTop();
  return true;
}

void TFaxList::ShowRows() {
  model_ = std::make_unique<TTableListModel>(table_, kind_.columns, kArchivedField);
  view_->setModel(model_.get());
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &TFaxList::CurrentRowChanged);
  for (size_t c = 0; c < kind_.widths.size(); ++c)
    view_->setColumnWidth(static_cast<int>(c), kind_.widths[c]);
  if (HasRows()) view_->selectRow(0);
}

void TFaxList::Reopen(const std::string& filter) {
  const std::string order = OrderTag();
  const uint32_t recno = table_.RecNo();
  table_.Close();
  if (kind_.open(table_, filter, {})) {
    table_.SetOrder(order.empty() ? 0 : table_.TagArea(order));
    ReturnToRow(table_, recno);
  }
  Refresh(recno);
}

void TFaxList::ApplyFilter(const std::string& filter) {
  if (table_.IsOpen()) table_.Query(filter);
}

void TFaxList::Close() {
  view_->setModel(nullptr);
  table_.Close();
}

bool TFaxList::HasRows() const {
  return model_ != nullptr && model_->rowCount() > 0;
}

uint32_t TFaxList::CurrentRecNo() const {
  const QModelIndex current = view_->currentIndex();
  return model_ != nullptr && current.isValid() ? model_->RecNoAt(current.row()) : 0;
}

bool TFaxList::GoToCurrent(uint32_t& recno) {
  recno = CurrentRecNo();
  if (recno == 0 || table_.Go(recno) != 0) {
    Beep();
    return false;
  }
  return true;
}

bool TFaxList::ReadCurrent(const char* field, std::string& value) {
  const uint32_t recno = CurrentRecNo();
  if (recno == 0 || table_.Go(recno) != 0) return false;
  table_.GetString(field, value);
  return true;
}

bool TFaxList::CurrentArchived() {
  bool archived = false;
  const uint32_t recno = CurrentRecNo();
  if (recno != 0 && table_.Go(recno) == 0) table_.GetLogical(kArchivedField, archived);
  return archived;
}

void TFaxList::Refresh(uint32_t recno) {
  const int oldRow = view_->currentIndex().isValid() ? view_->currentIndex().row() : 0;
  model_->Reload();
  int row = recno != 0 ? model_->RowOfRecNo(recno) : -1;
  if (row < 0 && model_->rowCount() > 0) row = std::min(oldRow, model_->rowCount() - 1);
  if (row >= 0) view_->selectRow(row);
}

std::string TFaxList::OrderTag() {
  return table_.TagName(table_.IndexOrd());
}

void TFaxList::SortBy(const std::string& tag) {
  const uint32_t recno = CurrentRecNo();
  table_.SetOrder(tag.empty() ? 0 : table_.TagArea(tag));
  SyncSortChecks();
  Refresh(recno);
}

void TFaxList::SettleOrder() {
  if (table_.IsOpen()) {
    const bool hasRows = HasRows();
    if (!hasRows && table_.IndexOrd() != 0) {
      SortBy("");
    } else if (hasRows && table_.IndexOrd() == 0) {
      SortBy(kind_.dateOrder);
      view_->selectRow(0);
    }
  }
  SyncSortChecks();
}

void TFaxList::SyncSortChecks() {
  const std::string tag = OrderTag();
  for (QAction* entry : sortMenu_->actions())
    entry->setChecked(entry->data().toString().toStdString() == tag);
}

std::vector<std::string> TFaxList::Fields() const {
  std::vector<std::string> fields;
  for (const auto& c : kind_.columns) fields.push_back(c.field);
  return fields;
}

void TFaxList::SaveLayout() const {
  if (kind_.layoutBase != nullptr) SaveGridOrders(*view_, Fields(), kind_.layoutBase());
}

void TFaxList::LoadLayout() {
  if (kind_.layoutBase != nullptr) LoadGridOrders(*view_, Fields(), kind_.layoutBase());
}

bool TFaxList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
      emit RowActivated();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ql
