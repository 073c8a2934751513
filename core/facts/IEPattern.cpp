#include "IEPattern.h"

#include <algorithm>
#include <typeinfo>

#include "FactsHost.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Component.h"
#include "platform/Format.h"

namespace rulecore {

// A rule base holds thousands of patterns: growth is a decision, not an accident.
static_assert(sizeof(TIEPattern) <= 152, "TIEPattern grew: keep rarely used fields in its block of rare fields");
static_assert(sizeof(TSlotTests) <= 32, "TSlotTests grew");

using platform::TComponent;
using platform::TObject;
using platform::TPersistent;

namespace {

// The functions the rewriting of "or" constraints calls.
constexpr std::string_view SFunEq = "eq";
constexpr std::string_view SFunNeq = "neq";
constexpr std::string_view SFunNot = "not";
constexpr std::string_view SFunAnd = "and";
constexpr std::string_view SFunOr = "or";

IIEValue PrivateCopy(const IIEValue& Value) { return Value ? Value->Clone() : IIEValue(); }

bool SameValue(const IIEValue& A, const IIEValue& B) {
  if (!A || !B) return A == B;
  return A->Equals(B.get());
}

IIEValue CallValue(const platform::Ref<TFunCallBase>& Call) { return platform::MakeRef<TIEValue>(Call); }

platform::Ref<TFunCallBase> NewCall(IFunCallFactory& Registry, std::string_view Name, std::vector<IIEValue> Args) {
  platform::Ref<TFunCallBase> Call = Registry.NewFunCall(Name, std::move(Args));
  // A registry that answers nothing for a name has no such function.
  if (!Call) RaiseIE(SNoSuchFunction, {Name});
  return Call;
}

// The value of a slot of Fact, or of one field of it when SubIndex is not NoSubIndex.  A field
// beyond the end of the list gives nothing: such a fact has no value to compare there.
IIEValue SlotValueOf(TFact& Fact, const std::string& SlotName, int32_t SubIndex) {
  const IIEValue& Value = Fact.GetValue(SlotName);
  if (SubIndex == NoSubIndex || !Value) return Value;
  IValueVector List = Value->GetAsList();
  if (SubIndex < 0 || SubIndex >= List->GetValueCount()) return nullptr;
  return List->Get(SubIndex);
}

// As Fact.GetValue(SlotName), without a reference of its own, looking at Place first.
__attribute__((noinline)) const TIEValue* SlotValueSearched(TFact& Fact, const std::string& SlotName,
                                                            TSlotPlace& Place) {
  return GetPlacedValue(Fact, SlotName, Place).get();
}

// The remembered place decides most reads of a join test: that check is made inline.
inline const TIEValue* SlotValueAt(TFact& Fact, const std::string& SlotName, TSlotPlace& Place) {
  const TIEValue* Value;
  return PlacedValue(Fact, Place, Value) ? Value : SlotValueSearched(Fact, SlotName, Place);
}

// As SlotValueOf, without references of its own and looking at Place first: a join test of
// ordered facts reads one field of each fact's list for every pair it is given.
inline const TIEValue* FieldValueAt(TFact& Fact, const std::string& SlotName, int32_t SubIndex, TSlotPlace& Place) {
  const TIEValue* Value = SlotValueAt(Fact, SlotName, Place);
  if (SubIndex == NoSubIndex || !Value) return Value;
  const TValueVector* List = PeekList(*Value);
  if (!List) [[unlikely]] {
    (void)Value->GetAsList();  // raises the error of a value that is no list
    return nullptr;
  }
  if (SubIndex < 0 || SubIndex >= List->GetValueCount()) return nullptr;
  return List->Get(SubIndex).get();
}

}  // namespace

// =============================================================================================
// TIESlotTest
// =============================================================================================

void TIESlotTest::SetSlotTestType(TSlotTestType Value) {
  if (Value == SlotTestType_) return;
  SlotTestType_ = Value;
  Changed();
}

void TIESlotTest::Assign(const TPersistent& Source) {
  const auto* Test = dynamic_cast<const TIESlotTest*>(&Source);
  if (!Test) return TPersistent::Assign(Source);
  SlotTestType_ = Test->SlotTestType_;
  Changed();
}

bool TIESlotTest::Equals(const TIESlotTest& Other) const {
  return typeid(*this) == typeid(Other) && SlotTestType_ == Other.SlotTestType_;
}

std::string TIESlotTest::ToString() const { return SlotTestType_ == sttEquals ? "=" : "<>"; }

std::unique_ptr<TIESlotTest> TIESlotTest::DoClone() const { return std::make_unique<TIESlotTest>(SlotTestType_); }

// =============================================================================================
// TIEPatternMatchTest
// =============================================================================================

TIEPatternMatchTest::TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, TSlotTestType SlotTestType)
    : TIESlotTest(SlotTestType), SlotValue_(PrivateCopy(Value)), Pattern_(Pattern) {}

