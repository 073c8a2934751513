#include "LiveViews.h"

#include <QTimer>

#include "EditorEngine.h"
#include "core/engine/InferenceEngine.h"

namespace ruleeditors {

int TLiveListModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Rows_; }

QVariant TLiveListModel::data(const QModelIndex& Index, int Role) const {
  if (Role != Qt::DisplayRole || !Index.isValid() || Index.row() >= Rows_) return {};
  // Between a change and the refresh the rows may be ahead of what is there now.
  if (Index.row() >= CurrentCount()) return {};
  return CurrentText(Index.row());
}

void TLiveListModel::Changed() {
  Dirty_ = true;
  if (Scheduled_) return;
  Scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    Scheduled_ = false;
    Refresh();
  });
}

void TLiveListModel::Refresh() {
  if (!Dirty_) return;
  Dirty_ = false;
  beginResetModel();
  Prepare();
  Rows_ = CurrentCount();
  endResetModel();
}

QStringList TLiveListModel::Texts() {
  Refresh();
  QStringList Out;
  Out.reserve(Rows_);
  for (int Row = 0; Row < Rows_; ++Row) Out << CurrentText(Row);
  return Out;
}

// --- keyed ---

void TKeyedListModel::Put(int64_t Key, TEntry Entry) {
  Entries_.insert_or_assign(Key, std::move(Entry));
  Stale_ = true;
  Changed();
}

void TKeyedListModel::Remove(int64_t Key) {
  if (!Entries_.erase(Key)) return;
  Stale_ = true;
  Changed();
}

void TKeyedListModel::Clear() {
  Entries_.clear();
  Stale_ = true;
  Changed();
}

void TKeyedListModel::Prepare() {
  Order_.clear();
  Order_.reserve(Entries_.size());
  for (const auto& [Key, Entry] : Entries_) Order_.push_back(&Entry);
  Stale_ = false;
}

QString TKeyedListModel::CurrentText(int Row) const {
  const TEntry& Entry = *Order_[static_cast<size_t>(Row)];
  if (const auto* Text = std::get_if<std::string>(&Entry)) return ToQt(*Text);
  if (const auto* Fact = std::get_if<rulecore::IFact>(&Entry)) return ToQt((*Fact)->GetToString());
  return ToQt(OneLine(std::get<rulecore::IFactTemplate>(Entry)->GetToString()));
}

// --- agenda ---

void TAgendaListModel::Prepare() { Count_ = Engine_ ? Engine_->GetAgendaCount() : 0; }

int TAgendaListModel::CurrentCount() const {
  // The agenda may have changed since the rows were laid out.
  const int Now = Engine_ ? Engine_->GetAgendaCount() : 0;
  return std::min(Now, Count_);
}

QString TAgendaListModel::CurrentText(int Row) const { return ToQt(Engine_->GetAgenda().GetText(Row)); }

}  // namespace ruleeditors
