#include "ValueVector.h"

#include <algorithm>
#include <utility>

#include "IEException.h"
#include "platform/Exceptions.h"
#include "platform/StackGuard.h"

namespace rulecore {

using platform::ICloneable;
using platform::TCloneable;
using platform::TPersistent;

// =============================================================================================
// TValueVector
// =============================================================================================

namespace {

// Lists nest (a list may hold lists), as deep as a program builds them.  Releasing one must not
// recurse once per level: the outermost list being destroyed on a thread drains the elements of
// every list freed inside it from a work list, so the stack holds two levels at most.
thread_local std::vector<std::vector<IIEValue>>* Draining = nullptr;

// Printing, comparing, hashing and copying walk a list's elements in depth: past the stack's
// reserve they stop with the nesting error rather than overflow.
void CheckNesting() {
  if (platform::StackNearlyExhausted()) RaiseIE(SNestingTooDeep, {"list"});
}

}  // namespace

TValueVector::~TValueVector() {
  if (Items_.empty()) return;
  if (Draining) {
    Draining->push_back(std::move(Items_));
    return;
  }
  // Items that hold nothing counted (numbers, atoms, texts) are freed as the member goes: only
  // lists that hold lists, facts or objects need the work list that keeps deep nesting off the
  // stack.
  const bool Plain = std::all_of(Items_.begin(), Items_.end(), [](const IIEValue& V) {
    return !V || (!IEInterfaceTypes.Contains(V->GetDType()) && V->GetDType() != dtObject);
  });
  if (Plain) return;
  std::vector<std::vector<IIEValue>> Work;
  Draining = &Work;
  Work.push_back(std::move(Items_));
  while (!Work.empty()) {
    std::vector<IIEValue> Items = std::move(Work.back());
    Work.pop_back();
    Items.clear();  // the lists freed here add their elements to Work
  }
  Draining = nullptr;
}

size_t TValueVector::Checked(int Index) const {
  if (Index < 0 || Index >= GetValueCount()) platform::ListIndexError(Index);
  return static_cast<size_t>(Index);
}

// The shared empty list (the list of the constant nil list) never changes: every engine uses it.
void TValueVector::CheckMutable() const {
  if (IsImmortal()) RaiseConstantChange("()");
}

const IIEValue& TValueVector::Get(int Index) const { return Items_[Checked(Index)]; }

void TValueVector::Put(int Index, IIEValue Value) {
  CheckMutable();
  Items_[Checked(Index)] = std::move(Value);
}

int TValueVector::Add(IIEValue Value) {
  CheckMutable();
  Items_.push_back(std::move(Value));
  return GetValueCount() - 1;
}

void TValueVector::Clear() {
  CheckMutable();
  Items_.clear();
}

int TValueVector::IndexOf(const TIEValue* Value) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (Items_[I].get() == Value) return static_cast<int>(I);
  return -1;
}

void TValueVector::Insert(int Index, IIEValue Value) {
  CheckMutable();
  if (Index < 0 || Index > GetValueCount()) platform::ListIndexError(Index);
  Items_.insert(Items_.begin() + Index, std::move(Value));
}

void TValueVector::Delete(int Index) {
  CheckMutable();
  Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(Checked(Index)));
}

void TValueVector::Append(const TValueVector& Other) {
  CheckMutable();
  if (&Other == this) {
    const std::vector<IIEValue> Copy = Items_;
    Items_.insert(Items_.end(), Copy.begin(), Copy.end());
    return;
  }
  Items_.insert(Items_.end(), Other.Items_.begin(), Other.Items_.end());
}

int TValueVector::Remove(const TIEValue* Value) {
  const int I = IndexOf(Value);
  if (I >= 0) Delete(I);
  return I;
}

void TValueVector::Reserve(int Count) {
  if (Count <= 0) return;
  CheckMutable();
  Items_.reserve(static_cast<size_t>(Count));
}

namespace {

bool ElementsEqual(const TIEValue* A, const TIEValue* B) {
  if (!A || !B) return A == B;
  return A->Equals(B);
}

}  // namespace

bool TValueVector::Equals(const TCloneable* Other) const {
  const auto* List = dynamic_cast<const TValueVector*>(Other);
  return List && Equals(*List);
}

bool TValueVector::Equals(const TValueVector& Other) const {
  if (&Other == this) return true;
  if (Items_.size() != Other.Items_.size()) return false;
  CheckNesting();
  for (size_t I = 0; I < Items_.size(); ++I)
    if (!ElementsEqual(Items_[I].get(), Other.Items_[I].get())) return false;
  return true;
}

bool TValueVector::Equals(const platform::TInterfaceList<platform::TObject>& Other) const {
  if (GetValueCount() != Other.Count()) return false;
  for (int I = 0; I < Other.Count(); ++I) {
    const platform::TObject* Element = Other[I].get();
    const auto* Value = dynamic_cast<const TIEValue*>(Element);
    if (Element && !Value) return false;
    if (!ElementsEqual(Items_[static_cast<size_t>(I)].get(), Value)) return false;
  }
  return true;
}