TIEPatternMatchTest::TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, int32_t SubIndex,
                                         TSlotTestType SlotTestType)
    : TIESlotTest(SlotTestType), SlotValue_(PrivateCopy(Value)), MultiSlotSubIndex_(SubIndex), Pattern_(Pattern) {}

TIEPatternMatchTest::TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, const TIEPatternMatchTest& Source)
    : TIESlotTest(Source.GetSlotTestType()),
      SlotValue_(PrivateCopy(Value)),
      MultiSlotSubIndex_(Source.MultiSlotSubIndex_),
      Conjunction_(Source.Conjunction_),
      Pattern_(Pattern) {}

void TIEPatternMatchTest::Changed() {
  // Only a test that sits in one of its pattern's lists takes part in matching; a test on its own
  // (being built, or extracted) has nothing to report.
  if (List_ && List_->GetPattern()) List_->GetPattern()->Change();
}

void TIEPatternMatchTest::SetSlotValue(const IIEValue& Value) {
  SlotValue_ = PrivateCopy(Value);
  Changed();
}

void TIEPatternMatchTest::SetMultiSlotSubIndex(int32_t Value) {
  if (Value == MultiSlotSubIndex_) return;
  MultiSlotSubIndex_ = Value;
  Changed();
}

void TIEPatternMatchTest::SetConjunction(bool Value) {
  if (Value == Conjunction_) return;
  Conjunction_ = Value;
  if (List_ && List_->GetPattern()) List_->GetPattern()->ConjunctionChanged(Value);
  Changed();
}

bool TIEPatternMatchTest::PerformTest(TObject* Context) {
  if (TFunCallBase* Call = SlotValue_ ? SlotValue_->PeekFunCall<TFunCallBase>() : nullptr) {
    const int Decided = Call->Decide(Context);
    if (Decided >= 0) return ApplySense(Decided == 1);
  }
  // Keep the value alive while it resolves: a call may change the test that holds it.
  IIEValue Value = SlotValue_;
  IIEValue Result = Value ? Value->Resolve(Context) : IIEValue();
  const bool IsFalse = Result && Result->Equals(FCFalse.get());
  return ApplySense(!IsFalse);
}

bool TIEPatternMatchTest::Equals(const TIESlotTest& Other) const {
  if (!TIESlotTest::Equals(Other)) return false;
  const auto& Test = static_cast<const TIEPatternMatchTest&>(Other);
  return MultiSlotSubIndex_ == Test.MultiSlotSubIndex_ && Conjunction_ == Test.Conjunction_ &&
         SameValue(SlotValue_, Test.SlotValue_);
}

bool TIEPatternMatchTest::Equals(bool IsEquals, int32_t SubIndex, const IIEValue& Value) const {
  return (GetSlotTestType() == sttEquals) == IsEquals && MultiSlotSubIndex_ == SubIndex && SameValue(SlotValue_, Value);
}

bool TIEPatternMatchTest::Equals(bool IsEquals, bool Conjunction, const IIEValue& Value, int32_t SubIndex) const {
  return Conjunction_ == Conjunction && Equals(IsEquals, SubIndex, Value);
}

platform::Ref<TFunCallBase> TIEPatternMatchTest::ConvertToFunCall(IFunCallFactory& Registry,
                                                                  const IIEValue& Value) const {
  const bool Positive = GetSlotTestType() == sttEquals;
  if (SlotValue_ && SlotValue_->GetDType() == dtFunCall) {
    platform::Ref<TFunCallBase> Call = SlotValue_->GetAsFunCall<TFunCallBase>();
    if (Positive) return Call;
    return NewCall(Registry, SFunNot, {CallValue(Call)});
  }
  // Each argument is a private copy: the calls outlive the tests they are made from.  The
  // compared value (the slot's variable) comes first, as a constraint reads: (eq ?x red).
  IIEValue Constraint = SlotValue_ ? SlotValue_->Clone() : platform::MakeRef<TIEValue>();
  IIEValue Compared = Value ? Value->Clone() : platform::MakeRef<TIEValue>();
  return NewCall(Registry, Positive ? SFunEq : SFunNeq, {std::move(Compared), std::move(Constraint)});
}

std::string TIEPatternMatchTest::ToString() const {
  std::string Text = TIESlotTest::ToString() + " SubIdx: " + std::to_string(MultiSlotSubIndex_);
  if (SlotValue_) Text += " Slot: " + SlotValue_->GetToString();
  return Text;
}

