// Patterns and their slot tests: the conditions of a rule's left-hand side.
//
// A TIEPattern names a template and keeps, per slot, an ordered list of intra-pattern tests
// (TIEPatternMatchTest) that a single fact must pass.  Join tests (TIEJoinTest) relate a slot of
// the fact being matched to a slot of a fact matched earlier in the rule; the network compiler
// makes them and join nodes run them.  A pattern owns its test lists and the tests in them;
// tests and lists point back to their pattern without owning it.
//
// Contents
//   1. Seams      - what a pattern needs from its rule, from the function registry and from a
//                   join node's context; the rule, engine and context layers implement them
//   2. Slot tests - TIESlotTest, TIEPatternMatchTest, TIEJoinTest
//   3. TSlotTests - the owning test list of one slot
//   4. TIEPattern
//
// Depends on the values layer and on templates and facts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Fact.h"
#include "FactTemplate.h"
#include "core/values/IEBindingInfo.h"
#include "core/values/IEConsts.h"
#include "core/values/IESymbolGenerator.h"
#include "core/values/IEValue.h"
#include "platform/BlockPool.h"
#include "platform/Object.h"
#include "platform/SmallVector.h"

namespace platform {
class TComponent;
}

namespace rulecore {

class TIEPattern;
class TSlotTests;

// --- 1. seams ---------------------------------------------------------------------------------

// Builds call expressions by function name: the engine's function registry, seen from a pattern
// that turns its "or" constraints into calls.  An unknown name raises.
class IFunCallFactory {
 public:
  virtual platform::Ref<TFunCallBase> NewFunCall(std::string_view Name, std::vector<IIEValue> Args) = 0;

 protected:
  ~IFunCallFactory() = default;
};

// What a pattern needs from the rule that owns it.  The rule component implements it; a pattern
// finds it by querying its owner.
class IPatternOwner {
 public:
  // The pattern's position in the rule, which is the FactIndex of the bindings it makes; -1 when
  // the rule does not hold the pattern.
  virtual int32_t IndexOfPattern(const TIEPattern& Pattern) const = 0;
  // Records where a variable's value lives.  An equal existing binding is kept and returned.
  virtual const TBindingInfo& AddBinding(std::string_view Name, int32_t FactIndex, std::string_view SlotIndex,
                                         int32_t SubIndex) = 0;
  // The pattern changed (outside any update bracket): the rule recompiles.
  virtual void Change(TIEPattern& Pattern) = 0;
  // The engine's symbol generator and function registry; nullptr while the rule has no engine.
  virtual ISymbolGenerator* GetSymbolGenerator() = 0;
  virtual IFunCallFactory* GetFunCallFactory() = 0;

 protected:
  ~IPatternOwner() = default;
};

// The evaluation context a join node passes to its join tests.
class IJoinTestContext {
 public:
  // The fact being matched.
  virtual TFact* GetCurrentFact() = 0;
  // The fact at a position of the token of earlier matches; nullptr when the token holds none
  // there (a negated pattern's position).
  virtual TFact* GetTokenFact(int32_t TokenIndex) = 0;

 protected:
  ~IJoinTestContext() = default;
};

// --- 2. slot tests ----------------------------------------------------------------------------

class TIESlotTest : public platform::TPersistent {
  PLATFORM_CLASS(TIESlotTest, platform::TPersistent)
 public:
  explicit TIESlotTest(TSlotTestType SlotTestType = sttEquals) noexcept : SlotTestType_(SlotTestType) {}

  TSlotTestType GetSlotTestType() const noexcept { return SlotTestType_; }
  void SetSlotTestType(TSlotTestType Value);
  // True for join tests (TIEJoinTest and its descendants): lets a join node tell its tests
  // apart without a run-time type query per comparison.
  bool IsJoinTest() const noexcept { return JoinTest_; }

  using TPersistent::Assign;
  void Assign(const platform::TPersistent& Source) override;
  // A new object of the same class, assigned from this one.
  std::unique_ptr<TIESlotTest> Clone() const { return DoClone(); }
  // Same class and same sense.
  virtual bool Equals(const TIESlotTest& Other) const;
  // "=" or "<>".
  virtual std::string ToString() const;

