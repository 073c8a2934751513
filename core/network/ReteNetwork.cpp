#include "ReteNetwork.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "IERule.h"
#include "NetworkHost.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "fuzzy/IFuzzyLogic.h"
#include "platform/BothEnds.h"
#include "platform/Format.h"
#include "platform/StackGuard.h"

namespace rulecore {

// One per rule: growth is a decision, not an accident.
static_assert(sizeof(TPatternMatchTerminalNode) <= 136, "the terminal node grew: make rarely used parts on first use");

namespace {

// Points a node's context at a match for the length of its tests, and away from it afterwards,
// also when a test raises: the context only borrows the token and the fact.
class TMatchScope {
 public:
  TMatchScope(TIEContext& Context, ITokenFacts* Token, TFact* Fact) noexcept : Context_(Context) {
    Context.SetToken(Token);
    Context.SetFact(Fact);
  }
  ~TMatchScope() {
    Context_.SetToken(nullptr);
    Context_.SetFact(nullptr);
  }
  TMatchScope(const TMatchScope&) = delete;
  TMatchScope& operator=(const TMatchScope&) = delete;

 private:
  TIEContext& Context_;
};

// Walks a join memory: with a hash key only the key's bucket (Exact leaves out tokens whose
// exact key shows a leading equality test fails), otherwise every used bucket from the lowest
// to the highest.  Visit(walk, exact key) answers false to end the walk.
template <class TVisitor>
void WalkMemory(TIETokenTree& Memory, const int32_t* Key, int64_t Exact, TVisitor&& Visit) {
  if (Key) {
    TIETokenTree::TVisit Tokens(Memory, Memory.VisitedBucket(*Key));
    Visit(Tokens, Exact);
    return;
  }
  // Each next bucket is looked up as the walk reaches it: code run for a token may fill or
  // empty buckets further on.
  TIETokenTree::TVisit Tokens(Memory, -1);
  for (int B = Memory.NextFilled(Memory.GetLowest()); B >= 0 && B <= Memory.GetHighest();
       B = Memory.NextFilled(B + 1)) {
    Tokens.Start(B);
    if (!Visit(Tokens, TIETokenTree::WildKey)) return;
  }
}

// An error a node's test raised, already named with the pattern and rule (see RaiseMatchError).
class EMatchError final : public EIEException {
 public:
  using EIEException::EIEException;
};

}  // namespace

void RaiseBusy(std::string_view What) {
  throw EIEException(std::string(What) + " is not allowed while facts are being matched or activations placed");
}

namespace {

bool IsFalse(const IIEValue& Value) noexcept { return Value == FCFalse || (Value && Value->Equals(FCFalse.get())); }

// How well two values match when one is fuzzy: the fuzzy set's degree against the other value.
float FuzzyDegree(const TIEValue& A, const TIEValue& B) {
  const TIEValue& Fuzzy = A.GetDType() == dtFuzzy ? A : B;
  const TIEValue& Other = A.GetDType() == dtFuzzy ? B : A;
  const IFuzzySet Set = Fuzzy.GetAsFuzzy();
  if (!Set) return 0;
  if (Other.GetDType() == dtFuzzy) {
    const IFuzzySet OtherSet = Other.GetAsFuzzy();
    return OtherSet ? static_cast<float>(Set->FuzzyEquals(OtherSet.get())) : 0.0f;
  }
  if (IENumericTypes.Contains(Other.GetDType()))
    return static_cast<float>(Set->DegreeOfMembership(Other.GetAsNumeric()));
  return 0;
}

// Two fuzzy constants a one-input node may share: the same points in the same variable.  (Two
// sets that both reach membership 1 somewhere - hot and very hot - match each other fully but
// give a fact different degrees.)
bool SameFuzzyValue(const TIEValue& A, const TIEValue& B) {
  const IFuzzySet X = A.GetAsFuzzy();
  const IFuzzySet Y = B.GetAsFuzzy();
  return X && Y && X->GetVariable() == Y->GetVariable() && X->EqualsValues(*Y);
}

// Every binding place inside a converted call points at FactIndex.
void RebaseBindings(TFunctionCall& Call, int32_t FactIndex) {
  for (int I = 0; I < Call.GetArgumentCount(); ++I) {
    const IIEValue& A = Call.GetArgument(I);
    if (!A) continue;
    if (A->GetDType() == dtObject) {
      if (auto* B = dynamic_cast<TBindingInfo*>(A->GetAsObject())) B->FactIndex = FactIndex;
    } else if (A->GetDType() == dtFunCall) {
      if (auto Nested = A->GetAsFunCall<TFunctionCall>()) RebaseBindings(*Nested, FactIndex);
    }
  }
}

// A multifield field of a slot: its sub-index and what may follow it.
struct TSegment {
  int32_t SubIndex;
  TTailRange Tail;
};

// The multifield fields of a slot's tests, in field order, each once however many multifield
// terms its constraint joins with "&", "|" or "~" (each of them compares the one segment whole).
// Fields is the slot's field count, -1 when the pattern leaves it open.  With the count known
// the tail of a segment is bounded: each later single field takes one element, so the tail
// holds at least that many, and after the slot's last segment exactly that many.
std::vector<TSegment> Segments(const TSlotTests& Tests, int32_t Fields) {
  std::vector<int32_t> Multi;
  for (const auto& T : Tests)
    if (T->GetSlotValue() && T->GetSlotValue()->GetDType() == dtMultiVariable)
      Multi.push_back(T->GetMultiSlotSubIndex());
  std::sort(Multi.begin(), Multi.end());
  Multi.erase(std::unique(Multi.begin(), Multi.end()), Multi.end());
  std::vector<TSegment> Result;
  for (size_t K = 0; K < Multi.size(); ++K) {
    TSegment Segment{Multi[K], {}};
    if (Fields >= 0 && Multi[K] >= 0 && Multi[K] < Fields) {
      const auto Later = Fields - 1 - Multi[K];
      const auto LaterSegments = static_cast<int32_t>(Multi.size() - 1 - K);
      Segment.Tail.Min = Later - LaterSegments;
      if (LaterSegments == 0) Segment.Tail.Max = Later;
    }
    Result.push_back(Segment);
  }
  return Result;
}

IIEValue BindingValue(const TBindingInfo& Info) {
  auto* Copy = new TBindingInfo(Info.FactIndex, Info.SlotIndex, Info.SubIndex);
  return platform::MakeRef<TIEValue>(Copy, true);
}

}  // namespace

// =============================================================================================
// TReteNode
// =============================================================================================

TReteNode::TReteNode(TReteNetwork& Rete) : Rete_(Rete) {}

TIEContext& TReteNode::MakeContext() const {
  TIEContext* Root = Rete_.GetHost() ? Rete_.GetHost()->GetContext() : nullptr;
  Context_.reset(Root ? Root->Push() : new TIEContext());
  return *Context_;
}

TReteNode::~TReteNode() = default;

void TReteNode::CallChildren(const IReteToken& Token) {
  // A token goes one node deeper per pattern of a rule, and rules may have thousands: a new
  // match stops before the stack runs out.  A removal is never stopped: it goes only where the
  // matches it takes back went, and stopping it would leave them behind.
  // The clear token is passed on by the network's own walk (ClearAll), without recursion.
  const TTokenAction Tag = Token->GetTag();
  if (Tag != taRemove) {
    if (Tag == taClear) return;
    const INetworkHost* Host = Rete_.GetHost();
    if (platform::StackNearlyExhausted(Host ? Host->GetStackReserveBytes() : 0)) [[unlikely]]
      RaiseIE(SNestingTooDeep, {"pattern matching"});
  }
  if (Children_.size() >= DispatchFrom && Token->GetFact()) {
    CallChildrenDispatched(Token, *Token->GetFact());
    return;
  }
  for (size_t I = 0; I < Children_.size(); ++I)
    if (TReteNode* Child = Children_[I].Node) Child->CallNode(Token, Children_[I].CallType);
}

struct TReteNetwork::TDispatch {
  // The children testing one slot (or one field of a multislot: an ordered fact's) against
  // constants whose hash codes follow equality.
  struct TGroup {
    const std::string* Slot;
    int32_t SubIndex;  // the field, or NoSubIndex for the whole slot
    mutable TSlotPlace Place;
    std::unordered_multimap<uint32_t, uint32_t> ByHash;  // constant's hash code -> child position
    std::vector<uint32_t> All;                           // the group's child positions, in order
  };
  std::vector<TGroup> Groups;
  std::vector<uint32_t> Others;  // the children given every fact, in order
};

namespace {

// A constant (or a fact's value) whose equality with another such value implies equal hash
// codes.  Fuzzy values, lists and missing values compare otherwise: every test gets them.
bool HashesByEquality(const TIEValue* Value) noexcept {
  return Value && TIETypes{dtInteger, dtFloat, dtAtom, dtString, dtFactId, dtDescriptor}.Contains(Value->GetDType());
}

}  // namespace

std::shared_ptr<const TReteNetwork::TDispatch> TReteNetwork::DispatchOf(const TReteNode& Node) {
  auto& Slot = Dispatches_[&Node];
  if (Slot) return Slot;
  auto Made = std::make_shared<TDispatch>();
  constexpr size_t MaxGroups = 8;
  const std::vector<TReteEdge>& Children = Node.GetChildren();
  for (size_t I = 0; I < Children.size(); ++I) {
    if (!Children[I].Node) continue;
    const auto* Test = Children[I].CallType == ctSingle ? dynamic_cast<TPatternMatchNode*>(Children[I].Node) : nullptr;
    const TPatternMatchTest Kind = Test ? Test->GetPatternMatchTest() : pmtUnknown;
    const bool Keyed = (Kind == pmtTestEqual || Kind == pmtTestMultiSlotEqual) && HashesByEquality(Test->GetValue().get());
    const int32_t SubIndex = Kind == pmtTestMultiSlotEqual ? Test->GetArgA() : NoSubIndex;
    auto Group = std::find_if(Made->Groups.begin(), Made->Groups.end(), [&](const TDispatch::TGroup& G) {
      return Keyed && G.SubIndex == SubIndex && *G.Slot == Test->GetSlotA();
    });
    if (Keyed && Group == Made->Groups.end() && Made->Groups.size() < MaxGroups) {
      Made->Groups.push_back({&Test->GetSlotA(), SubIndex, {}, {}, {}});
      Group = Made->Groups.end() - 1;
    }
    if (!Keyed || Group == Made->Groups.end()) {
      Made->Others.push_back(static_cast<uint32_t>(I));
      continue;
    }
    Group->ByHash.emplace(Test->GetValue()->GetHashCode(), static_cast<uint32_t>(I));
    Group->All.push_back(static_cast<uint32_t>(I));
  }
  Slot = std::move(Made);
  return Slot;
}

void TReteNode::CallChildrenDispatched(const IReteToken& Token, TFact& Fact) {
  // Held for the walk: code run by a child cannot change the network while a token propagates
  // (it is busy), but nothing here relies on that.
  const std::shared_ptr<const TReteNetwork::TDispatch> Dispatch = Rete_.DispatchOf(*this);
  // The positions to call, merged in the order of the children (the order activations take).
  platform::TSmallVector<uint32_t, 16> Called;
  for (const TReteNetwork::TDispatch::TGroup& Group : Dispatch->Groups) {
    const TIEValue* Value = PlaceValue(Fact, *Group.Slot, Group.SubIndex, &Group.Place);
    if (!Value) continue;  // no such slot or field: none of the group's tests passes
    if (!HashesByEquality(Value)) {
      for (const uint32_t I : Group.All) Called.push_back(I);
      continue;
    }
    auto [It, End] = Group.ByHash.equal_range(Value->GetHashCode());
    for (; It != End; ++It) Called.push_back(It->second);
  }
  std::sort(Called.begin(), Called.end());
  const std::vector<uint32_t>& Others = Dispatch->Others;
  size_t A = 0, B = 0;
  while (A < Others.size() || B < Called.size()) {
    const uint32_t I = B == Called.size() || (A < Others.size() && Others[A] < Called[B]) ? Others[A++] : Called[B++];
    if (I >= Children_.size()) break;
    if (TReteNode* Child = Children_[I].Node) Child->CallNode(Token, Children_[I].CallType);
  }
}

void TReteNode::RaiseMatchError() const {
  try {
    throw;
  } catch (const EMatchError&) {
    throw;
  } catch (const EIEException& E) {
    throw EMatchError(std::string(E.what()) + MessageText(SPatternMatchError) + Rete_.DescribeMatch(*this));
  }
}

int TReteNode::GetOutDegree() const noexcept {
  const auto Gaps = Rete_.Gaps_.find(this);
  return static_cast<int>(Children_.size() - (Gaps == Rete_.Gaps_.end() ? 0 : Gaps->second.Holes));
}

std::string TReteNode::GetToString() const {
  return ClassName() + " In/Out#: " + std::to_string(GetInDegree()) + "/" +
         std::to_string(GetOutDegree()) + " RuleUse: " + std::to_string(RuleUseCount_);
}

// =============================================================================================
// TPatternMatchNode
// =============================================================================================

TPatternMatchNode::TPatternMatchNode(TReteNetwork& Rete, TPatternMatchTest Kind, IIEValue Value, std::string SlotA,
                                     std::string SlotB, int32_t ArgA, int32_t ArgB, TTailRange Tail)
    : TReteNode(Rete),
      Kind_(Kind),
      Value_(std::move(Value)),
      ValueHash_(Value_ ? Value_->GetHashCode() : 0),
      SlotA_(std::move(SlotA)),
      SlotB_(std::move(SlotB)),
      ArgA_(ArgA),
      ArgB_(ArgB),
      Tail_(Tail) {}

bool TPatternMatchNode::SameTest(TPatternMatchTest Kind, const IIEValue& Value, uint32_t ValueHash,
                                 const std::string& SlotA, const std::string& SlotB, int32_t ArgA, int32_t ArgB,
                                 TTailRange Tail) const {
  if (Kind != Kind_ || SlotA != SlotA_ || SlotB != SlotB_ || ArgA != ArgA_ || ArgB != ArgB_ || !(Tail == Tail_))
    return false;
  if (!Value || !Value_) return !Value && !Value_;
  if (Value->GetDType() == dtFuzzy || Value_->GetDType() == dtFuzzy)
    return Value->GetDType() == Value_->GetDType() && SameFuzzyValue(*Value, *Value_);
  // Equal values hash alike: the hash turns away most siblings (rules differing in one
  // constant of a predicate call) without a structural comparison.
  return ValueHash == ValueHash_ && Value_->Equals(Value);
}

size_t TPatternMatchNode::TestHash(TPatternMatchTest Kind, const IIEValue& Value, uint32_t ValueHash,
                                   const std::string& SlotA, const std::string& SlotB, int32_t ArgA, int32_t ArgB,
                                   TTailRange Tail) noexcept {
  // Fuzzy values that SameTest finds the same may hash apart: they count by their type alone.
  const uint64_t Of = !Value ? 0 : Value->GetDType() == dtFuzzy ? 1 : uint64_t{ValueHash} + 2;
  uint64_t H = std::hash<std::string_view>{}(SlotA);
  for (const uint64_t Part : {uint64_t{std::hash<std::string_view>{}(SlotB)}, static_cast<uint64_t>(Kind), Of,
                              static_cast<uint64_t>(static_cast<uint32_t>(ArgA)) << 32 | static_cast<uint32_t>(ArgB),
                              static_cast<uint64_t>(static_cast<uint32_t>(Tail.Min)) << 32 |
                                  static_cast<uint32_t>(Tail.Max)})
    H = (H ^ Part) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(H ^ (H >> 29));
}

std::string TPatternMatchNode::GetToString() const {
  std::string Text = TReteNode::GetToString() + " Value: " + (Value_ ? Value_->GetToString() : std::string()) +
                     " Test: " + platform::EnumName(Kind_);
  if (!SlotA_.empty() || ArgA_ != 0 || ArgB_ != 0) {
    Text += " Args: (" + SlotA_;
    if (!SlotB_.empty()) Text += " " + SlotB_;
    Text += " " + std::to_string(ArgA_) + " " + std::to_string(ArgB_) + ")";
  }
  return Text;
}

bool TPatternMatchNode::CallNode(const IReteToken& Token, TCallType) {
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return false;
  }
  TFact* Fact = Token->GetFact().get();
  if (!Fact) return false;
  return Test(Token, *Fact);
}

