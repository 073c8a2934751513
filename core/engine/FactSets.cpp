#include "FactSets.h"

#include <algorithm>

#include "InferenceEngine.h"
#include "core/facts/FactSet.h"
#include "platform/Exceptions.h"

namespace rulecore {

TFactSet* TFactSets::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)];
}

int TFactSets::IndexOf(const TFactSet* Set) const noexcept {
  const auto It = std::find(Items_.begin(), Items_.end(), Set);
  return It == Items_.end() ? -1 : static_cast<int>(It - Items_.begin());
}

TFactSet* TFactSets::Find(std::string_view Name) const noexcept {
  for (TFactSet* Set : Items_)
    if (Set->GetFactSetName() == Name) return Set;
  return nullptr;
}

void TFactSets::Add(TFactSet* Set) {
  if (!Set) return;
  if (Engine_)
    Set->SetEngine(Engine_);
  else
    Attached(Set);
}

void TFactSets::Remove(TFactSet* Set) {
  if (!Set || !Members_.count(Set)) return;
  if (Engine_ && Set->GetEngine() == Engine_)
    Set->SetEngineNoParse(nullptr);
  else
    Detached(Set);
}

TFactSet* TFactSets::Named(const std::string& Name) {
  const auto Known = ByName_.find(Name);
  if (RenamesSeen_ != FactSetRenameCount() || (Known != ByName_.end() && Known->second->GetFactSetName() != Name)) {
    RenamesSeen_ = FactSetRenameCount();
    ByName_.clear();
    for (TFactSet* Set : Items_) ByName_[Set->GetFactSetName()] = Set;
  }
  const auto It = ByName_.find(Name);
  return It == ByName_.end() ? nullptr : It->second;
}

void TFactSets::Attached(TFactSet* Set) {
  if (!Set || Members_.count(Set)) return;
  // A set of the same name is replaced: the earlier one leaves the list.
  if (TFactSet* Other = Named(Set->GetFactSetName())) Remove(Other);
  Items_.push_back(Set);
  Members_.insert(Set);
  ByName_[Set->GetFactSetName()] = Set;
  Set->SetListed(true);
}

void TFactSets::Detached(TFactSet* Set) noexcept {
  if (!Members_.erase(Set)) return;
  // Sets mostly leave newest first (a clear, a destroyed engine): look from the back.
  const auto It = std::find(Items_.rbegin(), Items_.rend(), Set);
  if (It != Items_.rend()) Items_.erase(std::next(It).base());
  const auto Name = ByName_.find(Set->GetFactSetName());
  if (Name != ByName_.end() && Name->second == Set) ByName_.erase(Name);
  Set->SetListed(false);
}

void TFactSets::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactSets*>(&Source);
  if (!From) return TPersistent::Assign(Source);
  if (From == this) return;
  for (TFactSet* Theirs : std::vector<TFactSet*>(From->Items_)) {
    auto* Copy = new TFactSet(Engine_);
    try {
      // Joined again once it has its name, so that it replaces a set of that name.
      Copy->SetEngineNoParse(nullptr);
      Copy->Assign(*Theirs);
      if (Engine_)
        Copy->SetEngineNoParse(Engine_);
      else
        Attached(Copy);
    } catch (...) {
      delete Copy;
      throw;
    }
  }
}

std::string TFactSets::ToString() const {
  std::string Text;
  for (const TFactSet* Set : Items_) Text += Set->ToString();
  return Text;
}

}  // namespace rulecore