 protected:
  struct TJoinKind {};
  TIESlotTest(TJoinKind, TSlotTestType SlotTestType) noexcept : SlotTestType_(SlotTestType), JoinTest_(true) {}
  virtual std::unique_ptr<TIESlotTest> DoClone() const;
  // Called after every change of the test's fields.
  virtual void Changed() {}
  bool ApplySense(bool Result) const noexcept { return SlotTestType_ == sttEquals ? Result : !Result; }

 private:
  TSlotTestType SlotTestType_;
  bool JoinTest_ = false;
};

class TIEPatternMatchTest : public TIESlotTest {
  PLATFORM_CLASS(TIEPatternMatchTest, TIESlotTest)
 public:
  PLATFORM_POOLED(TIEPatternMatchTest)
  explicit TIEPatternMatchTest(TIEPattern* Pattern = nullptr) noexcept : Pattern_(Pattern) {}
  TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, TSlotTestType SlotTestType);
  TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, int32_t SubIndex, TSlotTestType SlotTestType);
  // Sense, sub-index and conjunction of Source, with another value.
  TIEPatternMatchTest(TIEPattern* Pattern, const IIEValue& Value, const TIEPatternMatchTest& Source);

  TIEPattern* GetPattern() const noexcept { return Pattern_; }
  // The list holding the test, or nullptr while it is in none.
  TSlotTests* GetSlotTests() const noexcept { return List_; }

  const IIEValue& GetSlotValue() const noexcept { return SlotValue_; }
  // Stores a private clone of Value.
  void SetSlotValue(const IIEValue& Value);
  int32_t GetMultiSlotSubIndex() const noexcept { return MultiSlotSubIndex_; }
  void SetMultiSlotSubIndex(int32_t Value);
  bool GetConjunction() const noexcept { return Conjunction_; }
  void SetConjunction(bool Value);

  // Resolves the value in Context (variables take their bindings, calls run): the test holds
  // unless the result is the atom FALSE; with sttNotEquals exactly when it is.
  bool PerformTest(platform::TObject* Context);

  using TIESlotTest::Equals;
  bool Equals(const TIESlotTest& Other) const override;
  // Look-ups by parts: IsEquals true stands for sttEquals, false for sttNotEquals.
  bool Equals(bool IsEquals, int32_t SubIndex, const IIEValue& Value) const;
  bool Equals(bool IsEquals, bool Conjunction, const IIEValue& Value, int32_t SubIndex) const;

  // The test as a call: a call value itself (negated by "not" for sttNotEquals), any other value
  // compared with Value by "eq" or "neq".
  platform::Ref<TFunCallBase> ConvertToFunCall(IFunCallFactory& Registry, const IIEValue& Value) const;

  // "=" or "<>", " SubIdx: " n, and " Slot: " value text when there is a value.
  std::string ToString() const override;
  using TIESlotTest::Assign;
  void Assign(const platform::TPersistent& Source) override;
  std::unique_ptr<TIEPatternMatchTest> Clone() const;

 protected:
  std::unique_ptr<TIESlotTest> DoClone() const override;
  void Changed() override;

 private:
  friend class TSlotTests;

  IIEValue SlotValue_;
  int32_t MultiSlotSubIndex_ = NoSubIndex;
  bool Conjunction_ = true;
  TIEPattern* Pattern_ = nullptr;
  TSlotTests* List_ = nullptr;
};

class TIEJoinTest : public TIESlotTest {
  PLATFORM_CLASS(TIEJoinTest, TIESlotTest)
 public:
  TIEJoinTest() noexcept : TIESlotTest(TJoinKind{}, sttEquals) {}
  // Whole-slot comparison (tstSlot).
  TIEJoinTest(TSlotTestType SlotTestType, std::string LeftIndex, std::string RightIndex, int32_t TokenIndex);
  // Comparison that may address single fields of multislots (tstMultiSlot).
  TIEJoinTest(TSlotTestType SlotTestType, std::string LeftIndex, int32_t LeftSubIndex, std::string RightIndex,
              int32_t RightSubIndex, int32_t TokenIndex);