bool TPatternMatchNode::PassCompared(const IReteToken& Token, const TIEValue& A, const TIEValue& B, bool Equal) {
  bool Same = A.Equals(&B);
  if (!Equal) Same = !Same;
  if (!Same) return false;
  // A match is as strong as the overlap.  A test that passes because the values do not match
  // ("~hot" of a cold room) holds fully: their overlap, below the threshold, would make every
  // conclusion of the rule nearly empty.
  if (Equal && (A.GetDType() == dtFuzzy || B.GetDType() == dtFuzzy)) {
    const float Degree = FuzzyDegree(A, B);
    if (Token->GetStrength() > Degree) {
      if (GetRete().GetMinActivationStrength() > Degree) return false;
      IReteToken Weaker = Token->Clone();
      Weaker->SetStrength(Degree);
      CallChildren(Weaker);
      return true;
    }
  }
  CallChildren(Token);
  return true;
}

void TPatternMatchNode::LearnAlternatives() {
  using TRole = TIEUserFunction::TDecisionRole;
  const TFunctionCall* Or = Value_->PeekFunCall();
  const TIEUserFunction* Function = Or->GetUserFunction().get();
  if (!Function) return;  // not run yet: ask again next time
  AlternativesState_ = TAlternatives::None;
  if (Function->GetDecisionRole() != TRole::AnyOf || Or->GetArgumentCount() == 0) return;
  IIEValue Subject;
  const TBindingInfo* SubjectBinding = nullptr;
  std::vector<IIEValue> Constants;
  for (const IIEValue& Argument : Or->GetArguments()) {
    const TFunctionCall* Eq = Argument ? Argument->PeekFunCall() : nullptr;
    if (!Eq) return;
    const TIEUserFunction* EqFunction = Eq->GetUserFunction().get();
    if (!EqFunction) {
      AlternativesState_ = TAlternatives::Unknown;  // a later alternative has not run yet
      return;
    }
    if (EqFunction->GetDecisionRole() != TRole::StrictEqual || Eq->GetArgumentCount() != 2) return;
    const IIEValue& X = Eq->GetArgument(0);
    const IIEValue& C = Eq->GetArgument(1);
    // X is one binding of this fact throughout; C a constant (a value that reads as itself).
    const TBindingInfo* Binding =
        X && X->GetDType() == dtObject ? platform::CachedCast<TBindingInfo>(X->GetAsObject()) : nullptr;
    if (!Binding || (SubjectBinding && !Binding->SameBinding(*SubjectBinding))) return;
    if (!C || C->Peek(nullptr) != C.get()) return;
    if (!SubjectBinding) {
      Subject = X;
      SubjectBinding = Binding;
    }
    Constants.push_back(C);
  }
  Subject_ = std::move(Subject);
  Alternatives_ = std::move(Constants);
  AlternativesState_ = TAlternatives::Known;
}

bool TPatternMatchNode::CallTest(const IReteToken& Token, TFact& Fact) try {
  TIEContext& Context = GetContext();
  const TMatchScope Match(Context, Token.get(), &Fact);
  if (AlternativesState_ == TAlternatives::Unknown) LearnAlternatives();
  if (AlternativesState_ == TAlternatives::Known) {
    if (const TIEValue* Value = Subject_->Peek(&Context)) {
      for (const IIEValue& C : Alternatives_)
        if (Value->Equals(C.get())) return false;
      return true;
    }
  }
  // A comparison of the fact's own slots with constants ("B|-" is an "or" of "eq"s) is decided
  // on the values in place, without running a call for each fact that reaches the node.
  if (const int Answer = Value_->PeekFunCall()->Decide(&Context); Answer >= 0)
    return Answer == 0;
  const IIEValue Result = Value_->Resolve(&Context);
  return IsFalse(Result);
} catch (const EIEException&) {
  RaiseMatchError();
}

