// TIEContext: the environment actions, tests and salience expressions run in - a chain of
// binding frames with a return value, the token being matched and the current fact.  The
// engine owns the root; each network node owns a child of it; firing a rule or calling a
// deffunction pushes a temporary child.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/facts/Fact.h"
#include "core/facts/IEPattern.h"
#include "core/values/IEBindingInfo.h"
#include "core/values/IEValue.h"
#include "core/values/ValueVector.h"
#include "platform/BlockPool.h"
#include "platform/HashTable.h"
#include "platform/SmallVector.h"

namespace rulecore {

class INetworkHost;
class TInferenceEngine;

// A variable: where its value lives in a match, its name and (once known) its value.  A local
// binding (made from a name and a value) carries FactIndex -2 and SlotIndex "__LOCAL".
class TBinding final : public TBindingInfo {
  PLATFORM_CLASS(TBinding, TBindingInfo)
 public:
  PLATFORM_POOLED(TBinding)
  TBinding() = default;
  TBinding(std::string Name, IIEValue Value);
  TBinding(std::string Name, int32_t FactIndex, std::string SlotIndex, int32_t SubIndex);

  bool Equals(const TBinding& Other) const;
  // "name=<name>[ value=<text>] <binding info>"
  std::string GetToString() const override;
  void Assign(const platform::TPersistent& Source) override;

  std::string Name;
  IIEValue Value;
};
using IBinding = platform::Ref<TBinding>;

// Bindings by variable name; a binding put under a taken name replaces the old one.
class TBindings {
 public:
  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  const IBinding& Item(int Index) const { return Items_.at(static_cast<size_t>(Index)); }
  TBinding* Find(std::string_view Name) const noexcept;
  void Put(const IBinding& Binding);
  bool Remove(std::string_view Name);
  void Clear() noexcept {
    Items_.clear();
    Index_.reset();
  }
  void Reserve(size_t Count) { Items_.reserve(Count); }

 private:
  // A firing's bindings mostly fit inside the context: no array to allocate per firing.
  platform::TSmallVector<IBinding, 8> Items_;
  // The positions by name once there are many (the engine's globals, thousands in some
  // programs, are looked up by every read of one).  Names are taken as bound.
  static constexpr size_t IndexFrom = 24;
  std::unique_ptr<platform::TTextMap<size_t>> Index_;
  void Reindex();
};

// The facts of the match being tested or fired: position 0 is the oldest pattern's fact.
class ITokenFacts {
 public:
  virtual int GetFactCount() const = 0;
  // The fact at Index, or nothing (a negated pattern's position, or past the end).
  virtual TFact* GetFactAt(int Index) const = 0;

 protected:
  ~ITokenFacts() = default;
};

class TIEContext final : public platform::TObject, public IValueContext, public IJoinTestContext {
  PLATFORM_CLASS(TIEContext, platform::TObject)
 public:
  PLATFORM_POOLED(TIEContext)
  explicit TIEContext(TInferenceEngine* Engine = nullptr, TIEContext* Parent = nullptr);
  ~TIEContext() override;
  TIEContext(const TIEContext&) = delete;
  TIEContext& operator=(const TIEContext&) = delete;

  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  INetworkHost* GetHost() const noexcept { return Host_; }
  TIEContext* GetParent() const noexcept { return Parent_; }
  TIEContext& Root() noexcept;
  TBindings& GetBindings() noexcept { return Bindings_; }

  // --- frames ---
  // A new child (same engine, this as parent); the caller owns it.
  TIEContext* Push();
  // Hands the return state to the parent and answers it (the root answers itself).
  TIEContext* Pop();

  // --- bindings ---
  TBinding* FindBinding(std::string_view Name) const noexcept;
  TBinding* FindGlobalBinding(std::string_view Name) const noexcept;
  void AddLocalBinding(const std::string& Name, const IIEValue& Value);
  void AddBinding(const std::string& Name, const IIEValue& Value);
  void AddGlobalBinding(const std::string& Name, const IIEValue& Value);
  void AddBinding(const std::string& Name, int32_t FactIndex, const std::string& SlotIndex, int32_t SubIndex);
  // Raises "Unknown variable name: %s" when no frame binds the name.
  IIEValue GetVariable(std::string_view Name) const;
  void SetVariable(const std::string& Name, const IIEValue& Value);
  void Clear() noexcept;

  // --- return state ---
  const IIEValue& GetReturnValue() const noexcept { return ReturnValue_; }
  bool GetReturned() const noexcept { return Returned_; }
  void SetReturnValue(const IIEValue& Value) {
    ReturnValue_ = Value;
    Returned_ = true;
  }
  void ClearReturnValue() noexcept {
    ReturnValue_ = nullptr;
    Returned_ = false;
  }

  // --- the match ---
  ITokenFacts* GetToken() const noexcept { return Token_; }
  void SetToken(ITokenFacts* Value) noexcept { Token_ = Value; }
  // The fact being matched.  It is borrowed: the token that carries it outlives the tests run on
  // it, and matching compares many facts, so it is not counted each time.
  TFact* GetFact() const noexcept { return Fact_; }
  void SetFact(TFact* Value) noexcept { Fact_ = Value; }

  // --- evaluation ---
  // Every slot value of the fact evaluated here and stored back; lists are expanded.
  void Resolve(TFact& Fact);
  // A new fact equal to what copying Written and resolving the copy would give; Written is
  // left as it is, so that an action can assert it again under other bindings.
  IFact ResolvedCopy(const TFact& Written);
  // What a written slot value stands for here: a list expanded, anything else resolved.
  IIEValue SlotValue(TIEValue& Value);
  // Each element evaluated; elements that are lists are spliced in.
  IValueVector ExpandList(const TValueVector& List);
  // Nested lists spliced in, nothing evaluated.
  static IValueVector FlattenList(const TValueVector& List);

  // IValueContext
  IIEValue FindVariableValue(std::string_view Name) override;
  const TIEValue* PeekVariableValue(std::string_view Name) override;
  IIEValue ResolvePatternBinding(const TBindingInfo& Binding) override;
  const TIEValue* PeekPatternBinding(const TBindingInfo& Binding) override;
  IIEValue ResolveSingletons(TSingletonsVector& Singletons) override;
  TIEContext* GetRuleContext() noexcept override { return this; }
  // IJoinTestContext
  TFact* GetCurrentFact() override { return Fact_; }
  // A negated element's place holds the engine's placeholder: no fact was matched there.
  TFact* GetTokenFact(int32_t TokenIndex) override;

 private:
  TIEContext(TInferenceEngine* Engine, INetworkHost* Host, TIEContext* Parent) noexcept
      : Engine_(Engine), Host_(Host), Parent_(Parent) {}
  TInferenceEngine* Engine_;
  INetworkHost* Host_;  // Engine_'s network side
  TIEContext* Parent_;
  TBindings Bindings_;
  IIEValue ReturnValue_;
  bool Returned_ = false;
  ITokenFacts* Token_ = nullptr;
  TFact* Fact_ = nullptr;
};

}  // namespace rulecore