  TJoinTestType GetJoinTestType() const noexcept { return JoinTestType_; }
  void SetJoinTestType(TJoinTestType Value) noexcept { JoinTestType_ = Value; }
  const std::string& GetLeftIndex() const noexcept { return LeftIndex_; }
  void SetLeftIndex(std::string Value) {
    LeftIndex_ = std::move(Value);
    NoteFactPlaces();
  }
  int32_t GetLeftSubIndex() const noexcept { return LeftSubIndex_; }
  void SetLeftSubIndex(int32_t Value) noexcept { LeftSubIndex_ = Value; }
  const std::string& GetRightIndex() const noexcept { return RightIndex_; }
  void SetRightIndex(std::string Value) {
    RightIndex_ = std::move(Value);
    NoteFactPlaces();
  }
  int32_t GetRightSubIndex() const noexcept { return RightSubIndex_; }
  void SetRightSubIndex(int32_t Value) noexcept { RightSubIndex_ = Value; }
  int32_t GetTokenIndex() const noexcept { return TokenIndex_; }
  void SetTokenIndex(int32_t Value) noexcept { TokenIndex_ = Value; }

  // Compares slot LeftIndex of the token's fact at TokenIndex with slot RightIndex of the
  // current fact (strict equality).  Context must be an IJoinTestContext.
  bool PerformTest(platform::TObject* Context);
  bool PerformTest(IJoinTestContext& Context);
  // The test itself, given the fact at the token index (nullptr for a negated pattern's place,
  // which does not constrain the match) and the fact being matched: a join node whose tests are
  // all join tests runs them so, without a context.
  bool Holds(TFact* Left, TFact& Right);

  using TIESlotTest::Equals;
  bool Equals(const TIESlotTest& Other) const override;
  std::string ToString() const override;
  using TIESlotTest::Assign;
  void Assign(const platform::TPersistent& Source) override;
  std::unique_ptr<TIEJoinTest> Clone() const;

 protected:
  std::unique_ptr<TIESlotTest> DoClone() const override;

 private:
  void NoteFactPlaces() noexcept { FactPlaces_ = IsFactPlace(LeftIndex_) || IsFactPlace(RightIndex_); }
  // Holds for a test of which a side is a whole fact (see IsFactPlace).
  bool HoldsOnFactPlace(TFact& Left, TFact& Right) const;

  TJoinTestType JoinTestType_ = tstSlot;
  bool FactPlaces_ = false;
  std::string LeftIndex_;
  int32_t LeftSubIndex_ = NoSubIndex;
  std::string RightIndex_;
  int32_t RightSubIndex_ = NoSubIndex;
  int32_t TokenIndex_ = 0;
  // Where the two slots were found in the last facts compared.
  TSlotPlace LeftPlace_;
  TSlotPlace RightPlace_;
};

// --- 3. the tests of one slot -------------------------------------------------------------------

// An ordered, owning list of pattern match tests.  Every insertion and removal is reported to
// the pattern, which keeps its test counts from these reports.  Deleting a test frees it;
// extracting hands it to the caller.
class TSlotTests {
 public:
  PLATFORM_POOLED(TSlotTests)
  explicit TSlotTests(TIEPattern* Pattern = nullptr) noexcept : Pattern_(Pattern) {}
  ~TSlotTests();
  TSlotTests(const TSlotTests&) = delete;
  TSlotTests& operator=(const TSlotTests&) = delete;

  TIEPattern* GetPattern() const noexcept { return Pattern_; }
  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  // Index errors raise the platform's list error.
  TIEPatternMatchTest* Get(int Index) const;
  TIEPatternMatchTest* operator[](int Index) const { return Get(Index); }
  int IndexOf(const TIEPatternMatchTest* Test) const noexcept;