bool TPatternMatchNode::Test(const IReteToken& Token, TFact& Fact) {
  switch (Kind_) {
    case pmtTestClassType:
      if (!Fact.GetTemplate() || Fact.GetTemplate()->GetTemplateName() != Value_->GetText()) return false;
      CallChildren(Token);
      return true;
    case pmtTestEqual:
    case pmtTestNotEqual: {
      if (Value_->GetDType() == dtFunCall) {
        bool False;
        try {
          False = CallTest(Token, Fact);
        } catch (const EIEException&) {
          // A fact on its way out did not pass a test that raises: it raised on the way in.
          if (Token->GetTag() == taRemove) return false;
          throw;
        }
        if ((Kind_ == pmtTestEqual) == False) return false;
        CallChildren(Token);
        return true;
      }
      const TIEValue* Slot = PlaceValue(Fact, SlotA_, NoSubIndex, &PlaceA_);
      return Slot && PassCompared(Token, *Slot, *Value_, Kind_ == pmtTestEqual);
    }
    case pmtTestSlotValueEqual:
    case pmtTestSlotValueNotEqual: {
      if (IsFactPlace(SlotA_)) [[unlikely]] {
        const TIEValue Id(Fact.GetID(), dtFactId);
        const TIEValue* B = PlaceValue(Fact, SlotB_, ArgB_, &PlaceB_);
        return B && PassCompared(Token, Id, *B, Kind_ == pmtTestSlotValueEqual);
      }
      const TIEValue* A = PlaceValue(Fact, SlotA_, ArgA_, &PlaceA_);
      const TIEValue* B = PlaceValue(Fact, SlotB_, ArgB_, &PlaceB_);
      return A && B && PassCompared(Token, *A, *B, Kind_ == pmtTestSlotValueEqual);
    }
    case pmtTestMultiSlotEqual:
    case pmtTestMultiSlotNotEqual: {
      const TIEValue* Element = PlaceValue(Fact, SlotA_, ArgA_, &PlaceA_);
      if (!Element) return false;
      if (Value_->GetDType() == dtFunCall) {
        const bool False = CallTest(Token, Fact);
        if ((Kind_ == pmtTestMultiSlotEqual) == False) return false;
        CallChildren(Token);
        return true;
      }
      return PassCompared(Token, *Element, *Value_, Kind_ == pmtTestMultiSlotEqual);
    }
    case pmtTestMultiSlotLength: {
      const TIEValue* Slot = PlaceValue(Fact, SlotA_, NoSubIndex, &PlaceA_);
      if (!Slot || Slot->GetDType() != dtList) return false;
      if (static_cast<TValueVector*>(Slot->GetInterface())->GetValueCount() != ArgA_) return false;
      CallChildren(Token);
      return true;
    }
    case pmtTestMultiSlotMultiField:
      return ExpandMultiField(Token, Fact);
    case pmtUnknown:
    case pmtFailTest:
      return false;
  }
  return false;
}

bool TPatternMatchNode::ExpandMultiField(const IReteToken& Token, TFact& Fact) {
  const TIEValue* Slot = PlaceValue(Fact, SlotA_, NoSubIndex);
  if (!Slot || Slot->GetDType() != dtList) {
    CallChildren(Token);
    return false;
  }
  const IValueVector List = Slot->GetAsList();
  const int N = List->GetValueCount();
  const int S = ArgA_;
  if (S < 0 || S > N) return false;
  // One variant per length of the tail, the segment longest first.  Where the pattern fixes the
  // fields that follow, most lengths cannot end in a match: a slot's only multifield field
  // takes the whole rest of the slot but its later single fields, in one variant.
  const int Shortest = std::max(0, Tail_.Min);
  const int Longest = std::min(N - S, Tail_.Max);
  for (int K = Shortest; K <= Longest; ++K) {
    IValueVector Fields = NewList();
    Fields->Reserve(S + 1 + K);
    for (int I = 0; I < S; ++I) Fields->Add(List->Get(I));
    IValueVector Part = NewList();
    for (int I = S; I < N - K; ++I) Part->Add(List->Get(I));
    Fields->Add(platform::MakeRef<TIEValue>(Part));
    for (int I = N - K; I < N; ++I) Fields->Add(List->Get(I));
    IFact Variant = TFact::Create(Fact.GetTemplate());
    Variant->AssignValues(Fact);
    Variant->SetID(Fact.GetID());
    Variant->GetSlotValues().Put(Fact.GetTemplate()->GetSlot(SlotA_), platform::MakeRef<TIEValue>(Fields));
    CallChildren(platform::MakeRef<TIEToken>(Token->GetTag(), Variant));
  }
  return true;
}

// =============================================================================================
// TTestNode
// =============================================================================================

bool TTestNode::RunTests(size_t Count) {
  TIEContext& Context = GetContext();
  for (size_t I = 0; I < Count && I < Tests_.size(); ++I) {
    TIESlotTest* Test = Tests_[I].get();
    bool Passed;
    if (Test->IsJoinTest())
      Passed = static_cast<TIEJoinTest*>(Test)->PerformTest(static_cast<IJoinTestContext&>(Context));
    else
      Passed = static_cast<TIEPatternMatchTest*>(Test)->PerformTest(&Context);
    if (!Passed) return false;
  }
  return true;
}

bool TTestNode::RunTests(const IReteToken& Token) {
  const TMatchScope Match(GetContext(), Token.get(), nullptr);
  return RunTests(Tests_.size());
}

bool TTestNode::CallNode(const IReteToken& Token, TCallType CallType) {
  if (Token->GetTag() == taClear) {
    CallChildren(Token);
    return false;
  }
  if (CallType != ctLeft) return false;  // the test element's own input carries no facts
  try {
    if (!RunTests(Token)) return false;
  } catch (const EIEException&) {
    if (Token->GetTag() == taRemove) return false;  // as a pattern's test on the way out
    RaiseMatchError();
  }
  // The test element holds a position in the match like any pattern: a placeholder keeps the
  // facts of later patterns where their bindings look for them.
  const IFact& Placeholder = GetRete().GetHost()->GetPlaceholderFact();
  CallChildren(platform::MakeRef<TIEToken>(Token, Placeholder));
  return true;
}

std::string TTestNode::GetToString() const {
  return TReteNode::GetToString() + " NumTests: " + std::to_string(Tests_.size());
}

// =============================================================================================
// TJoinNode
// =============================================================================================

TJoinNode::TJoinNode(TReteNetwork& Rete, bool NegatedPattern, bool Unique, int32_t Buckets)
    : TTestNode(Rete), Negated_(NegatedPattern), Unique_(Unique), Buckets_(Buckets) {}

bool TJoinNode::HasFunctionTests() const {
  for (const auto& T : GetTests())
    if (!dynamic_cast<const TIEJoinTest*>(T.get())) return true;
  return false;
}

bool TJoinNode::SameTests(const TJoinNode& Other) const {
  if (Negated_ || Other.Negated_ || Chained_ || Other.Chained_ || Unique_ != Other.Unique_) return false;
  if (HasFunctionTests() || Other.HasFunctionTests()) return false;
  const auto& Mine = GetTests();
  const auto& Theirs = Other.GetTests();
  if (Mine.size() != Theirs.size()) return false;
  for (const auto& T : Mine) {
    bool Found = false;
    for (const auto& U : Theirs)
      if (T->Equals(*U)) {
        Found = true;
        break;
      }
    if (!Found) return false;
  }
  return true;
}

void TJoinNode::PrepareShortCut(const std::function<bool(const TIEJoinTest&)>& Unkeyable) {
  auto& Tests = GetTests();
  auto Pick = [&](bool Whole) -> bool {
    for (size_t I = 0; I < Tests.size(); ++I) {
      auto* J = dynamic_cast<TIEJoinTest*>(Tests[I].get());
      if (!J || J->GetSlotTestType() != sttEquals || Unkeyable(*J)) continue;
      const bool IsWhole = J->GetJoinTestType() == tstSlot ||
                           (J->GetLeftSubIndex() == NoSubIndex && J->GetRightSubIndex() == NoSubIndex);
      if (IsWhole != Whole) continue;
      std::rotate(Tests.begin(), Tests.begin() + static_cast<std::ptrdiff_t>(I),
                  Tests.begin() + static_cast<std::ptrdiff_t>(I) + 1);
      ShortCut_ = J;
      return true;
    }
    return false;
  };
  ShortCut_ = nullptr;
  if (!Chained_ && !Pick(true)) Pick(false);
  CreateMemories();
}

void TJoinNode::CreateMemories() {
  const auto& Tests = GetTests();
  JoinTestsOnly_ = std::all_of(Tests.begin(), Tests.end(), [](const auto& Test) { return Test->IsJoinTest(); })
                       ? Tests.size()
                       : SIZE_MAX;
  if (ShortCut_) {
    const bool Fields = ShortCut_->GetJoinTestType() == tstMultiSlot;
    Left_.emplace(Buckets_, false, ShortCut_->GetLeftIndex(), Fields ? ShortCut_->GetLeftSubIndex() : NoSubIndex,
                  ShortCut_->GetTokenIndex());
    Right_.emplace(Buckets_, false, ShortCut_->GetRightIndex(), Fields ? ShortCut_->GetRightSubIndex() : NoSubIndex, 0);
    // The leading equality join tests (the shortcut first) give the memories' exact keys.  Only
    // a leading run counts: a token skipped for its key would have failed one of them before any
    // later test (a call, perhaps with effects) ran.
    std::vector<TIETokenTree::TExactPart> LeftParts, RightParts;
    for (const auto& Test : GetTests()) {
      if (!Test->IsJoinTest() || Test->GetSlotTestType() != sttEquals) break;
      const auto& J = static_cast<const TIEJoinTest&>(*Test);
      const bool Sub = J.GetJoinTestType() == tstMultiSlot;
      LeftParts.push_back({J.GetTokenIndex(), J.GetLeftIndex(), Sub ? J.GetLeftSubIndex() : NoSubIndex, {}});
      RightParts.push_back({0, J.GetRightIndex(), Sub ? J.GetRightSubIndex() : NoSubIndex, {}});
    }
    Left_->SetExactParts(std::move(LeftParts));
    Right_->SetExactParts(std::move(RightParts));
  } else {
    Left_.emplace(Buckets_, true, std::string(), NoSubIndex, 0);
    // A right token is one fact (keyed by its id), or for a chained negation a longer token.
    Right_.emplace(Buckets_, Chained_, std::string(), NoSubIndex, 0);
  }
}