void TIEPatternMatchTest::Assign(const TPersistent& Source) {
  const auto* Test = dynamic_cast<const TIEPatternMatchTest*>(&Source);
  if (!Test) return TIESlotTest::Assign(Source);
  if (Test == this) return;
  SlotValue_ = PrivateCopy(Test->SlotValue_);
  MultiSlotSubIndex_ = Test->MultiSlotSubIndex_;
  if (Conjunction_ != Test->Conjunction_) {
    Conjunction_ = Test->Conjunction_;
    if (List_ && List_->GetPattern()) List_->GetPattern()->ConjunctionChanged(Conjunction_);
  }
  TIESlotTest::Assign(Source);  // the sense, and one change notice
}

std::unique_ptr<TIEPatternMatchTest> TIEPatternMatchTest::Clone() const {
  return std::unique_ptr<TIEPatternMatchTest>(static_cast<TIEPatternMatchTest*>(DoClone().release()));
}

std::unique_ptr<TIESlotTest> TIEPatternMatchTest::DoClone() const {
  return std::make_unique<TIEPatternMatchTest>(Pattern_, SlotValue_, *this);
}

// =============================================================================================
// TIEJoinTest
// =============================================================================================

TIEJoinTest::TIEJoinTest(TSlotTestType SlotTestType, std::string LeftIndex, std::string RightIndex, int32_t TokenIndex)
    : TIESlotTest(TJoinKind{}, SlotTestType),
      LeftIndex_(std::move(LeftIndex)),
      RightIndex_(std::move(RightIndex)),
      TokenIndex_(TokenIndex) {
  NoteFactPlaces();
}

TIEJoinTest::TIEJoinTest(TSlotTestType SlotTestType, std::string LeftIndex, int32_t LeftSubIndex,
                         std::string RightIndex, int32_t RightSubIndex, int32_t TokenIndex)
    : TIESlotTest(TJoinKind{}, SlotTestType),
      JoinTestType_(tstMultiSlot),
      LeftIndex_(std::move(LeftIndex)),
      LeftSubIndex_(LeftSubIndex),
      RightIndex_(std::move(RightIndex)),
      RightSubIndex_(RightSubIndex),
      TokenIndex_(TokenIndex) {
  NoteFactPlaces();
}

bool TIEJoinTest::PerformTest(TObject* Context) {
  auto* Join = dynamic_cast<IJoinTestContext*>(Context);
  if (!Join) RaiseIE(SNoContext, {"join test"});
  return PerformTest(*Join);
}

bool TIEJoinTest::PerformTest(IJoinTestContext& Join) {
  // A token position without a fact belongs to a negated pattern: nothing was bound there, so
  // there is nothing to compare against and the test does not constrain the match.  This holds
  // for whole-slot tests as for field tests (reading the missing fact would be a crash).
  TFact* Left = Join.GetTokenFact(TokenIndex_);
  if (!Left) return ApplySense(true);
  TFact* Right = Join.GetCurrentFact();
  if (!Right) RaiseIE(SNoContext, {"join test"});
  return Holds(Left, *Right);
}

bool TIEJoinTest::Holds(TFact* Left, TFact& Right) {
  bool Result = true;
  if (Left) {
    if (FactPlaces_) [[unlikely]] {
      Result = HoldsOnFactPlace(*Left, Right);
    } else if (JoinTestType_ == tstMultiSlot) {
      const TIEValue* LeftValue = FieldValueAt(*Left, LeftIndex_, LeftSubIndex_, LeftPlace_);
      const TIEValue* RightValue = FieldValueAt(Right, RightIndex_, RightSubIndex_, RightPlace_);
      Result = LeftValue && RightValue && LeftValue->Equals(RightValue);
    } else {
      const TIEValue* LeftValue = SlotValueAt(*Left, LeftIndex_, LeftPlace_);
      const TIEValue* RightValue = SlotValueAt(Right, RightIndex_, RightPlace_);
      Result = LeftValue && RightValue && LeftValue->Equals(RightValue);
    }
  }
  return ApplySense(Result);
}

bool TIEJoinTest::HoldsOnFactPlace(TFact& Left, TFact& Right) const {
  const TIEValue LeftId(Left.GetID(), dtFactId);
  const TIEValue RightId(Right.GetID(), dtFactId);
  const IIEValue LeftHeld = IsFactPlace(LeftIndex_) ? nullptr : SlotValueOf(Left, LeftIndex_, LeftSubIndex_);
  const IIEValue RightHeld = IsFactPlace(RightIndex_) ? nullptr : SlotValueOf(Right, RightIndex_, RightSubIndex_);
  const TIEValue* LeftValue = IsFactPlace(LeftIndex_) ? &LeftId : LeftHeld.get();
  const TIEValue* RightValue = IsFactPlace(RightIndex_) ? &RightId : RightHeld.get();
  return LeftValue && RightValue && LeftValue->Equals(RightValue);
}