uint32_t TValueVector::GetHashCode() const {
  CheckNesting();
  uint32_t Hash = 0;
  for (const IIEValue& V : Items_)
    if (V) Hash += V->GetHashCode();
  return Hash;
}

std::string TValueVector::GetToString() const {
  CheckNesting();
  std::string Text;
  for (const IIEValue& V : Items_) {
    if (V) Text += V->GetToString();
    Text += ' ';
  }
  return Text;
}

void TValueVector::Assign(const TPersistent& Source) { AssignError(&Source); }

void TValueVector::Assign(const ICloneable& Source) {
  const auto* Other = dynamic_cast<const TValueVector*>(Source.get());
  if (!Other) AssignError(Source.get());
  CheckMutable();
  CheckNesting();
  std::vector<IIEValue> Copy;
  Copy.reserve(Other->Items_.size());
  for (const IIEValue& V : Other->Items_) Copy.push_back(V ? V->Clone() : IIEValue());
  Items_.swap(Copy);
  SetTag(Other->GetTag());
}

IValueVector TValueVector::Clone() const {
  IValueVector Copy = platform::MakeRef<TValueVector>();
  Copy->Assign(ICloneable(const_cast<TValueVector*>(this)));
  return Copy;
}

ICloneable TValueVector::DoClone() const { return Clone(); }

// =============================================================================================
// TSingletonsVector
// =============================================================================================

TSingletonsVector::TSingletonsVector(ISingletonsParser* Parser)
    : XValues_(platform::MakeRef<TValueVector>()), YValues_(platform::MakeRef<TValueVector>()), Parser_(Parser) {}

TSingletonsVector::~TSingletonsVector() { Parser_ = nullptr; }

int TSingletonsVector::Add(IIEValue X, IIEValue Y) {
  XValues_->Add(std::move(X));
  return YValues_->Add(std::move(Y));
}

void TSingletonsVector::Clear() {
  XValues_->Clear();
  YValues_->Clear();
}

void TSingletonsVector::Insert(int Index, IIEValue X, IIEValue Y) {
  XValues_->Insert(Index, std::move(X));  // checks the index before anything changes
  YValues_->Insert(Index, std::move(Y));
}

void TSingletonsVector::Delete(int Index) {
  XValues_->Delete(Index);
  YValues_->Delete(Index);
}

void TSingletonsVector::Append(const TSingletonsVector& Other) {
  XValues_->Append(*Other.XValues_);
  YValues_->Append(*Other.YValues_);
}

bool TSingletonsVector::Equals(const TCloneable* Other) const {
  const auto* Vector = dynamic_cast<const TSingletonsVector*>(Other);
  return Vector && Equals(*Vector);
}

bool TSingletonsVector::Equals(const TSingletonsVector& Other) const {
  if (&Other == this) return true;
  if (GetCount() != Other.GetCount()) return false;
  for (int I = 0; I < GetCount(); ++I) {
    if (!ElementsEqual(GetXValues(I).get(), Other.GetXValues(I).get())) return false;
    if (!ElementsEqual(GetYValues(I).get(), Other.GetYValues(I).get())) return false;
  }
  return true;
}

uint32_t TSingletonsVector::GetHashCode() const { return XValues_->GetHashCode() + YValues_->GetHashCode(); }

std::string TSingletonsVector::GetToString() const {
  if (Parser_) return Parser_->PrettyPrint(*this);
  std::string Text;
  for (int I = 0; I < GetCount(); ++I) {
    const IIEValue& X = GetXValues(I);
    const IIEValue& Y = GetYValues(I);
    Text += '(';
    if (X) Text += X->GetToString();
    Text += ' ';
    if (Y) Text += Y->GetToString();
    Text += ") ";
  }
  return Text;
}

void TSingletonsVector::AssignFrom(const TSingletonsVector& Source) {
  if (&Source == this) return;
  IValueVector X = platform::MakeRef<TValueVector>();
  IValueVector Y = platform::MakeRef<TValueVector>();
  for (int I = 0; I < Source.GetCount(); ++I) {
    X->Add(Source.GetXValues(I) ? Source.GetXValues(I)->Clone() : IIEValue());
    Y->Add(Source.GetYValues(I) ? Source.GetYValues(I)->Clone() : IIEValue());
  }
  XValues_ = std::move(X);
  YValues_ = std::move(Y);
  Parser_ = Source.Parser_;
  SetTag(Source.GetTag());
}

void TSingletonsVector::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TSingletonsVector*>(&Source);
  if (!Other) AssignError(&Source);
  AssignFrom(*Other);
}

void TSingletonsVector::Assign(const ICloneable& Source) {
  const auto* Other = dynamic_cast<const TSingletonsVector*>(Source.get());
  if (!Other) AssignError(Source.get());
  AssignFrom(*Other);
}

ISingletonsVector TSingletonsVector::Clone() const {
  ISingletonsVector Copy = platform::MakeRef<TSingletonsVector>(Parser_);
  Copy->AssignFrom(*this);
  return Copy;
}

ICloneable TSingletonsVector::DoClone() const { return Clone(); }

}  // namespace rulecore