bool TJoinNode::Matches(const IReteToken& Left, const IReteToken& Right, const TTokenFactTable* LeftFacts) {
  if (Chained_) {
    // A right token of a chained negation extends exactly one left token.
    const IReteToken& Prefix = Right->GetParent();
    return Prefix && Prefix->Equals(*Left);
  }
  TFact* const Fact = Right->GetFact().get();
  if (JoinTestsOnly_ == GetTests().size() && Fact) {
    // Join tests read two facts and nothing else: no context to set up, no calls through it.
    const TFact* const Placeholder = GetRete().GetHost()->GetPlaceholderFact().get();
    for (const auto& Test : GetTests()) {
      auto& Join = static_cast<TIEJoinTest&>(*Test);
      TFact* LeftFact = LeftFacts ? LeftFacts->At(Join.GetTokenIndex()) : Left->GetFacts(Join.GetTokenIndex());
      if (!Join.Holds(LeftFact == Placeholder ? nullptr : LeftFact, *Fact)) return false;
    }
    return true;
  }
  const TMatchScope Match(GetContext(), LeftFacts ? const_cast<TTokenFactTable*>(LeftFacts) : static_cast<ITokenFacts*>(Left.get()), Fact);
  try {
    return RunTests(GetTests().size());
  } catch (const EIEException&) {
    if (Left->GetTag() == taRemove || Right->GetTag() == taRemove) return false;
    RaiseMatchError();
  }
}

void TJoinNode::KeyRightBacklog() const {
  RightBacklog_.Drain([this](const IReteToken& T) { Right_->Add(T, Right_->KeysOf(*T), false); });
}

IReteToken TJoinNode::Joined(const IReteToken& Left, const IFact& Fact, float Strength, TTokenAction Tag) {
  return platform::MakeRef<TIEToken>(Left, Fact, Strength, Tag);
}

void TJoinNode::VaryLeft(const IReteToken& Right, const TIETokenTree::TKeys& Keys) {
  const TTokenAction Tag = Right->GetTag();
  const bool Adding = Tag == taAdd || Tag == taUpdate;
  const IFact& Placeholder = GetRete().GetHost()->GetPlaceholderFact();
  // Each bucket is walked as it stood when the walk began (see TVisit): children never touch
  // this node's memories, but code run by a test or an event handler might.
  auto Visit = [&](TIETokenTree::TVisit& Tokens, int64_t Exact) {
    return Tokens.Each(Exact, [&](size_t I) {
      if (!Matches(Tokens.At(I), Right)) return true;
      const IReteToken& L = Tokens.At(I);
      const float Strength = std::min(L->GetStrength(), Right->GetStrength());
      if (!Negated_) {
        CallChildren(Joined(L, Right->GetFact(), Strength, Tag));
        if (Goal_ && !Adding) {
          // The fact that met this left token's wish went: when no other one meets it, the
          // goal is asked for again.
          const IReteToken Held = Tokens.At(I);
          if (!Blocks(Held, Left_->KeysOf(*Held))) AskForBackChain(*Held);
        }
      } else if (Adding) {
        // A new blocking fact: what the left token had produced is withdrawn.
        if (L->GetNegatedCount() == 0) CallChildren(Joined(L, Placeholder, Strength, taRemove));
        const IReteToken& Blocked = Tokens.At(I);  // read again: the children ran
        if (Blocked->GetNegatedCount() != UncountedBlockers) Blocked->SetNegatedCount(Blocked->GetNegatedCount() + 1);
      } else if (L->GetNegatedCount() == UncountedBlockers) {
        // One of an uncounted number of blocking facts went: look for another.
        const IReteToken Held = L;  // the tests may change this memory
        if (Blocks(Held, Left_->KeysOf(*Held))) return true;
        Held->SetNegatedCount(0);
        CallChildren(Joined(Held, Placeholder, Strength, Unblocked(Held->GetTag())));
      } else {
        L->SetNegatedCount(L->GetNegatedCount() - 1);
        if (L->GetNegatedCount() == 0) CallChildren(Joined(L, Placeholder, Strength, Unblocked(L->GetTag())));
      }
      return true;
    });
  };
  if (!ShortCut_) return WalkMemory(*Left_, nullptr, TIETokenTree::WildKey, Visit);
  if (!Keys.HasFact) return;
  // Tokens whose exact key shows that a leading equality test fails are left out: the tests
  // would stop there, so the same tokens match, in the same order.
  WalkMemory(*Left_, &Keys.Key, Keys.Exact, Visit);
}

template <class TOnMatch>
void TJoinNode::ScanRight(const IReteToken& Left, const TIETokenTree::TKeys& Keys, TOnMatch&& OnMatch) {
  // Walks as VaryLeft does; OnMatch answers false to end the scan.
  SettleRight();
  const TTokenFactTable Table(*Left);
  const TTokenFactTable* const LeftFacts = Table.Usable() ? &Table : nullptr;
  auto Visit = [&](TIETokenTree::TVisit& Tokens, int64_t Exact) {
    return Tokens.Each(Exact, [&](size_t I) { return !Matches(Left, Tokens.At(I), LeftFacts) || OnMatch(Tokens.At(I)); });
  };
  if (!ShortCut_) return WalkMemory(*Right_, nullptr, TIETokenTree::WildKey, Visit);
  if (!Keys.HasFact) return;
  WalkMemory(*Right_, &Keys.Key, Keys.Exact, Visit);
}

bool TJoinNode::Blocks(const IReteToken& Left, const TIETokenTree::TKeys& Keys) {
  bool Found = false;
  ScanRight(Left, Keys, [&](const IReteToken&) {
    Found = true;
    return false;
  });
  return Found;
}

void TJoinNode::VaryRight(const IReteToken& Left, const IReteToken& Stored, const TIETokenTree::TKeys& Keys) {
  const TTokenAction Tag = Left->GetTag();
  if (Negated_) {
    // Whether some fact blocks the token is all that decides here, so the scan stops at the
    // first; the stored token records that it is blocked by facts not counted, and they are
    // looked for again only when a blocking fact goes (VaryLeft).
    const bool Blocked = Blocks(Left, Keys);
    if (Stored) Stored->SetNegatedCount(Blocked ? UncountedBlockers : 0);
    if (!Blocked) {
      CallChildren(Joined(Stored ? Stored : Left, GetRete().GetHost()->GetPlaceholderFact(), Left->GetStrength(), Tag));
      ++MatchCount_;
    }
    return;
  }
  ScanRight(Left, Keys, [&](const IReteToken& R) {
    CallChildren(Joined(Stored ? Stored : Left, R->GetFact(), std::min(Left->GetStrength(), R->GetStrength()), Tag));
    if (Tag != taRemove) ++MatchCount_;
    return !(Unique_ && (Tag == taAdd || Tag == taUpdate));
  });
}

TTokenAction TJoinNode::Unblocked(TTokenAction Stored) const noexcept {
  return Stored == taUpdate && !GetRete().GetPriming() ? taAdd : Stored;
}

bool TJoinNode::MayBeStored(TTokenAction Tag) const noexcept {
  // An added fact has a new id, and a new match carries one: no stored token equals it.  Facts
  // sent again to prime a rule can meet tokens already stored.
  return Tag != taAdd || GetRete().GetPriming();
}

bool TJoinNode::CallNode(const IReteToken& Token, TCallType CallType) {
  MatchCount_ = 0;
  if (Token->GetTag() == taClear) {
    if (Left_) Left_->Clear();
    if (Right_) Right_->Clear();
    RightBacklog_.Clear();
    CallChildren(Token);
    return false;
  }
  if (!Left_ || !Right_) CreateMemories();
  const TTokenAction Tag = Token->GetTag();
  switch (CallType) {
    case ctRight:
      if (Tag == taAdd || Tag == taUpdate) {
        // Nothing on the left to meet: the token waits unkeyed.  A token that may equal a stored
        // one is looked for in the memory instead.
        if (Left_->GetCount() == 0 && !MayBeStored(Tag) && RightBacklog_.Append(Token)) break;
        SettleRight();
        // A memory keeps the token itself where nothing it holds will change: tokens are not
        // changed once passed on, and only a negated node's left memory counts blocking facts
        // in its tokens.  Every join below a pattern then shares that pattern's token of a fact.
        const TIETokenTree::TKeys Keys = Right_->KeysOf(*Token);
        if (Right_->Add(Token, Keys, MayBeStored(Tag))) VaryLeft(Token, Keys);
      } else if (Tag == taRemove) {
        // With the left memory empty the token met nothing; one stored before the backlog began
        // is taken from the memory without keying the backlog.
        if (Left_->GetCount() == 0) {
          if (RightBacklog_.Remove(*Token)) break;
        } else {
          SettleRight();
        }
        TIETokenTree::TKeys Keys = Right_->BucketKeysOf(*Token);
        if (Right_->Remove(*Token, Keys)) VaryLeft(Token, Keys);
      }
      break;
    case ctLeft:
      if (Tag == taAdd || Tag == taUpdate) {
        const IReteToken Stored = Negated_ ? Token->Clone() : Token;
        const TIETokenTree::TKeys Keys = Left_->KeysOf(*Stored);
        if (Left_->Add(Stored, Keys, MayBeStored(Tag))) {
          VaryRight(Token, Stored, Keys);
          if (Goal_ && MatchCount_ == 0) AskForBackChain(*Stored);
        }
      } else if (Tag == taRemove) {
        TIETokenTree::TKeys Keys = Left_->BucketKeysOf(*Token);
        if (const IReteToken Stored = Left_->Remove(*Token, Keys)) {
          if (Negated_) {
            // The stored token knows how many facts block it: only an unblocked one had passed
            // anything on, and the right memory need not be searched again to find that out.
            if (Stored->GetNegatedCount() == 0) {
              CallChildren(Joined(Stored, GetRete().GetHost()->GetPlaceholderFact(), Token->GetStrength(), taRemove));
              ++MatchCount_;
            }
          } else {
            // The removals are built on the stored token, as the additions were: a memory below
            // then tells its token from the removal's at the first step, by the same parent.
            VaryRight(Token, Stored, Keys);
          }
        }
      }
      break;
    default:
      RaiseIE(SInvalidCallType, {platform::EnumName(CallType)});
  }
  return true;
}

