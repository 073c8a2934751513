// The value containers: TValueVector (the multifield list of the rule language) and
// TSingletonsVector (the written, unevaluated x/y point list of a fuzzy set).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IEValue.h"
#include "platform/InterfaceList.h"

namespace rulecore {

// ---------------------------------------------------------------------------------------------
// TValueVector: an ordered list of values (elements may be nothing).  Indexes are 0-based and
// out-of-range indexes raise the list index error.
class TValueVector final : public platform::TCloneable {
  PLATFORM_CLASS(TValueVector, platform::TCloneable)
 public:
  static constexpr TIEType ValueKind = dtList;

  TValueVector() = default;
  ~TValueVector() override;
  // The shared empty list.
  struct TConstant {};
  constexpr explicit TValueVector(TConstant) noexcept : TCloneable(TImmortal{}) {}

  int GetValueCount() const noexcept { return static_cast<int>(Items_.size()); }
  bool Empty() const noexcept { return Items_.empty(); }
  const IIEValue& Get(int Index) const;
  const IIEValue& operator[](int Index) const { return Get(Index); }
  void Put(int Index, IIEValue Value);
  int Add(IIEValue Value);
  void Clear();
  const IIEValue& First() const { return Get(0); }
  const IIEValue& Last() const { return Get(GetValueCount() - 1); }
  // 0-based index of the first element that is the same value object, or -1.
  int IndexOf(const TIEValue* Value) const noexcept;
  int IndexOf(const IIEValue& Value) const noexcept { return IndexOf(Value.get()); }
  void Insert(int Index, IIEValue Value);
  void Delete(int Index);
  // Adds the other list's element references (not copies) at the end.
  void Append(const TValueVector& Other);
  // Removes the first element that is the same object and returns its former index (or -1).
  int Remove(const TIEValue* Value);
  void Reserve(int Count);

  // Strict element-wise equality (both elements missing counts as equal).
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TValueVector& Other) const;
  // Against a plain list of references: each element must be a value.
  bool Equals(const platform::TInterfaceList<platform::TObject>& Other) const;
  // Sum of the elements' hash codes (wrapping).
  uint32_t GetHashCode() const override;
  // Each element's text followed by one blank; the empty list prints as empty text.
  std::string GetToString() const override;

  using TCloneable::Assign;
  // Object form: not supported (the standard assignment error).
  void Assign(const platform::TPersistent& Source) override;
  // Interface form: clears this list, appends a clone of every element, copies Tag.
  void Assign(const platform::ICloneable& Source) override;
  IValueVector Clone() const;

  auto begin() const noexcept { return Items_.begin(); }
  auto end() const noexcept { return Items_.end(); }

 protected:
  platform::ICloneable DoClone() const override;

 private:
  size_t Checked(int Index) const;
  void CheckMutable() const;
  std::vector<IIEValue> Items_;
};

class TSingletonsVector;

// Implemented by the engine: parses and prints singletons vectors in rule-language form.
class ISingletonsParser {
 public:
  virtual ISingletonsVector ParseSingletons(const std::string& Text) = 0;
  virtual std::string PrettyPrint(const TSingletonsVector& Vector) = 0;

 protected:
  ~ISingletonsParser() = default;
};

// ---------------------------------------------------------------------------------------------
// TSingletonsVector: pairs (x[i], y[i]) kept in two lists of equal length.  The values may be
// numbers, variables or calls; they are resolved only when a dtSingletons value is resolved.
class TSingletonsVector final : public platform::TCloneable {
  PLATFORM_CLASS(TSingletonsVector, platform::TCloneable)
 public:
  static constexpr TIEType ValueKind = dtSingletons;

  explicit TSingletonsVector(ISingletonsParser* Parser = nullptr);
  ~TSingletonsVector() override;

  int GetCount() const noexcept { return XValues_->GetValueCount(); }
  const IIEValue& GetXValues(int Index) const { return XValues_->Get(Index); }
  void SetXValues(int Index, IIEValue Value) { XValues_->Put(Index, std::move(Value)); }
  const IIEValue& GetYValues(int Index) const { return YValues_->Get(Index); }
  void SetYValues(int Index, IIEValue Value) { YValues_->Put(Index, std::move(Value)); }
  int Add(IIEValue X, IIEValue Y);
  void Clear();
  ISingletonsParser* GetParser() const noexcept { return Parser_; }
  void SetParser(ISingletonsParser* Parser) noexcept { Parser_ = Parser; }
  int IndexOfX(const TIEValue* Value) const noexcept { return XValues_->IndexOf(Value); }
  int IndexOfY(const TIEValue* Value) const noexcept { return YValues_->IndexOf(Value); }
  void Insert(int Index, IIEValue X, IIEValue Y);
  void Delete(int Index);
  // Adds the other vector's pairs (the references, not copies) at the end.
  void Append(const TSingletonsVector& Other);

  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  bool Equals(const TSingletonsVector& Other) const;
  uint32_t GetHashCode() const override;
  // The parser's rule-language form when a parser is set, else "(x y) " per pair.
  std::string GetToString() const override;

  using TCloneable::Assign;
  // Both forms: clones of every pair, then the source's parser and Tag.
  void Assign(const platform::TPersistent& Source) override;
  void Assign(const platform::ICloneable& Source) override;
  ISingletonsVector Clone() const;

 protected:
  platform::ICloneable DoClone() const override;

 private:
  void AssignFrom(const TSingletonsVector& Source);

  IValueVector XValues_;
  IValueVector YValues_;
  ISingletonsParser* Parser_;
};

inline IValueVector NewList() { return platform::MakeRef<TValueVector>(); }

// The list a value holds, without a counted reference (nothing when it holds no list): matching
// reads fields of lists for every comparison, and counting the list up and down each time is
// two atomic steps more than the read.
inline const TValueVector* PeekList(const TIEValue& Value) noexcept {
  return Value.GetDType() == dtList ? static_cast<const TValueVector*>(Value.GetInterface()) : nullptr;
}

}  // namespace rulecore