  // The list takes the test over and makes it belong to its pattern; returns it.
  TIEPatternMatchTest* Add(std::unique_ptr<TIEPatternMatchTest> Test);
  TIEPatternMatchTest* Insert(int Index, std::unique_ptr<TIEPatternMatchTest> Test);
  // Replaces the test at Index (the old one is freed).
  TIEPatternMatchTest* Put(int Index, std::unique_ptr<TIEPatternMatchTest> Test);
  void Delete(int Index);
  std::unique_ptr<TIEPatternMatchTest> Extract(int Index);
  void Clear();

  auto begin() const noexcept { return Items_.begin(); }
  auto end() const noexcept { return Items_.end(); }

 private:
  void Adopt(TIEPatternMatchTest& Test);
  void Released(TIEPatternMatchTest& Test);

  TIEPattern* Pattern_;
  // Most slots carry one test: it stays in the list's own block.
  platform::TSmallVector<std::unique_ptr<TIEPatternMatchTest>, 1> Items_;
};

// --- 4. the pattern -----------------------------------------------------------------------------

// One entry of a pattern's slot list.
struct TPatternSlot {
  std::string Name;
  std::unique_ptr<TSlotTests> Tests;  // nullptr while the slot has no test list
  int32_t Length = -1;                // fields a multislot must have; -1: unconstrained
};
using TPatternSlots = std::vector<TPatternSlot>;

class TIEPattern : public platform::TPersistent {
  PLATFORM_CLASS(TIEPattern, platform::TPersistent)
 public:
  // A rule base holds thousands of patterns, tests and test lists: pooled blocks carry no
  // allocator header.
  PLATFORM_POOLED(TIEPattern)
  explicit TIEPattern(platform::TComponent* Owner = nullptr, int32_t NegatedCount = 0,
                      const IFactTemplate& Template = nullptr, const TIEName& Name = {});
  // A pattern on Source's template with a copy of every test of Source.  Anonymous variables
  // ("_blank_...") get fresh names, so the copy and its source never share one.
  TIEPattern(platform::TComponent* Owner, int32_t NegatedCount, const TIEName& Name, const TIEPattern& Source);
  ~TIEPattern() override;

  // --- properties ---
  const std::string& GetComment() const noexcept;
  void SetComment(const std::string& Value);
  const IFactTemplate& GetFactTemplate() const noexcept { return Template_; }
  // Slots of the new template get entries; entries (and tests) of the old slots stay.
  void SetFactTemplate(const IFactTemplate& Value);
  int32_t GetNegatedCount() const noexcept { return NegatedCount_; }
  void SetNegatedCount(int32_t Value);
  // Positive and odd: the number of enclosing "not"s leaves the pattern negated.
  bool IsNegated() const noexcept { return NegatedCount_ > 0 && NegatedCount_ % 2 == 1; }
  const TIEName& GetBoundName() const noexcept { return BoundName_; }
  // A negated "test" pattern cannot be bound (SInvalidPatternBinding).
  void SetBoundName(const TIEName& Value);
  const TIEName& GetName() const noexcept { return Name_; }
  void SetName(const TIEName& Value) { Name_ = Value; }
  bool GetUnique() const noexcept { return Unique_; }
  void SetUnique(bool Value);
  bool GetExplicit() const noexcept { return Explicit_; }
  void SetExplicit(bool Value);
  platform::TComponent* GetOwner() const noexcept { return Owner_; }
  void SetOwner(platform::TComponent* Value);
  const TNotifyEvent& GetOnChange() const noexcept;
  void SetOnChange(TNotifyEvent Value);

  // --- slots (sorted by name, as the template sorts them) ---
  int GetSlotCount() const noexcept { return static_cast<int>(Slots_.size()); }
  const std::string& GetSlotName(int Index) const { return Slot(Index).Name; }
  int IndexOfSlotName(std::string_view Name) const noexcept;
  TSlotTests* GetSlotTests(int Index) const { return Slot(Index).Tests.get(); }
  int GetSlotTestCount(int Index) const;
  TIEPatternMatchTest* GetSlotTest(int SlotIndex, int TestIndex) const;
  // Replaces a test of a slot's list (the old one is freed).
  void SetSlotTest(int SlotIndex, int TestIndex, std::unique_ptr<TIEPatternMatchTest> Test);
  int32_t GetSlotLength(int Index) const { return Slot(Index).Length; }
  void SetSlotLength(int Index, int32_t Value);
  const TPatternSlots& GetSlots() const noexcept { return Slots_; }
  // Rebuilds the slot list from Source: its names, slot lengths and a copy of each test list.
  void SetTests(const TPatternSlots& Source);
  int GetTestCount() const noexcept { return TestCount_; }
  // Tests that start a new alternative (Conjunction false).
  int GetDisjunctionCount() const noexcept { return DisjunctionCount_; }