void TJoinNode::SetPattern(const TIEPattern& Pattern, const TRule& Rule, int32_t PatternIndex) {
  const IFactTemplate& Template = Pattern.GetFactTemplate();
  if (!Template || !Template->IsBackwardChaining()) RaiseIE(SInvalidBackchainPattern);
  auto Goal = std::make_unique<TGoal>();
  Goal->Template = std::string(SBackChainPrefix) + Pattern.GetName();
  for (int S = 0; S < Pattern.GetSlotCount(); ++S) {
    TGoalSlot Slot;
    Slot.Name = Pattern.GetSlotName(S);
    IFactSlot Defined;
    Slot.Multi = Template->ContainsSlot(Slot.Name, Defined) && Defined->IsMultiSlot();
    if (const TSlotTests* Tests = Pattern.GetSlotTests(S))
      for (const auto& Test : *Tests) {
        const IIEValue& V = Test->GetSlotValue();
        if (!V || Test->GetSlotTestType() == sttNotEquals || V->GetDType() == dtFunCall) continue;
        TGoalValue Value;
        Value.Position = Slot.Multi ? std::max(Test->GetMultiSlotSubIndex(), 0) : -1;
        if (IEVariableTypes.Contains(V->GetDType())) {
          // Only what the token's facts bind is known when the goal is asked for; a variable
          // this pattern binds itself leaves the slot unknown.
          const TBinding* B = Rule.GetBindingByName(V->GetText());
          if (B && B->FactIndex < PatternIndex) {
            Value.FactIndex = B->FactIndex;
            Value.Slot = B->SlotIndex;
            Value.SubIndex = B->SubIndex;
          }
        } else {
          Value.Constant = V;
        }
        Slot.Values.push_back(std::move(Value));
        if (!Slot.Multi) break;  // the first test decides a single slot
      }
    Goal->Slots.push_back(std::move(Slot));
  }
  Goal_ = std::move(Goal);
}

namespace {

// What a goal value stands for in Left's facts; nothing when it is unknown.
IIEValue GoalValueOf(const IIEValue& Constant, int32_t FactIndex, const std::string& Slot, int32_t SubIndex,
                     const TIEToken& Left, const INetworkHost& Engine) {
  if (Constant) return Constant;
  TFact* Fact = FactIndex >= 0 ? Left.GetFacts(FactIndex) : nullptr;
  if (!Fact) return nullptr;
  if (Slot == SPatternBinding) return Engine.FactAddress(*Fact);
  IIEValue Value;
  if (!Fact->ContainsKey(Slot, Value) || !Value) return nullptr;
  if (SubIndex == NoSubIndex) return Value;
  if (Value->GetDType() != dtList) return nullptr;
  const IValueVector List = Value->GetAsList();
  return SubIndex < List->GetValueCount() ? List->Get(SubIndex) : nullptr;
}

}  // namespace

void TJoinNode::AskForBackChain(const TIEToken& Left) {
  INetworkHost* Engine = GetRete().GetHost();
  if (!Goal_ || !Engine) return;
  const IFactTemplate Template = Engine->CreateFactTemplate(Goal_->Template);
  const IFact Fact = Template->NewFact();
  for (const TGoalSlot& Slot : Goal_->Slots) {
    IFactSlot Defined;
    if (!Template->ContainsSlot(Slot.Name, Defined)) continue;
    IIEValue Value;
    if (!Slot.Multi) {
      if (!Slot.Values.empty()) {
        const TGoalValue& G = Slot.Values.front();
        Value = GoalValueOf(G.Constant, G.FactIndex, G.Slot, G.SubIndex, Left, *Engine);
      }
      // Unknown: the slot keeps its default.  The empty value would print as nothing and a
      // saved goal would read back different.
      if (!Value) continue;
    } else {
      std::vector<IIEValue> Items;
      for (const TGoalValue& G : Slot.Values) {
        IIEValue Item = GoalValueOf(G.Constant, G.FactIndex, G.Slot, G.SubIndex, Left, *Engine);
        if (!Item) continue;
        const size_t At = static_cast<size_t>(G.Position);
        if (Items.size() < At + 1) Items.resize(At + 1);
        Items[At] = std::move(Item);
      }
      IValueVector List = NewList();
      for (IIEValue& Item : Items) List->Add(Item ? Item : FCNil);  // a gap holds nil, for the same reason
      Value = platform::MakeRef<TIEValue>(List);
    }
    try {
      Fact->SetValue(Slot.Name, Value);
    } catch (const EIEException&) {
      // A value the goal's slot refuses (an unknown value in a typed slot) leaves its default.
    }
  }
  Engine->AddPendingFact(Fact, true);
}

std::string TJoinNode::GetToString() const {
  std::string Text = TTestNode::GetToString();
  if (Negated_) Text += " *NEGATED*";
  Text += " Left Memory:" + (Left_ ? Left_->ToString() : std::string());
  SettleRight();
  Text += " Right Memory:" + (Right_ ? Right_->ToString() : std::string());
  return Text;
}

// =============================================================================================
// TPatternMatchTerminalNode
// =============================================================================================

TPatternMatchTerminalNode::~TPatternMatchTerminalNode() { DeactivateAll(); }

std::vector<TActivation*> TPatternMatchTerminalNode::GetActivations() const {
  std::vector<TActivation*> List;
  List.reserve(static_cast<size_t>(Count_));
  for (TActivation* A = First_; A; A = A->NodeNext_) List.push_back(A);
  return List;
}

bool TPatternMatchTerminalNode::TOlder::operator()(const TActivation* A, const TActivation* B) const noexcept {
  return A->NodeOrder_ < B->NodeOrder_;
}

void TPatternMatchTerminalNode::Deactivate(TActivation* Activation) {
  Forget(Activation);
  Activation->Detach();
  GetRete().Deactivate(Activation);
}

void TPatternMatchTerminalNode::DeactivateAll() {
  while (Last_) Deactivate(Last_);
}

TActivation** TPatternMatchTerminalNode::NewestOfCode(uint32_t Code) const noexcept {
  return BySortCode_ ? BySortCode_->PlaceOf(Code) : nullptr;
}

void TPatternMatchTerminalNode::Forget(TActivation* Activation) noexcept {
  // Only an activation this node made and still lists is in the index (a copy of one is not).
  const IReteToken& Token = Activation->GetToken();
  if (!Token) return;
  const auto Code = static_cast<uint32_t>(Token->GetSortCode());
  TActivation** const Newest = NewestOfCode(Code);
  if (!Newest) return;
  if (*Newest == Activation) {
    if (Activation->SameCode_)
      *Newest = Activation->SameCode_;
    else
      BySortCode_->Erase(Code, Activation);
  } else {
    TActivation* Before = *Newest;
    while (Before->SameCode_ && Before->SameCode_ != Activation) Before = Before->SameCode_;
    if (!Before->SameCode_) return;
    Before->SameCode_ = Activation->SameCode_;
  }
  Activation->SameCode_ = nullptr;
  (Activation->NodePrev_ ? Activation->NodePrev_->NodeNext_ : First_) = Activation->NodeNext_;
  (Activation->NodeNext_ ? Activation->NodeNext_->NodePrev_ : Last_) = Activation->NodePrev_;
  Activation->NodePrev_ = Activation->NodeNext_ = nullptr;
  --Count_;
}

void TPatternMatchTerminalNode::RuleFired(TActivation* Activation) {
  Forget(Activation);
  Activation->Detach();
  GetRete().RuleFired(Activation);
}

bool TPatternMatchTerminalNode::CallNode(const IReteToken& Token, TCallType) {
  // Facts sent again to prime a newly added rule do not concern rules compiled before.
  if (Initialized_ && GetRete().GetPriming()) return false;
  switch (Token->GetTag()) {
    case taClear:
      DeactivateAll();
      return false;
    case taRemove: {
      // The first activation (oldest) whose token equals the arriving one: the last such in the
      // list of its code, which runs from the newest.
      TActivation* Oldest = nullptr;
      TActivation* const* Newest = NewestOfCode(static_cast<uint32_t>(Token->GetSortCode()));
      for (TActivation* A = Newest ? *Newest : nullptr; A; A = A->SameCode_)
        if (A->GetToken()->Equals(*Token)) Oldest = A;
      if (!Oldest) return false;
      Deactivate(Oldest);
      return true;
    }
    case taAdd:
      if (!Rule_->GetEnabled() || (Rule_->GetOneShot() && Rule_->GetFired())) return false;
      break;
    case taUpdate:
      if (Initialized_) return false;
      break;
  }
  if (!BySortCode_) BySortCode_ = std::make_unique<platform::TPointerHashIndex<TActivation, TOlder>>();
  auto* A = new TActivation(Rule_, Token, this, Token->GetStrength());
  A->NodeOrder_ = ++Created_;
  A->NodePrev_ = Last_;
  (Last_ ? Last_->NodeNext_ : First_) = A;
  Last_ = A;
  ++Count_;
  const auto Code = static_cast<uint32_t>(Token->GetSortCode());
  if (TActivation** Newest = NewestOfCode(Code)) {
    A->SameCode_ = *Newest;
    *Newest = A;
  } else {
    BySortCode_->Insert(Code, A);
  }
  GetRete().Activate(A);
  return true;
}

std::string TPatternMatchTerminalNode::GetToString() const {
  return TReteNode::GetToString() + " Rule: " + (Rule_ ? Rule_->GetRuleName() : std::string());
}

// =============================================================================================
// TReteNetwork
// =============================================================================================

TReteNetwork::TReteNetwork(platform::TComponent* Owner)
    : TComponent(Owner),
      Host_(dynamic_cast<INetworkHost*>(Owner)),
      Engine_(Host_ ? Host_->GetNetworkEngine() : nullptr) {}

TReteNetwork::~TReteNetwork() {
  Destroying();
  Clear();
}

void TReteNetwork::SetEnabled(bool Value) {
  if (Value == Enabled_) return;
  Enabled_ = Value;
  if (!Enabled_) Clear();
}

void TReteNetwork::SetMinActivationStrength(float Value) noexcept {
  MinActivationStrength_ = Value < 0 ? 0 : Value > 1 ? 1 : Value;
}

TReteNode* TReteNetwork::Own(std::unique_ptr<TReteNode> Node) {
  TReteNode* Raw = Node.get();
  Nodes_.emplace(Raw, std::move(Node));
  return Raw;
}

