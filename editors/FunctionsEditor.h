// The functions editor window: a package's functions with their syntax and help text.  The help
// text can be edited and functions taken out of the list; nothing changes in the package until
// the dialog component commits the accepted list.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "core/functions/IEUserFunction.h"

class QTableWidget;

namespace rulecore {
class TUserPackage;
}

namespace ruleeditors {

class TFunctionsEditor : public QDialog {
  Q_OBJECT
 public:
  explicit TFunctionsEditor(const rulecore::TUserPackage& Package, QWidget* Parent = nullptr);

  struct TEntry {
    rulecore::IUserFunction Function;
    std::string Help;  // the comment the function gets on commit
  };
  const std::vector<TEntry>& Entries() const noexcept { return Entries_; }
  int Count() const noexcept { return static_cast<int>(Entries_.size()); }
  void Delete(int Index);
  void SetHelp(int Index, const std::string& Help);

 private:
  void Refill();

  std::vector<TEntry> Entries_;
  bool Filling_ = false;
  QTableWidget* Table_ = nullptr;
};

}  // namespace ruleeditors