bool TIEJoinTest::Equals(const TIESlotTest& Other) const {
  if (!TIESlotTest::Equals(Other)) return false;
  const auto& Test = static_cast<const TIEJoinTest&>(Other);
  return JoinTestType_ == Test.JoinTestType_ && LeftIndex_ == Test.LeftIndex_ && RightIndex_ == Test.RightIndex_ &&
         LeftSubIndex_ == Test.LeftSubIndex_ && RightSubIndex_ == Test.RightSubIndex_ &&
         TokenIndex_ == Test.TokenIndex_;
}

std::string TIEJoinTest::ToString() const {
  std::string Text =
      TIESlotTest::ToString() + " " + platform::EnumName(JoinTestType_) + " TokenIdx: " + std::to_string(TokenIndex_);
  if (JoinTestType_ == tstMultiSlot)
    Text += " Left: " + LeftIndex_ + " " + std::to_string(LeftSubIndex_) + " Right: " + RightIndex_ + " " +
            std::to_string(RightSubIndex_);
  else
    Text += " Left: " + LeftIndex_ + " Right: " + RightIndex_;
  return Text;
}

void TIEJoinTest::Assign(const TPersistent& Source) {
  const auto* Test = dynamic_cast<const TIEJoinTest*>(&Source);
  if (!Test) return TIESlotTest::Assign(Source);
  if (Test == this) return;
  JoinTestType_ = Test->JoinTestType_;
  LeftIndex_ = Test->LeftIndex_;
  LeftSubIndex_ = Test->LeftSubIndex_;
  RightIndex_ = Test->RightIndex_;
  RightSubIndex_ = Test->RightSubIndex_;
  TokenIndex_ = Test->TokenIndex_;
  NoteFactPlaces();
  TIESlotTest::Assign(Source);
}

std::unique_ptr<TIEJoinTest> TIEJoinTest::Clone() const {
  return std::unique_ptr<TIEJoinTest>(static_cast<TIEJoinTest*>(DoClone().release()));
}

std::unique_ptr<TIESlotTest> TIEJoinTest::DoClone() const {
  auto Copy = std::make_unique<TIEJoinTest>();
  Copy->Assign(*this);
  return Copy;
}

// =============================================================================================
// TSlotTests
// =============================================================================================

TSlotTests::~TSlotTests() { Clear(); }

TIEPatternMatchTest* TSlotTests::Get(int Index) const {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  return Items_[static_cast<size_t>(Index)].get();
}

int TSlotTests::IndexOf(const TIEPatternMatchTest* Test) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (Items_[I].get() == Test) return static_cast<int>(I);
  return -1;
}

void TSlotTests::Adopt(TIEPatternMatchTest& Test) {
  Test.List_ = this;
  if (Pattern_) {
    Test.Pattern_ = Pattern_;
    Pattern_->TestAdded(Test);
  }
}

void TSlotTests::Released(TIEPatternMatchTest& Test) {
  Test.List_ = nullptr;
  if (Pattern_) Pattern_->TestRemoved(Test);
}

TIEPatternMatchTest* TSlotTests::Add(std::unique_ptr<TIEPatternMatchTest> Test) {
  return Insert(Count(), std::move(Test));
}

TIEPatternMatchTest* TSlotTests::Insert(int Index, std::unique_ptr<TIEPatternMatchTest> Test) {
  if (!Test) return nullptr;
  if (Index < 0 || Index > Count()) platform::ListIndexError(Index);
  TIEPatternMatchTest* Raw = Test.get();
  Items_.push_back(std::move(Test));
  std::rotate(Items_.begin() + Index, Items_.end() - 1, Items_.end());
  Adopt(*Raw);
  return Raw;
}

TIEPatternMatchTest* TSlotTests::Put(int Index, std::unique_ptr<TIEPatternMatchTest> Test) {
  if (!Test) return nullptr;
  std::unique_ptr<TIEPatternMatchTest> Old = Extract(Index);
  return Insert(Index, std::move(Test));
}

void TSlotTests::Delete(int Index) { Extract(Index).reset(); }

std::unique_ptr<TIEPatternMatchTest> TSlotTests::Extract(int Index) {
  if (Index < 0 || Index >= Count()) platform::ListIndexError(Index);
  std::unique_ptr<TIEPatternMatchTest> Test = std::move(Items_[static_cast<size_t>(Index)]);
  Items_.erase(Items_.begin() + Index);
  Released(*Test);
  return Test;
}