namespace {

// The template a root tests for, or nothing for a root of another kind.
std::string_view TemplateTestedBy(const TReteNode* Root) {
  const auto* Node = dynamic_cast<const TPatternMatchNode*>(Root);
  if (!Node || Node->GetPatternMatchTest() != pmtTestClassType || !Node->GetValue()) return {};
  return Node->GetValue()->GetText();
}

}  // namespace

void TReteNetwork::AddRoot(TReteNode* Node) {
  Roots_.push_back(Node);
  Node->Root_ = true;
  if (RootsIndexed_) IndexRoot(Node);
}

void TReteNetwork::IndexRoot(TReteNode* Node) {
  const std::string_view Name = TemplateTestedBy(Node);
  if (Name.empty()) {
    RootsOfNoTemplate_.push_back(Node);
    for (auto& [Template, Roots] : RootsByTemplate_) Roots.push_back(Node);
    return;
  }
  auto It = RootsByTemplate_.find(Name);
  if (It == RootsByTemplate_.end()) It = RootsByTemplate_.emplace(std::string(Name), RootsOfNoTemplate_).first;
  It->second.push_back(Node);
}

void TReteNetwork::EraseRoot(TReteNode* Node) {
  Roots_.erase(std::remove(Roots_.begin(), Roots_.end(), Node), Roots_.end());
  Node->Root_ = false;
  RootsIndexed_ = false;
}

const std::vector<TReteNode*>& TReteNetwork::RootsOf(std::string_view TemplateName) {
  if (!RootsIndexed_) {
    RootsByTemplate_.clear();
    RootsOfNoTemplate_.clear();
    RootsIndexed_ = true;
    for (TReteNode* Root : Roots_) IndexRoot(Root);
  }
  const auto It = RootsByTemplate_.find(TemplateName);
  return It == RootsByTemplate_.end() ? RootsOfNoTemplate_ : It->second;
}

void TReteNetwork::Connect(TReteNode* From, TReteNode* To, TCallType CallType) {
  if (To->Root_) EraseRoot(To);
  ChildrenChanged(*From);
  From->Children_.push_back({To, CallType});
  To->Parents_.push_back(From);
}

size_t TReteNetwork::SuccessorKey(const TReteNode* Parent, size_t TestHash) noexcept {
  return TestHash ^ (reinterpret_cast<uintptr_t>(Parent) * 0x9E3779B97F4A7C15ull);
}

void TReteNetwork::IndexSuccessors(TReteNode& Parent) {
  for (const TReteEdge& E : Parent.Children_)
    if (auto* Node = E.CallType == ctSingle ? dynamic_cast<TPatternMatchNode*>(E.Node) : nullptr)
      Successors_.emplace(SuccessorKey(&Parent, Node->TestHash()), Node);
  Parent.SuccessorsIndexed_ = true;
}

void TReteNetwork::ForgetSuccessor(const TReteNode& Parent, const TReteNode& Child) noexcept {
  const auto* Node = dynamic_cast<const TPatternMatchNode*>(&Child);
  if (!Parent.SuccessorsIndexed_ || !Node) return;
  auto [It, End] = Successors_.equal_range(SuccessorKey(&Parent, Node->TestHash()));
  for (; It != End; ++It)
    if (It->second == Node) {
      Successors_.erase(It);
      return;
    }
}

void TReteNetwork::DropEdge(TReteNode& Parent, const TReteNode& Child) {
  std::vector<TReteEdge>& C = Parent.Children_;
  const auto Found = Gaps_.find(&Parent);
  TGaps Gaps = Found == Gaps_.end() ? TGaps{} : Found->second;
  // Past the holes at the front: rules mostly go newest or oldest first.
  const size_t At = platform::FindFromBothEnds(Gaps.FirstLive, C.size(), [&](size_t I) { return C[I].Node == &Child; });
  if (At == C.size()) return;
  if (At + 1 == C.size()) {
    C.pop_back();
    while (!C.empty() && !C.back().Node) {
      C.pop_back();
      --Gaps.Holes;
    }
  } else {
    C[At].Node = nullptr;
    ++Gaps.Holes;
  }
  if (Gaps.Holes * 2 > C.size()) {
    C.erase(std::remove_if(C.begin(), C.end(), [](const TReteEdge& E) { return !E.Node; }), C.end());
    Gaps.Holes = 0;
  }
  if (Gaps.Holes == 0) {
    if (Found != Gaps_.end()) Gaps_.erase(Found);
    return;
  }
  while (Gaps.FirstLive < C.size() && !C[Gaps.FirstLive].Node) ++Gaps.FirstLive;
  Gaps_[&Parent] = Gaps;
}

void TReteNetwork::FreeNode(TReteNode* Node) {
  // Out of the index of its parent's children, and its own children out from under it.
  ChildrenChanged(*Node);  // its own dispatch goes with it
  for (TReteNode* Parent : Node->Parents_) ForgetSuccessor(*Parent, *Node);
  for (const TReteEdge& E : Node->Children_)
    if (E.Node) ForgetSuccessor(*Node, *E.Node);
  // One edge per listing of a parent (a join of two patterns of one kind lists it twice).
  for (TReteNode* Parent : Node->Parents_) {
    ChildrenChanged(*Parent);
    DropEdge(*Parent, *Node);
  }
  for (const TReteEdge& E : Node->Children_) {
    if (!E.Node) continue;
    auto& P = E.Node->Parents_;
    for (size_t I = P.size(); I-- > 0;)
      if (P[I] == Node) P.erase(P.begin() + I);
    if (P.empty() && !E.Node->Root_) AddRoot(E.Node);
  }
  Gaps_.erase(Node);
  if (Node->Root_) EraseRoot(Node);
  auto It = Nodes_.find(Node);
  if (It != Nodes_.end()) {
    std::unique_ptr<TReteNode> Owned = std::move(It->second);
    Nodes_.erase(It);
  }
}

void TReteNetwork::Clear() {
  for (auto& [Node, Owned] : Nodes_)
    if (auto* Terminal = dynamic_cast<TPatternMatchTerminalNode*>(Node)) Terminal->DeactivateAll();
  Successors_.clear();
  Dispatches_.clear();
  Gaps_.clear();
  Nodes_.clear();
  Roots_.clear();
  RootsByTemplate_.clear();
  RootsOfNoTemplate_.clear();
  RootsIndexed_ = true;
  for (TRule* Rule : Rules_) Rule->NetworkPart_ = TRule::TNetworkPart();
  Rules_.clear();
}

bool TReteNetwork::ContainsRule(const TRule& Rule) const noexcept { return Rule.NetworkPart_.Network == this; }

const std::vector<TReteNode*>* TReteNetwork::GetRuleNodesList(const TRule& Rule) const {
  return ContainsRule(Rule) ? &Rule.NetworkPart_.Nodes : nullptr;
}

void TReteNetwork::ForgetRule(TRule& Rule) noexcept {
  const size_t Position = Rule.NetworkPart_.Position;
  TRule* Last = Rules_.back();
  Rules_[Position] = Last;
  Last->NetworkPart_.Position = Position;
  Rules_.pop_back();
  Rule.NetworkPart_ = TRule::TNetworkPart();
}

std::string TReteNetwork::DescribeMatch(const TReteNode& Node) const {
  // Only an error takes this path: a walk over the rules' node lists costs nothing that counts.
  const TRule* Found = nullptr;
  int32_t Pattern = -1;
  for (const TRule* Rule : Rules_) {
    const TRule::TNetworkPart& List = Rule->NetworkPart_;
    const auto It = std::find(List.Nodes.begin(), List.Nodes.end(), &Node);
    if (It == List.Nodes.end() || (Found && Found->GetRuleName() <= Rule->GetRuleName())) continue;
    Found = Rule;
    Pattern = List.Patterns[static_cast<size_t>(It - List.Nodes.begin())];
  }
  if (!Found || Pattern < 0 || Pattern >= Found->GetPatternCount()) return Node.GetToString();
  return Found->GetPattern(Pattern)->ToString() + " in rule " + Found->GetRuleName();
}

std::string TReteNetwork::GetCompileTrace(const TRule& Rule) const {
  return ContainsRule(Rule) ? Rule.NetworkPart_.Trace : std::string();
}

void TReteNetwork::RemoveRule(TRule& Rule) {
  if (!ContainsRule(Rule)) return;
  const std::vector<TReteNode*> Nodes = std::move(Rule.NetworkPart_.Nodes);
  ForgetRule(Rule);
  for (auto N = Nodes.rbegin(); N != Nodes.rend(); ++N) {
    TReteNode* Node = *N;
    if (!Nodes_.count(Node)) continue;
    Node->SetRuleUseCount(Node->GetRuleUseCount() - 1);
    if (Node->GetRuleUseCount() == 0) FreeNode(Node);
  }
}

void TReteNetwork::Notification(platform::TComponent* Component, platform::TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == platform::opRemove)
    if (auto* Rule = dynamic_cast<TRule*>(Component)) RemoveRule(*Rule);
}

void TReteNetwork::ClearAll(const IReteToken& Token) {
  // Depth first from the roots, each node's children in order, as a token passed on from node
  // to node would go; a node reached again by another path was cleared already.
  std::vector<TReteNode*> Stack(Roots_.rbegin(), Roots_.rend());
  std::unordered_set<TReteNode*> Seen;
  while (!Stack.empty()) {
    TReteNode* const Node = Stack.back();
    Stack.pop_back();
    if (!Seen.insert(Node).second) continue;
    Node->CallNode(Token, ctSingle);
    const std::vector<TReteEdge>& Children = Node->GetChildren();
    for (auto It = Children.rbegin(); It != Children.rend(); ++It)
      if (It->Node) Stack.push_back(It->Node);
  }
}

bool TReteNetwork::ProcessToken(const IReteToken& Token) {
  if (!Enabled_ && (Token->GetTag() == taAdd || Token->GetTag() == taUpdate)) return false;
  const TBusy Busy(*this);
  if (Token->GetTag() == taClear) {
    ClearAll(Token);
    return false;
  }
  bool Any = false;
  // A fact goes only to the roots of its template and those that test no template: the
  // others would turn it away.
  const TFact* Fact = Token->GetFact().get();
  const std::vector<TReteNode*>& Candidates =
      Fact && Fact->GetTemplate() ? RootsOf(Fact->GetTemplate()->GetTemplateName()) : Roots_;
  // A copy, as a root's work may add roots; every fact passes here, so a network of ordinary
  // size copies them onto the stack.
  constexpr size_t Inline = 32;
  TReteNode* Local[Inline];
  std::vector<TReteNode*> Many;
  const size_t N = Candidates.size();
  TReteNode* const* Roots = Local;
  if (N <= Inline)
    std::copy_n(Candidates.data(), N, Local);
  else
    Roots = (Many = Candidates).data();
  for (size_t I = 0; I < N; ++I)
    if (Roots[I]->CallNode(Token, ctSingle)) Any = true;
  return Any;
}

