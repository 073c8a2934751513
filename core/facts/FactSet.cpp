#include "FactSet.h"

#include <atomic>

#include "FactsHost.h"
#include "core/values/IEException.h"
#include "platform/ComponentStream.h"
#include "platform/Exceptions.h"

namespace rulecore {

namespace {

// A line's text is made when it is first needed - when its fact is let go or the line is read -
// not when the fact is added: most facts of a set are never let go, and making every text as a
// program loads cost a tenth of the loading.
using TLine = std::pair<std::string, IFact>;

const std::string& KeptText(TLine& Line) {
  if (Line.first.empty() && Line.second) Line.first = Line.second->ToString();
  return Line.first;
}

// Lets the line's fact go, keeping its text; a fact whose text cannot be made is kept.
void LetGo(TLine& Line) noexcept {
  try {
    KeptText(Line);
    Line.second = nullptr;
  } catch (...) {
  }
}

}  // namespace

TFactSet::TFactSet(platform::TComponent* Owner) : TComponent(Owner) {
  IFactsHost* Host = dynamic_cast<IFactsHost*>(Owner);
  // At design time a set dropped beside an engine belongs to the first engine of its owner.
  if (!Host && Owner && Owner->IsDesigning())
    for (int I = 0; I < Owner->GetComponentCount() && !Host; ++I)
      Host = dynamic_cast<IFactsHost*>(Owner->GetComponent(I));
  if (Host) SetHost(Host, false);
}

TFactSet::~TFactSet() {
  Destroying();
  if (Host_) Host_->FactSetDetached(this);
}

void TFactSet::Join(IFactsHost* Value) {
  if (Host_) {
    Host_->FactSetDetached(this);
    RemoveFreeNotification(Host_->GetFactsComponent());
  }
  Host_ = Value;
  Engine_ = Host_ ? Host_->GetFactsEngine() : nullptr;
  if (Host_) {
    FreeNotification(Host_->GetFactsComponent());
    Host_->FactSetAttached(this);
  } else {
    for (auto& Entry : Facts_) LetGo(Entry);
  }
}

void TFactSet::SetHost(IFactsHost* Value, bool Parse) {
  if (Value == Host_) return;
  Join(Value);
  if (!Parse || !Host_ || IsLoading()) return;
  // The lines are this engine's facts from now on.
  for (auto& Entry : Facts_) Entry.second = Host_->ReadFact(KeptText(Entry));
}

void TFactSet::SetEngine(TInferenceEngine* Value) { SetHost(FactsHostOf(Value), true); }

void TFactSet::SetEngineNoParse(TInferenceEngine* Value) { SetHost(FactsHostOf(Value), false); }

platform::TComponent* TFactSet::GetEngineComponent() const noexcept {
  return Host_ ? Host_->GetFactsComponent() : nullptr;
}

void TFactSet::SetEngineComponent(platform::TComponent* Value) { SetHost(dynamic_cast<IFactsHost*>(Value), true); }

size_t TFactSet::Checked(int Index) const {
  if (Index < 0 || Index >= GetCount()) platform::ListIndexError(Index);
  return static_cast<size_t>(Index);
}

const std::string& TFactSet::GetLine(int Index) const {
  return KeptText(const_cast<TFactSet*>(this)->Facts_[Checked(Index)]);
}

std::vector<std::string> TFactSet::GetLines() const {
  std::vector<std::string> Lines;
  Lines.reserve(Facts_.size());
  for (auto& Entry : const_cast<TFactSet*>(this)->Facts_) Lines.push_back(KeptText(Entry));
  return Lines;
}

void TFactSet::SetFacts(const std::vector<std::string>& Lines) {
  std::vector<std::pair<std::string, IFact>> Parsed;
  Parsed.reserve(Lines.size());
  for (const std::string& Line : Lines)
    Parsed.emplace_back(Line, Host_ ? Host_->ReadFact(Line + std::string(NewLineString)) : IFact());
  Facts_ = std::move(Parsed);
}

int TFactSet::AddFact(const IFact& Fact) {
  Facts_.emplace_back(std::string(), Fact);
  return GetCount() - 1;
}

IFact TFactSet::GetFact(int Index) const {
  auto& Entry = const_cast<TFactSet*>(this)->Facts_[Checked(Index)];
  // A line is parsed when its fact is first asked for.
  if (!Entry.second && Host_) Entry.second = Host_->ReadFact(Entry.first);
  return Entry.second;
}

void TFactSet::SetFact(int Index, const IFact& Fact) {
  auto& Entry = Facts_[Checked(Index)];
  Entry.first.clear();
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
    if (Entry.second && Entry.second->GetTemplate().get() == Template) LetGo(Entry);
}

namespace {
std::atomic<uint64_t> Renames{0};
}  // namespace

uint64_t FactSetRenameCount() noexcept { return Renames.load(std::memory_order_acquire); }

void TFactSet::SetFactSetName(const TIEName& Value) {
  if (Listed_ && Value != FactSetName_) Renames.fetch_add(1, std::memory_order_acq_rel);
  FactSetName_ = Value;
}

void TFactSet::Assign(const platform::TPersistent& Source) {
  const auto* From = dynamic_cast<const TFactSet*>(&Source);
  if (!From) return TComponent::Assign(Source);
  if (From == this) return;
  Comment_ = From->Comment_;
  SetFactSetName(From->FactSetName_);
  Facts_.clear();
  // Into an engine the facts are read again from their text, so they take its templates.
  auto* Owner = dynamic_cast<IFactsHost*>(GetOwner());
  for (const auto& Entry : From->Facts_) {
    const std::string Text = Entry.second ? Entry.second->ToString() : Entry.first;
    if (Owner)
      AddFact(Owner->ReadFact(Text));
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

std::string TFactSet::ToString() const {
  return Host_ ? Host_->PrintFactSet(*this) : FactsPrinter().PrintFactSet(*this);
}

void TFactSet::Reset() {
  if (!Host_) return;
  for (int I = 0; I < GetCount(); ++I) {
    IFact Copy;
    try {
      const IFact Fact = GetFact(I);
      if (!Fact) continue;
      Copy = Fact->Clone();
      Host_->ResolveFactValues(*Copy);
    } catch (const EIEException&) {
      continue;
    }
    Host_->AssertFact(Copy);
  }
}

// --- streaming -------------------------------------------------------------------------------

void TFactSet::DeclareProperties(platform::TPropertyList<TFactSet>& P) {
  P.Add("Comment", &TFactSet::GetComment, &TFactSet::SetComment);
  P.Add("Engine", &TFactSet::GetEngineComponent, &TFactSet::SetEngineComponent);
  P.Add("FactSetName", &TFactSet::GetFactSetName, &TFactSet::SetFactSetName, "FactSet");
}

void TFactSet::DefineProperties(platform::TObject& Instance, platform::TFiler& Filer) {
  auto& Set = static_cast<TFactSet&>(Instance);
  Filer.DefineProperty(
      "Facts",
      [&Set](platform::TReader& Reader) {
        std::vector<std::string> Lines = Reader.ReadStrings();
        if (!Set.Host_ || Set.IsLoading()) {
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
  if (Operation == platform::opRemove && Host_ && Component == Host_->GetFactsComponent()) {
    Host_ = nullptr;
    Engine_ = nullptr;
    for (auto& Entry : Facts_) LetGo(Entry);
  }
}

}  // namespace rulecore