void TSlotTests::Clear() {
  while (!Items_.empty()) Delete(Count() - 1);
}

// =============================================================================================
// TIEPattern: construction
// =============================================================================================

TIEPattern::TIEPattern(TComponent* Owner, int32_t NegatedCount, const IFactTemplate& Template, const TIEName& Name)
    : NegatedCount_(NegatedCount), Template_(Template), Name_(Name), Owner_(Owner) {
  AddTemplateSlots();
}

TIEPattern::TIEPattern(TComponent* Owner, int32_t NegatedCount, const TIEName& Name, const TIEPattern& Source)
    : NegatedCount_(NegatedCount), Template_(Source.Template_), Name_(Name), Owner_(Owner) {
  // A pattern being made tells nobody about the tests it receives.  (Virtual calls reach this
  // class's CreatePatternMatchTest here, as in any constructor.)
  ++UpdateCount_;
  AddTemplateSlots();
  ISymbolGenerator* Symbols = SymbolGenerator();
  if (!Symbols) Symbols = Source.SymbolGenerator();
  CopyTestsFrom(Source, Symbols);
  --UpdateCount_;
}

TIEPattern::~TIEPattern() {
  Destroying_ = true;
  Slots_.clear();
}

TIEPattern::TRare& TIEPattern::Rare() {
  if (!Rare_) Rare_ = std::make_unique<TRare>();
  return *Rare_;
}

const std::string& TIEPattern::GetComment() const noexcept {
  static const std::string None;
  return Rare_ ? Rare_->Comment : None;
}

void TIEPattern::SetComment(const std::string& Value) {
  if (Rare_ || !Value.empty()) Rare().Comment = Value;
}

const TNotifyEvent& TIEPattern::GetOnChange() const noexcept {
  static const TNotifyEvent None;
  return Rare_ ? Rare_->OnChange : None;
}

void TIEPattern::SetOnChange(TNotifyEvent Value) {
  if (Rare_ || Value) Rare().OnChange = std::move(Value);
}

void TIEPattern::AddTemplateSlots() {
  if (!Template_) return;
  // Exactly the room the template's slots need: growing by doubling left a quarter or more of
  // every pattern's slot list unused.
  if (Slots_.empty()) Slots_.reserve(Template_->GetSlots().size());
  for (const IFactSlot& S : Template_->GetSlots()) EntryFor(S->GetName());
}

void TIEPattern::CopyTestsFrom(const TIEPattern& Source, ISymbolGenerator* Symbols) {
  if (Slots_.empty()) Slots_.reserve(Source.Slots_.size());
  for (const TPatternSlot& From : Source.Slots_) {
    TPatternSlot& To = EntryFor(From.Name);
    To.Length = From.Length;
    if (!From.Tests) continue;
    TSlotTests& Tests = TestsOf(To);
    for (const auto& Test : *From.Tests) {
      IIEValue Value = Test->GetSlotValue();
      // Anonymous variables are renamed (keeping their kind and the multifield prefix) so that
      // the copy does not join with its source on them.  Without a generator there is no rule
      // to collide in, and the names are kept as Assign keeps them.
      if (Symbols && Value && IEVariableTypes.Contains(Value->GetDType()) &&
          Value->GetText().starts_with(SBlankPrefix)) {
        const std::string_view Prefix = Value->GetText().starts_with(SBlankMulti) ? SBlankMulti : SBlankPrefix;
        Value = NewValue(Symbols->GenerateSymbol(Prefix), Value->GetDType());
      }
      std::unique_ptr<TIEPatternMatchTest> Copy =
          CreatePatternMatchTest(this, Test->GetSlotTestType(), Value, Test->GetMultiSlotSubIndex());
      Copy->SetConjunction(Test->GetConjunction());
      Tests.Add(std::move(Copy));
    }
  }
}

ISymbolGenerator* TIEPattern::SymbolGenerator() const {
  if (auto* Rule = dynamic_cast<IPatternOwner*>(Owner_)) return Rule->GetSymbolGenerator();
  return dynamic_cast<ISymbolGenerator*>(Owner_);
}

// =============================================================================================
// TIEPattern: properties and change propagation
// =============================================================================================

void TIEPattern::SetFactTemplate(const IFactTemplate& Value) {
  if (Value == Template_) return;
  Template_ = Value;
  AddTemplateSlots();
  Change();
}

void TIEPattern::SetNegatedCount(int32_t Value) {
  if (Value == NegatedCount_) return;
  NegatedCount_ = Value;
  Change();
}