void TReteNetwork::Activate(TActivation* Activation) {
  if (Host_) Host_->AddActivation(Activation);
  if (OnActivation) OnActivation(this, Activation);
}

void TReteNetwork::Deactivate(TActivation* Activation) {
  if (OnDeactivation) OnDeactivation(this, Activation);
  if (Host_)
    Host_->RemoveActivation(Activation);
  else
    delete Activation;
}

void TReteNetwork::RuleFired(TActivation* Activation) {
  if (Host_) Host_->RuleFired(Activation);
  if (OnRuleFired) OnRuleFired(this, Activation);
}

IFunCall TReteNetwork::Evaluate(const TFunctionCall& Call, const TRule& Rule) const {
  IFunCall Copy = Call.Clone();
  for (int I = 0; I < Copy->GetArgumentCount(); ++I) {
    const IIEValue& A = Copy->GetArgument(I);
    if (!A) continue;
    if (IEVariableTypes.Contains(A->GetDType())) {
      const std::string Name(A->GetText());
      if (const TBinding* B = Rule.GetBindingByName(Name)) {
        Copy->SetArgument(I, BindingValue(*B));
      } else if (!Host_ || !Host_->IsGlobalVariable(Name)) {
        RaiseIE(SUnknownVariable, {Name});
      }
    } else if (A->GetDType() == dtFunCall) {
      if (auto Nested = A->GetAsFunCall<TFunctionCall>())
        Copy->SetArgument(I, platform::MakeRef<TIEValue>(Evaluate(*Nested, Rule)));
    }
  }
  return Copy;
}

bool TReteNetwork::HasMorePatterns(const TFunctionCall& Call, int32_t Index) {
  for (const IIEValue& A : Call.GetArguments()) {
    if (!A) continue;
    if (A->GetDType() == dtObject) {
      if (const auto* B = dynamic_cast<const TBindingInfo*>(A->GetAsObject()))
        if (B->FactIndex != Index) return true;
    } else if (A->GetDType() == dtFunCall) {
      if (auto Nested = A->GetAsFunCall<TFunctionCall>())
        if (HasMorePatterns(*Nested, Index)) return true;
    }
  }
  return false;
}

TReteNode* TReteNetwork::CreateSuccessor(TReteNode* Parent, TPatternMatchTest Kind, IIEValue Value,
                                         const std::string& SlotA, const std::string& SlotB, int32_t ArgA,
                                         int32_t ArgB, TRuleNodes& Nodes, std::string& Trace, TTailRange Tail) {
  // A one-input node sees only the fact it tests: every binding place points at it.
  if (Value && Value->GetDType() == dtFunCall)
    if (auto Call = Value->GetAsFunCall<TFunctionCall>()) RebaseBindings(*Call, 0);
  const uint32_t ValueHash = Value ? Value->GetHashCode() : 0;
  auto Reuse = [&](TReteNode* Candidate) -> bool {
    auto* Node = dynamic_cast<TPatternMatchNode*>(Candidate);
    if (!Node || !Node->SameTest(Kind, Value, ValueHash, SlotA, SlotB, ArgA, ArgB, Tail)) return false;
    Node->SetRuleUseCount(Node->GetRuleUseCount() + 1);
    Nodes.Add(Node);
    if (Parent) Trace += "=1";
    return true;
  };
  if (Parent && !Parent->SuccessorsIndexed_ && Parent->Children_.size() >= IndexSuccessorsFrom)
    IndexSuccessors(*Parent);
  const bool Indexed = Parent && Parent->SuccessorsIndexed_;
  const size_t TestHash =
      Indexed ? TPatternMatchNode::TestHash(Kind, Value, ValueHash, SlotA, SlotB, ArgA, ArgB, Tail) : 0;
  if (Indexed) {
    auto [It, End] = Successors_.equal_range(SuccessorKey(Parent, TestHash));
    for (; It != End; ++It)
      if (Reuse(It->second)) return It->second;
  } else if (Parent) {
    for (const TReteEdge& E : Parent->Children_)
      if (E.CallType == ctSingle && E.Node && Reuse(E.Node)) return E.Node;
  } else {
    // Only a root of the same template (or another kind of root, for a test pattern) can share.
    const std::vector<TReteNode*>& Candidates =
        Kind == pmtTestClassType && Value ? RootsOf(Value->GetText()) : Roots_;
    for (TReteNode* Root : Candidates)
      if (Reuse(Root)) return Root;
  }
  TReteNode* Node =
      Own(std::make_unique<TPatternMatchNode>(*this, Kind, std::move(Value), SlotA, SlotB, ArgA, ArgB, Tail));
  if (Parent) {
    Connect(Parent, Node, ctSingle);
    if (Indexed)
      Successors_.emplace(SuccessorKey(Parent, TestHash), static_cast<TPatternMatchNode*>(Node));
  } else {
    AddRoot(Node);
  }
  Nodes.Add(Node);
  Trace += "+1";
  return Node;
}

void TReteNetwork::AddRule(TRule& Rule) {
  if (!Enabled_) return;
  if (GetBusy()) RaiseBusy("Adding a rule");
  RemoveRule(Rule);
  struct TCompiling {
    bool& Flag;
    ~TCompiling() { Flag = false; }
  } Compiling{Compiling_ = true};
  if (Rule.GetPatternCount() == 0 && Host_) Rule.AddPattern(Host_->GetInitialFactPattern().Clone(&Rule));
  // A rule is compiled into one network at a time.
  if (Rule.NetworkPart_.Network) Rule.NetworkPart_.Network->RemoveRule(Rule);
  TRule::TNetworkPart& Part = Rule.NetworkPart_;
  Part.Network = this;
  Part.Position = Rules_.size();
  Rules_.push_back(&Rule);
  Part.Trace = Rule.GetRuleName() + ": ";
  TRuleNodes Nodes{Part.Nodes, Part.Patterns};
  try {
    Compile(Rule, Nodes, Part.Trace);
  } catch (...) {
    RemoveRule(Rule);
    throw;
  }
  // Most rules use a handful of nodes: a list exactly as long saves what doubling left over.
  Part.Nodes.shrink_to_fit();
  Part.Patterns.shrink_to_fit();
}

