#include "FactSet.h"

#include "core/engine/InferenceEngine.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "platform/ComponentStream.h"
#include "platform/Exceptions.h"

namespace rulecore {

TFactSet::TFactSet(platform::TComponent* Owner) : TComponent(Owner) {
  TInferenceEngine* Engine = dynamic_cast<TInferenceEngine*>(Owner);
  // At design time a set dropped beside an engine belongs to the first engine of its owner.
  if (!Engine && Owner && Owner->IsDesigning())
    for (int I = 0; I < Owner->GetComponentCount() && !Engine; ++I)
      Engine = dynamic_cast<TInferenceEngine*>(Owner->GetComponent(I));
  if (Engine) SetEngineNoParse(Engine);
}

TFactSet::~TFactSet() {
  Destroying();
  if (Engine_) Engine_->RemoveFactSet(this);
}

void TFactSet::Join(TInferenceEngine* Value) {
  if (Engine_) {
    Engine_->RemoveFactSet(this);
    RemoveFreeNotification(Engine_);
  }
  Engine_ = Value;
  if (Engine_) {
    FreeNotification(Engine_);
    Engine_->AddFactSet(this);
  } else {
    for (auto& Entry : Facts_) Entry.second = nullptr;
  }
}

void TFactSet::SetEngine(TInferenceEngine* Value) {
  if (Value == Engine_) return;
  Join(Value);
  if (!Engine_ || IsLoading()) return;
  // The lines are this engine's facts from now on.
  for (auto& Entry : Facts_) Entry.second = Engine_->ParseFact(Entry.first);
}

void TFactSet::SetEngineNoParse(TInferenceEngine* Value) {
  if (Value == Engine_) return;
  Join(Value);
}

size_t TFactSet::Checked(int Index) const {
  if (Index < 0 || Index >= GetCount()) platform::ListIndexError(Index);
  return static_cast<size_t>(Index);
}

const std::string& TFactSet::GetLine(int Index) const { return Facts_[Checked(Index)].first; }

std::vector<std::string> TFactSet::GetLines() const {
  std::vector<std::string> Lines;
  Lines.reserve(Facts_.size());
  for (const auto& Entry : Facts_) Lines.push_back(Entry.first);
  return Lines;
}

void TFactSet::SetFacts(const std::vector<std::string>& Lines) {
  std::vector<std::pair<std::string, IFact>> Parsed;
  Parsed.reserve(Lines.size());
  for (const std::string& Line : Lines)
    Parsed.emplace_back(Line, Engine_ ? Engine_->ParseFact(Line + std::string(NewLineString)) : IFact());
  Facts_ = std::move(Parsed);
}

int TFactSet::AddFact(const IFact& Fact) {
  Facts_.emplace_back(Fact ? Fact->ToString() : std::string(), Fact);
  return GetCount() - 1;
}

IFact TFactSet::GetFact(int Index) const {
  auto& Entry = const_cast<TFactSet*>(this)->Facts_[Checked(Index)];
  // A line is parsed when its fact is first asked for.
  if (!Entry.second && Engine_) Entry.second = Engine_->ParseFact(Entry.first);
  return Entry.second;
}

void TFactSet::SetFact(int Index, const IFact& Fact) {
  auto& Entry = Facts_[Checked(Index)];
  Entry.first = Fact ? Fact->ToString() : std::string();
  Entry.second = Fact;
}

int TFactSet::IndexOf(const TFact* Fact) const noexcept {
  for (size_t I = 0; I < Facts_.size(); ++I)
    if (Facts_[I].second.get() == Fact) return static_cast<int>(I);
  return -1;
}

void TFactSet::Remove(const TFact* Fact) {
  const int I = IndexOf(Fact);
  if (I >= 0) Facts_.erase(Facts_.begin() + I);
}

void TFactSet::ForgetFactsOf(const TFactTemplate* Template) noexcept {
  for (auto& Entry : Facts_)
    if (Entry.second && Entry.second->GetTemplate().get() == Template) Entry.second = nullptr;
}

void TFactSet::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactSet*>(&Source);
  if (!From) return TComponent::Assign(Source);
  if (From == this) return;
  Comment_ = From->Comment_;
  FactSetName_ = From->FactSetName_;
  Facts_.clear();
  // Into an engine the facts are read again from their text, so they take its templates.
  auto* Owner = dynamic_cast<TInferenceEngine*>(GetOwner());
  for (const auto& Entry : From->Facts_) {
    const std::string Text = Entry.second ? Entry.second->ToString() : Entry.first;
    if (Owner)
      AddFact(Owner->ParseFact(Text));
    else if (Entry.second)
      AddFact(Entry.second->Clone());
    else
      Facts_.emplace_back(Entry.first, nullptr);
  }
}

TFactSet* TFactSet::Clone(platform::TComponent* Owner) const {
  auto* Result = new TFactSet(Owner);
  Result->Assign(*this);
  return Result;
}

std::string TFactSet::ToString() const { return Engine_ ? Engine_->PrettyPrint(*this) : PrettyPrint(*this); }

void TFactSet::Reset() {
  if (!Engine_) return;
  for (int I = 0; I < GetCount(); ++I) {
    IFact Copy;
    try {
      const IFact Fact = GetFact(I);
      if (!Fact) continue;
      Copy = Fact->Clone();
      Engine_->GetContext()->Resolve(*Copy);
    } catch (const EIEException&) {
      continue;
    }
    Engine_->Assert(Copy, false);
  }
}

// --- streaming -------------------------------------------------------------------------------

void TFactSet::DeclareProperties(platform::TPropertyList<TFactSet>& P) {
  P.Add("Comment", &TFactSet::GetComment, &TFactSet::SetComment);
  P.Add("Engine", &TFactSet::GetEngine, &TFactSet::SetEngine);
  P.Add("FactSetName", &TFactSet::GetFactSetName, &TFactSet::SetFactSetName, "FactSet");
}

void TFactSet::DefineProperties(platform::TObject& Instance, platform::TFiler& Filer) {
  auto& Set = static_cast<TFactSet&>(Instance);
  Filer.DefineProperty(
      "Facts",
      [&Set](platform::TReader& Reader) {
        std::vector<std::string> Lines = Reader.ReadStrings();
        if (!Set.Engine_ || Set.IsLoading()) {
          // Read by the engine when first asked for.
          Set.Facts_.clear();
          for (std::string& Line : Lines) Set.Facts_.emplace_back(std::move(Line), nullptr);
        } else {
          Set.SetFacts(Lines);
        }
      },
      [&Set](platform::TWriter& Writer) {
        const TExactNumbers Exact;
        std::vector<std::string> Lines;
        for (int I = 0; I < Set.GetCount(); ++I) {
          const IFact& Fact = Set.Facts_[static_cast<size_t>(I)].second;
          Lines.push_back(Fact ? Fact->ToString() : Set.Facts_[static_cast<size_t>(I)].first);
        }
        Writer.WriteStrings(Lines);
      },
      !Set.Facts_.empty());
}

void TFactSet::Loaded() {
  TComponent::Loaded();
  if (!IsDesigning()) Reset();
}

void TFactSet::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == platform::opRemove && Component == Engine_) {
    Engine_ = nullptr;
    for (auto& Entry : Facts_) Entry.second = nullptr;
  }
}

}  // namespace rulecore