void TIEPattern::SetBoundName(const TIEName& Value) {
  if (Value == BoundName_) return;
  if (!Value.empty() && IsNegated() && Name_ == STestCE) RaiseIE(SInvalidPatternBinding);
  BoundName_ = Value;
  Change();
}

void TIEPattern::SetUnique(bool Value) {
  if (Value == Unique_) return;
  Unique_ = Value;
  Change();
}

void TIEPattern::SetExplicit(bool Value) {
  if (Value == Explicit_) return;
  Explicit_ = Value;
  Change();
}

void TIEPattern::SetOwner(TComponent* Value) {
  if (Value == Owner_) return;
  Owner_ = Value;
  Change();
}

void TIEPattern::EndUpdate() {
  if (UpdateCount_ == 0) return;
  if (--UpdateCount_ == 0) Change();
}

void TIEPattern::Change() {
  if (UpdateCount_ > 0 || Destroying_) return;
  if (auto* Rule = dynamic_cast<IPatternOwner*>(Owner_)) Rule->Change(*this);
  if (Rare_ && Rare_->OnChange) Rare_->OnChange(this);
}

void TIEPattern::TestAdded(const TIEPatternMatchTest& Test) {
  if (Destroying_) return;
  ++TestCount_;
  if (!Test.GetConjunction()) ++DisjunctionCount_;
  Change();
}

void TIEPattern::TestRemoved(const TIEPatternMatchTest& Test) {
  if (Destroying_) return;
  --TestCount_;
  if (!Test.GetConjunction()) --DisjunctionCount_;
  Change();
}

void TIEPattern::ConjunctionChanged(bool Conjunction) { DisjunctionCount_ += Conjunction ? -1 : 1; }

// =============================================================================================
// TIEPattern: slots and tests
// =============================================================================================

const TPatternSlot& TIEPattern::Slot(int Index) const {
  if (Index < 0 || Index >= GetSlotCount()) platform::ListIndexError(Index);
  return Slots_[static_cast<size_t>(Index)];
}

TPatternSlot& TIEPattern::Slot(int Index) {
  return const_cast<TPatternSlot&>(static_cast<const TIEPattern*>(this)->Slot(Index));
}

int TIEPattern::IndexOfSlotName(std::string_view Name) const noexcept {
  for (size_t I = 0; I < Slots_.size(); ++I)
    if (Slots_[I].Name == Name) return static_cast<int>(I);
  return -1;
}

TPatternSlot& TIEPattern::EntryFor(std::string_view Name) {
  if (const int I = IndexOfSlotName(Name); I >= 0) return Slots_[static_cast<size_t>(I)];
  // The template's order: case-insensitive by name.
  auto At = std::upper_bound(Slots_.begin(), Slots_.end(), Name, [](std::string_view N, const TPatternSlot& S) {
    return platform::CompareText(N, S.Name) < 0;
  });
  return *Slots_.insert(At, TPatternSlot{std::string(Name), nullptr, -1});
}

TSlotTests& TIEPattern::TestsOf(TPatternSlot& Entry) {
  if (!Entry.Tests) Entry.Tests = std::make_unique<TSlotTests>(this);
  return *Entry.Tests;
}

int TIEPattern::GetSlotTestCount(int Index) const {
  const TSlotTests* Tests = GetSlotTests(Index);
  return Tests ? Tests->Count() : 0;
}

TIEPatternMatchTest* TIEPattern::GetSlotTest(int SlotIndex, int TestIndex) const {
  const TSlotTests* Tests = GetSlotTests(SlotIndex);
  if (!Tests) platform::ListIndexError(TestIndex);
  return Tests->Get(TestIndex);
}

void TIEPattern::SetSlotTest(int SlotIndex, int TestIndex, std::unique_ptr<TIEPatternMatchTest> Test) {
  TSlotTests* Tests = GetSlotTests(SlotIndex);
  if (!Tests) platform::ListIndexError(TestIndex);
  Tests->Put(TestIndex, std::move(Test));
}

void TIEPattern::SetSlotLength(int Index, int32_t Value) {
  TPatternSlot& Entry = Slot(Index);
  if (Entry.Length == Value) return;
  Entry.Length = Value;
  // The length constrains matching as a test does.
  Change();
}