  // --- tests ---
  // Appends Test to the tests of slot SlotName (SNoTemplate, SInvalidSlotName); returns it.
  TIEPatternMatchTest* AddTest(std::string_view SlotName, std::unique_ptr<TIEPatternMatchTest> Test);
  TIEPatternMatchTest* AddTest(std::string_view SlotName, const IIEValue& Value, bool Conjunction, bool NotEquals,
                               int32_t SubIndex = NoSubIndex);
  // The test objects this pattern makes; a descendant may make tests of its own class.
  virtual std::unique_ptr<TIEPatternMatchTest> CreatePatternMatchTest(TIEPattern* Pattern, TSlotTestType SlotTestType,
                                                                      const IIEValue& Value, int32_t SubIndex) const;
  virtual std::unique_ptr<TIEPatternMatchTest> CreatePatternMatchTest(const TIEPatternMatchTest& Source) const;
  // Rewrites every "or" constraint into a binding test and a test of an "or" call, so that the
  // network sees conjunctions only.  Needs the owning rule (SPatternRuleMissing).
  void FixTests();

  // --- change propagation ---
  void BeginUpdate() noexcept { ++UpdateCount_; }
  void EndUpdate();
  int GetUpdateCount() const noexcept { return UpdateCount_; }
  // Outside an update: tells the owning rule, then raises OnChange.
  void Change();

  // --- copying and text ---
  using TPersistent::Assign;
  void Assign(const platform::TPersistent& Source) override;
  // A copy for Owner.  When Owner is an engine other than the template's, the copy uses that
  // engine's template of the same name (made from this one when the engine has none).
  std::unique_ptr<TIEPattern> Clone(platform::TComponent* Owner) const;
  // The rule-language text of the pattern.
  std::string ToString() const;

 protected:
  // An empty pattern of this object's class (the class registry makes it).  A descendant whose
  // constructor does not take an owner alone replaces this.
  virtual std::unique_ptr<TIEPattern> NewInstance(platform::TComponent* Owner) const;

 private:
  friend class TSlotTests;
  friend class TIEPatternMatchTest;

  const TPatternSlot& Slot(int Index) const;
  TPatternSlot& Slot(int Index);
  // The entry of slot Name, created in sorted position when missing.
  TPatternSlot& EntryFor(std::string_view Name);
  TSlotTests& TestsOf(TPatternSlot& Entry);
  void AddTemplateSlots();
  void CopyTestsFrom(const TIEPattern& Source, ISymbolGenerator* Symbols);
  void AssignFrom(const TIEPattern& Source);
  ISymbolGenerator* SymbolGenerator() const;
  // Reports from the test lists and tests.
  void TestAdded(const TIEPatternMatchTest& Test);
  void TestRemoved(const TIEPatternMatchTest& Test);
  void ConjunctionChanged(bool Conjunction);

  // Ordered so that the small fields fill the holes the large ones leave.
  bool Unique_ = false;
  bool Explicit_ = false;
  bool Destroying_ = false;
  int32_t NegatedCount_ = 0;
  IFactTemplate Template_;
  TIEName BoundName_;
  TIEName Name_;
  TPatternSlots Slots_;
  platform::TComponent* Owner_ = nullptr;
  int UpdateCount_ = 0;
  int TestCount_ = 0;
  int DisjunctionCount_ = 0;
  // Rarely set: one pointer in every pattern instead of the two fields, made on first use.
  struct TRare {
    TNotifyEvent OnChange;
    std::string Comment;
  };
  std::unique_ptr<TRare> Rare_;
  TRare& Rare();
};

}  // namespace rulecore