void TReteNetwork::Compile(TRule& Rule, TRuleNodes& Nodes, std::string& Trace) {
  const int Count = Rule.GetPatternCount();
  std::vector<TReteNode*> First(static_cast<size_t>(Count));
  std::vector<TReteNode*> Last(static_cast<size_t>(Count));

  // Pass one: the alpha chain of each pattern.
  for (int I = 0; I < Count; ++I) {
    Nodes.Pattern = I;
    const TIEPattern& P = *Rule.GetPattern(I);
    const bool Test = P.GetName() == STestCE;
    TReteNode* Node = CreateSuccessor(nullptr, Test ? pmtUnknown : pmtTestClassType,
                                      NewAtom(Test ? std::string(STestCE) : P.GetFactTemplate()->GetTemplateName()),
                                      std::string(), std::string(), 0, 0, Nodes, Trace);
    First[static_cast<size_t>(I)] = Node;
    if (!Test) {
      for (int S = 0; S < P.GetSlotCount(); ++S)
        if (const TSlotTests* Tests = P.GetSlotTests(S))
          for (const TSegment& Segment : Segments(*Tests, P.GetSlotLength(S)))
            Node = CreateSuccessor(Node, pmtTestMultiSlotMultiField, nullptr, P.GetSlotName(S), std::string(),
                                   Segment.SubIndex, 0, Nodes, Trace, Segment.Tail);
      for (int S = 0; S < P.GetSlotCount(); ++S)
        if (P.GetSlotLength(S) >= 0)
          Node = CreateSuccessor(Node, pmtTestMultiSlotLength, nullptr, P.GetSlotName(S), std::string(),
                                 P.GetSlotLength(S), 0, Nodes, Trace);
      for (int S = 0; S < P.GetSlotCount(); ++S) {
        const TSlotTests* Tests = P.GetSlotTests(S);
        if (!Tests) continue;
        for (const auto& T : *Tests) {
          const IIEValue& V = T->GetSlotValue();
          if (!V || IEVariableTypes.Contains(V->GetDType())) continue;
          IIEValue NodeValue = V;
          if (V->GetDType() == dtFunCall) {
            const IFunCall Converted = Evaluate(*V->GetAsFunCall<TFunctionCall>(), Rule);
            if (HasMorePatterns(*Converted, I)) continue;
            NodeValue = platform::MakeRef<TIEValue>(Converted);
          }
          const bool Equal = T->GetSlotTestType() == sttEquals;
          const bool Field = T->GetMultiSlotSubIndex() != NoSubIndex;
          const TPatternMatchTest Kind = Field ? (Equal ? pmtTestMultiSlotEqual : pmtTestMultiSlotNotEqual)
                                               : (Equal ? pmtTestEqual : pmtTestNotEqual);
          Node = CreateSuccessor(Node, Kind, NodeValue, P.GetSlotName(S), std::string(), T->GetMultiSlotSubIndex(), 0,
                                 Nodes, Trace);
        }
      }
    }
    Last[static_cast<size_t>(I)] = Node;
  }

  // Pass two: a variable met twice in one pattern compares two places of the same fact.
  for (int I = 0; I < Count; ++I) {
    Nodes.Pattern = I;
    const TIEPattern& P = *Rule.GetPattern(I);
    if (P.GetName() == STestCE) continue;
    std::vector<const TIEPatternMatchTest*> Order;
    std::vector<std::string> SlotOf;
    for (int S = 0; S < P.GetSlotCount(); ++S)
      if (const TSlotTests* Tests = P.GetSlotTests(S))
        for (const auto& T : *Tests) {
          Order.push_back(T.get());
          SlotOf.push_back(P.GetSlotName(S));
        }
    std::vector<std::string> Seen;
    TReteNode* Node = Last[static_cast<size_t>(I)];
    for (size_t A = 0; A < Order.size(); ++A) {
      const IIEValue& V = Order[A]->GetSlotValue();
      if (!V || !IEVariableTypes.Contains(V->GetDType())) continue;
      const std::string Name(V->GetText());
      if (std::find(Seen.begin(), Seen.end(), Name) != Seen.end()) continue;
      Seen.push_back(Name);
      // Later occurrences: in later slots, or later fields of the same multislot.
      for (size_t B = A + 1; B < Order.size(); ++B) {
        const IIEValue& W = Order[B]->GetSlotValue();
        if (!W || !IEVariableTypes.Contains(W->GetDType()) || W->GetText() != Name) continue;
        if (SlotOf[B] == SlotOf[A] && Order[B]->GetMultiSlotSubIndex() == Order[A]->GetMultiSlotSubIndex()) continue;
        const bool NotA = Order[A]->GetSlotTestType() == sttNotEquals;
        const bool NotB = Order[B]->GetSlotTestType() == sttNotEquals;
        if (NotA && NotB) continue;
        Node = CreateSuccessor(Node, NotA || NotB ? pmtTestSlotValueNotEqual : pmtTestSlotValueEqual, nullptr,
                               SlotOf[A], SlotOf[B], Order[A]->GetMultiSlotSubIndex(), Order[B]->GetMultiSlotSubIndex(),
                               Nodes, Trace);
      }
    }
    // A fact that holds its own id: "?f <- (ref ?f)" compares the fact place with the slot.
    if (!P.GetBoundName().empty())
      for (size_t A = 0; A < Order.size(); ++A) {
        const IIEValue& V = Order[A]->GetSlotValue();
        if (!V || V->GetDType() != dtVariable || V->GetText() != P.GetBoundName()) continue;
        const bool Equal = Order[A]->GetSlotTestType() == sttEquals;
        Node = CreateSuccessor(Node, Equal ? pmtTestSlotValueEqual : pmtTestSlotValueNotEqual, nullptr,
                               std::string(SPatternBinding), SlotOf[A], NoSubIndex, Order[A]->GetMultiSlotSubIndex(),
                               Nodes, Trace);
      }
    Last[static_cast<size_t>(I)] = Node;
  }

  // Pass three: joins.
  const auto Factless = [&Rule, Count](int32_t Index) {
    if (Index < 0 || Index >= Count) return false;
    const TIEPattern& Q = *Rule.GetPattern(Index);
    return Q.GetNegatedCount() > 0 || Q.GetName() == STestCE;
  };
  const auto FuzzySlot = [&Rule, Count](int32_t Index, const std::string& Slot) {
    if (Index < 0 || Index >= Count) return false;
    const IFactTemplate& Template = Rule.GetPattern(Index)->GetFactTemplate();
    IFactSlot Found;
    return Template && Template->ContainsSlot(Slot, Found) && Found->IsFuzzy();
  };
  TReteNode* Left = Count > 0 ? Last[0] : nullptr;
  for (int I = 1; I < Count; ++I) {
    Nodes.Pattern = I;
    const TIEPattern& P = *Rule.GetPattern(I);
    const bool Test = P.GetName() == STestCE;
    const auto Unkeyable = [&, I](const TIEJoinTest& J) {
      return Factless(J.GetTokenIndex()) || FuzzySlot(J.GetTokenIndex(), J.GetLeftIndex()) ||
             FuzzySlot(I, J.GetRightIndex());
    };
    std::unique_ptr<TTestNode> Node;
    if (Test)
      Node = std::make_unique<TTestNode>(*this);
    else
      Node = std::make_unique<TJoinNode>(*this, P.GetNegatedCount() > 0, P.GetUnique(), HashKey_);
    std::vector<std::string> Seen;
    for (int S = 0; S < P.GetSlotCount(); ++S) {
      const TSlotTests* Tests = P.GetSlotTests(S);
      if (!Tests) continue;
      for (const auto& T : *Tests) {
        const IIEValue& V = T->GetSlotValue();
        if (!V) continue;
        if (IEVariableTypes.Contains(V->GetDType())) {
          // Every occurrence of a variable bound in another pattern is a join test: a later
          // positive occurrence must join even when the first one was a negated test.
          const std::string Name(V->GetText());
          const std::string Key = Name + "|" + P.GetSlotName(S) + "|" + std::to_string(T->GetMultiSlotSubIndex()) +
                                  "|" + std::to_string(T->GetSlotTestType());
          if (std::find(Seen.begin(), Seen.end(), Key) != Seen.end()) continue;
          Seen.push_back(Key);
          const TBinding* B = Rule.GetBindingByName(Name);
          if (!B) RaiseIE(SCorruptedVariable, {Name});
          if (B->FactIndex == I) continue;
          const int32_t Sub = T->GetMultiSlotSubIndex();
          if (B->SubIndex == NoSubIndex && Sub == NoSubIndex)
            Node->AddTest(std::make_unique<TIEJoinTest>(T->GetSlotTestType(), B->SlotIndex, P.GetSlotName(S),
                                                        B->FactIndex));
          else
            Node->AddTest(std::make_unique<TIEJoinTest>(T->GetSlotTestType(), B->SlotIndex, B->SubIndex,
                                                        P.GetSlotName(S), Sub, B->FactIndex));
        } else if (V->GetDType() == dtFunCall) {
          if (P.GetFactTemplate() && P.GetFactTemplate()->IsBackwardChaining())
            RaiseIE(SBackChainFuncallPatterns, {P.GetName()});
          const IFunCall Converted = Evaluate(*V->GetAsFunCall<TFunctionCall>(), Rule);
          if (!Test && !HasMorePatterns(*Converted, I)) continue;
          Node->AddTest(std::make_unique<TIEPatternMatchTest>(nullptr, platform::MakeRef<TIEValue>(Converted),
                                                              T->GetMultiSlotSubIndex(), T->GetSlotTestType()));
        }
      }
    }
    // A pattern bound to a variable an earlier pattern binds ("(ref ?f) ?f <- (a)"): the fact
    // itself is compared with the earlier value.
    if (!Test && !P.GetBoundName().empty())
      if (const TBinding* B = Rule.GetBindingByName(P.GetBoundName()); B && B->FactIndex != I) {
        if (B->SubIndex == NoSubIndex)
          Node->AddTest(
              std::make_unique<TIEJoinTest>(sttEquals, B->SlotIndex, std::string(SPatternBinding), B->FactIndex));
        else
          Node->AddTest(std::make_unique<TIEJoinTest>(sttEquals, B->SlotIndex, B->SubIndex,
                                                      std::string(SPatternBinding), NoSubIndex, B->FactIndex));
      }
    TReteNode* Right = Last[static_cast<size_t>(I)];
    TReteNode* Result = nullptr;
    auto* Join = dynamic_cast<TJoinNode*>(Node.get());
    // A pattern written "explicit" matches what there is and asks for nothing; nor can a
    // negated one ask for the fact it must not find.
    const bool AsksForGoals = Join && !Join->GetNegatedPattern() && !P.GetExplicit() && P.GetFactTemplate() &&
                              P.GetFactTemplate()->IsBackwardChaining();
    if (AsksForGoals) Join->SetPattern(P, Rule, I);
    if (Join && !Join->GetNegatedPattern()) {
      for (const TReteEdge& E : Left->Children_) {
        auto* Existing = dynamic_cast<TJoinNode*>(E.Node);
        if (E.CallType != ctLeft || !Existing || !Existing->SameTests(*Join)) continue;
        const bool FromRight = std::any_of(Right->Children_.begin(), Right->Children_.end(), [&](const TReteEdge& R) {
          return R.Node == Existing && R.CallType == ctRight;
        });
        if (!FromRight) continue;
        if (AsksForGoals && !Existing->GetBackChaining()) Existing->SetPattern(P, Rule, I);
        Existing->SetRuleUseCount(Existing->GetRuleUseCount() + 1);
        Nodes.Add(Existing);
        Trace += "=2";
        Result = Existing;
        break;
      }
    }
    if (!Result) {
      TReteNode* Owned = Own(std::move(Node));
      Connect(Left, Owned, ctLeft);
      Connect(Right, Owned, ctRight);
      if (Join) Join->PrepareShortCut(Unkeyable);
      Nodes.Add(Owned);
      Trace += "+2";
      Result = Owned;
      // Each further "not" negates the element before it; the chained node matches the left
      // token that its right token extends.
      for (int K = 1; Join && K < P.GetNegatedCount(); ++K) {
        auto Chain = std::make_unique<TJoinNode>(*this, true, false, HashKey_);
        Chain->SetChained(true);
        TJoinNode* ChainNode = Chain.get();
        TReteNode* Chained = Own(std::move(Chain));
        Connect(Left, Chained, ctLeft);
        Connect(Result, Chained, ctRight);
        ChainNode->PrepareShortCut(Unkeyable);
        Nodes.Add(Chained);
        Trace += "+2";
        Result = Chained;
      }
    }
    Left = Result;
  }

  // Pass four: the terminal node, then the facts already in working memory.
  Nodes.Pattern = Count - 1;
  auto Terminal = std::make_unique<TPatternMatchTerminalNode>(*this, &Rule);
  TPatternMatchTerminalNode* TerminalNode = Terminal.get();
  TReteNode* Owned = Own(std::move(Terminal));
  Connect(Left, Owned, ctActivate);
  Nodes.Add(Owned);
  Trace += "+t";
  if (Host_) {
    struct TPriming {
      bool& Flag;
      ~TPriming() { Flag = false; }
    } Priming{Priming_ = true};
    // The first nodes of the rule's patterns, each once.
    std::vector<TReteNode*> Entry;
    for (TReteNode* F : First)
      if (std::find(Entry.begin(), Entry.end(), F) == Entry.end()) Entry.push_back(F);
    for (const IFact& Fact : Host_->GetFactList()) {
      const IReteToken Remove = platform::MakeRef<TIEToken>(taRemove, Fact);
      const IReteToken Add = platform::MakeRef<TIEToken>(taUpdate, Fact);
      for (TReteNode* F : Entry) F->CallNode(Remove, ctSingle);
      for (TReteNode* F : Entry) F->CallNode(Add, ctSingle);
    }
  }
  TerminalNode->SetInitialized(true);
}

}  // namespace rulecore