void TIEPattern::SetTests(const TPatternSlots& Source) {
  if (&Source == &Slots_) return;
  BeginUpdate();
  try {
    // Build the new list first: the old tests may be what Source holds.
    TPatternSlots Rebuilt;
    Rebuilt.reserve(Source.size());
    for (const TPatternSlot& From : Source) {
      TPatternSlot Entry{From.Name, nullptr, From.Length};
      if (From.Tests) {
        Entry.Tests = std::make_unique<TSlotTests>(this);
        for (const auto& Test : *From.Tests) Entry.Tests->Add(CreatePatternMatchTest(*Test));
      }
      Rebuilt.push_back(std::move(Entry));
    }
    std::sort(Rebuilt.begin(), Rebuilt.end(),
              [](const TPatternSlot& A, const TPatternSlot& B) { return platform::CompareText(A.Name, B.Name) < 0; });
    Slots_.swap(Rebuilt);
    Rebuilt.clear();  // frees the old tests, which takes them off the counts
    AddTemplateSlots();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TIEPatternMatchTest* TIEPattern::AddTest(std::string_view SlotName, std::unique_ptr<TIEPatternMatchTest> Test) {
  if (!Template_) RaiseIE(SNoTemplate);
  if (!Template_->ContainsSlot(SlotName)) RaiseIE(SInvalidSlotName, {SlotName});
  return TestsOf(EntryFor(SlotName)).Add(std::move(Test));
}

TIEPatternMatchTest* TIEPattern::AddTest(std::string_view SlotName, const IIEValue& Value, bool Conjunction,
                                         bool NotEquals, int32_t SubIndex) {
  std::unique_ptr<TIEPatternMatchTest> Test =
      CreatePatternMatchTest(this, NotEquals ? sttNotEquals : sttEquals, Value, SubIndex);
  // Set before the test joins the list, which then counts it once, as what it finally is.
  Test->SetConjunction(Conjunction);
  return AddTest(SlotName, std::move(Test));
}

std::unique_ptr<TIEPatternMatchTest> TIEPattern::CreatePatternMatchTest(TIEPattern* Pattern, TSlotTestType SlotTestType,
                                                                        const IIEValue& Value, int32_t SubIndex) const {
  return std::make_unique<TIEPatternMatchTest>(Pattern, Value, SubIndex, SlotTestType);
}

std::unique_ptr<TIEPatternMatchTest> TIEPattern::CreatePatternMatchTest(const TIEPatternMatchTest& Source) const {
  return std::make_unique<TIEPatternMatchTest>(const_cast<TIEPattern*>(this), Source.GetSlotValue(), Source);
}

// =============================================================================================
// TIEPattern: rewriting disjunctions
// =============================================================================================
//
// The network joins a slot's tests by "and" only.  A slot constraint with alternatives, such as
// ?x&red|blue, is therefore rewritten per group of tests on the same field into
//     ?x        a test that binds the field (the group's own variable, or a new "_blank_" one)
//     (or (eq ?x red) (eq ?x blue))
// where each alternative is the run of tests up to the next test with Conjunction false.
// The new lists are built aside and swapped in at the end, so a failure (no engine, an unknown
// function) leaves the pattern and the rule's bindings as they were.

void TIEPattern::FixTests() {
  if (DisjunctionCount_ == 0) return;
  auto* Rule = dynamic_cast<IPatternOwner*>(Owner_);
  if (!Rule) RaiseIE(SPatternRuleMissing);
  IFunCallFactory* Registry = Rule->GetFunCallFactory();
  if (!Registry) RaiseIE(SUnknownEngine);

  struct TNewBinding {
    std::string Name;
    std::string Slot;
    int32_t SubIndex;
  };
  std::vector<TNewBinding> Bindings;
  std::vector<std::pair<size_t, std::vector<std::unique_ptr<TIEPatternMatchTest>>>> Rebuilt;

  for (size_t S = 0; S < Slots_.size(); ++S) {
    const TSlotTests* Tests = Slots_[S].Tests.get();
    if (!Tests) continue;
    const int Count = Tests->Count();
    if (std::all_of(Tests->begin(), Tests->end(), [](const auto& T) { return T->GetConjunction(); })) continue;

    std::vector<std::unique_ptr<TIEPatternMatchTest>> NewTests;
    for (int First = 0; First < Count;) {
      const int32_t SubIndex = Tests->Get(First)->GetMultiSlotSubIndex();
      int End = First + 1;
      while (End < Count && Tests->Get(End)->GetMultiSlotSubIndex() == SubIndex) ++End;

      bool Disjunctive = false;
      for (int I = First; I < End; ++I) Disjunctive = Disjunctive || !Tests->Get(I)->GetConjunction();
      if (!Disjunctive) {
        for (int I = First; I < End; ++I) NewTests.push_back(CreatePatternMatchTest(*Tests->Get(I)));
        First = End;
        continue;
      }

      // The anchor: a leading variable that binds the field, else a new anonymous variable.  A
      // negated variable binds nothing, so it stays among the alternatives.
      const TIEPatternMatchTest& Head = *Tests->Get(First);
      IIEValue Anchor;
      int Rest = First;
      if (Head.GetSlotValue() && IEVariableTypes.Contains(Head.GetSlotValue()->GetDType()) &&
          Head.GetSlotTestType() == sttEquals) {
        Anchor = Head.GetSlotValue();
        Rest = First + 1;
      } else {
        ISymbolGenerator* Symbols = Rule->GetSymbolGenerator();
        if (!Symbols) RaiseIE(SUnknownEngine);
        std::string Name = Symbols->GenerateSymbol(SBlankPrefix);
        Anchor = NewValue(Name, dtVariable);
        Bindings.push_back({std::move(Name), Slots_[S].Name, SubIndex});
      }
      NewTests.push_back(CreatePatternMatchTest(this, sttEquals, Anchor, SubIndex));

      std::vector<IIEValue> Alternatives;
      for (int I = Rest; I < End;) {
        int Next = I + 1;
        while (Next < End && Tests->Get(Next)->GetConjunction()) ++Next;
        if (Next - I == 1) {
          Alternatives.push_back(CallValue(Tests->Get(I)->ConvertToFunCall(*Registry, Anchor)));
        } else {
          std::vector<IIEValue> Parts;
          for (int K = I; K < Next; ++K) Parts.push_back(CallValue(Tests->Get(K)->ConvertToFunCall(*Registry, Anchor)));
          Alternatives.push_back(CallValue(NewCall(*Registry, SFunAnd, std::move(Parts))));
        }
        I = Next;
      }
      if (!Alternatives.empty())
        NewTests.push_back(CreatePatternMatchTest(
            this, sttEquals, CallValue(NewCall(*Registry, SFunOr, std::move(Alternatives))), SubIndex));
      First = End;
    }
    Rebuilt.emplace_back(S, std::move(NewTests));
  }

  int32_t FactIndex = -1;
  if (!Bindings.empty()) {
    // A binding at no position of the rule would read a fact the token does not have.
    FactIndex = Rule->IndexOfPattern(*this);
    if (FactIndex < 0) RaiseIE(SPatternRuleMissing);
  }

  BeginUpdate();
  try {
    for (const TNewBinding& B : Bindings) Rule->AddBinding(B.Name, FactIndex, B.Slot, B.SubIndex);
    for (auto& [S, NewTests] : Rebuilt) {
      TSlotTests& Tests = *Slots_[S].Tests;
      Tests.Clear();
      for (auto& Test : NewTests) Tests.Add(std::move(Test));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// =============================================================================================
// TIEPattern: copying and text
// =============================================================================================

void TIEPattern::AssignFrom(const TIEPattern& Source) {
  SetComment(Source.GetComment());
  BoundName_ = Source.BoundName_;
  Unique_ = Source.Unique_;
  Explicit_ = Source.Explicit_;
  Name_ = Source.Name_;
  Template_ = Source.Template_;
  NegatedCount_ = Source.NegatedCount_;
  SetTests(Source.Slots_);
}

void TIEPattern::Assign(const TPersistent& Source) {
  const auto* Pattern = dynamic_cast<const TIEPattern*>(&Source);
  if (!Pattern) return TPersistent::Assign(Source);
  if (Pattern == this) return;
  BeginUpdate();
  try {
    AssignFrom(*Pattern);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::unique_ptr<TIEPattern> TIEPattern::NewInstance(TComponent* Owner) const {
  std::unique_ptr<TObject> Object(ClassType().Factory ? ClassType().CreateInstance(Owner) : nullptr);
  if (auto* Pattern = dynamic_cast<TIEPattern*>(Object.get())) {
    Object.release();
    return std::unique_ptr<TIEPattern>(Pattern);
  }
  return std::make_unique<TIEPattern>(Owner);
}

std::unique_ptr<TIEPattern> TIEPattern::Clone(TComponent* Owner) const {
  IFactTemplate Template = Template_;
  auto* Engine = dynamic_cast<IFactsHost*>(Owner);
  if (Engine && Template_ && Engine != Template_->GetHost()) {
    Template = Engine->LookUpFactTemplate(Template_->GetTemplateName());
    if (!Template) {
      Template = Engine->MakeFactTemplate(Template_->GetTemplateName());
      Template->Assign(static_cast<const TPersistent&>(*Template_));
    }
  }
  std::unique_ptr<TIEPattern> Copy = NewInstance(Owner);
  // A copy is not yet part of anything: it announces no change while it is filled.
  ++Copy->UpdateCount_;
  Copy->AssignFrom(*this);
  if (Template != Template_) {
    Copy->Template_ = Template;
    Copy->AddTemplateSlots();
  }
  --Copy->UpdateCount_;
  return Copy;
}

std::string TIEPattern::ToString() const { return FactsPrinter().PrintPattern(*this); }

}  // namespace rulecore
