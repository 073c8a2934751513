// The console's live views: list models that the engine's events change many times per second
// while a program runs.  Each change only marks the model; the rows are rebuilt once when control
// returns to the event loop (or when someone reads them), and an entry's text is made only when
// a view draws that row.  So a run that asserts a million facts costs the views a map insertion
// per fact, and never a copy of the list per change.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include <QAbstractListModel>
#include <QStringList>

#include "core/facts/Fact.h"
#include "core/facts/FactTemplate.h"

namespace rulecore {
class TInferenceEngine;
}

namespace ruleeditors {

class TLiveListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit TLiveListModel(QObject* Parent = nullptr) : QAbstractListModel(Parent) {}

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

  // Every row's text, the rows brought up to date first.
  QStringList Texts();
  // Rebuilds the rows now when something changed.
  void Refresh();

 protected:
  // The number of rows and a row's text, as they are now.
  virtual int CurrentCount() const = 0;
  virtual QString CurrentText(int Row) const = 0;
  // Before the rows are rebuilt (a subclass lays out its row order).
  virtual void Prepare() {}
  void Changed();

 private:
  int Rows_ = 0;
  bool Dirty_ = false;
  bool Scheduled_ = false;
};

// Entries under increasing keys (fact ids, template tags, arrival numbers), shown in key order.
class TKeyedListModel final : public TLiveListModel {
  Q_OBJECT
 public:
  using TEntry = std::variant<std::string, rulecore::IFact, rulecore::IFactTemplate>;
  explicit TKeyedListModel(QObject* Parent = nullptr) : TLiveListModel(Parent) {}

  void Put(int64_t Key, TEntry Entry);
  void Remove(int64_t Key);
  void Clear();
  bool Contains(int64_t Key) const { return Entries_.count(Key) != 0; }

 protected:
  // The row order points into the entries: after a change it waits for the next refresh.
  int CurrentCount() const override { return Stale_ ? 0 : static_cast<int>(Order_.size()); }
  QString CurrentText(int Row) const override;
  void Prepare() override;

 private:
  std::map<int64_t, TEntry> Entries_;
  std::vector<const TEntry*> Order_;
  bool Stale_ = false;
};

// The engine's agenda as it stands.
class TAgendaListModel final : public TLiveListModel {
  Q_OBJECT
 public:
  explicit TAgendaListModel(QObject* Parent = nullptr) : TLiveListModel(Parent) {}
  void SetEngine(rulecore::TInferenceEngine* Engine) {
    Engine_ = Engine;
    Touch();
  }
  // The agenda changed.
  void Touch() { Changed(); }

 protected:
  int CurrentCount() const override;
  QString CurrentText(int Row) const override;
  void Prepare() override;

 private:
  rulecore::TInferenceEngine* Engine_ = nullptr;
  int Count_ = 0;
};

}  // namespace ruleeditors
