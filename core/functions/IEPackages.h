// Function packages: components that create a fixed set of functions and enter them into the
// function tables of the engines ("reasoners") they are attached to; and the host's own
// design-time function component.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "IEFunctionCall.h"
#include "IEInterpretedFunction.h"
#include "IEUserFunction.h"
#include "core/values/IEDefinedType.h"
#include "platform/Component.h"
#include "platform/Properties.h"

namespace platform {
class TFiler;
class TReader;
class TWriter;
}

namespace rulecore {

class TInferenceEngine;
class TIEContext;
class TUserPackage;

// The functions of one package.  Adding a function enters it in every engine of the package;
// removing it withdraws it.
class TUserFunctionList {
 public:
  explicit TUserFunctionList(TUserPackage* Package) : Package_(Package) {}
  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  const IUserFunction& Item(int Index) const;
  // Adds the function unless it is already in the list; answers its index.
  int Add(const IUserFunction& Function);
  void Delete(int Index);
  void Clear();
  int IndexOf(const TIEUserFunction* Function) const noexcept;

 private:
  TUserPackage* Package_;
  std::vector<IUserFunction> Items_;
};

// A component owning a list of reasoners.
class TCustomReasonerOwner : public platform::TComponent {
  PLATFORM_CLASS(TCustomReasonerOwner, platform::TComponent)
 public:
  explicit TCustomReasonerOwner(platform::TComponent* Owner = nullptr) : TComponent(Owner) {}
  int GetReasonerCount() const noexcept { return static_cast<int>(Reasoners_.size()); }
  IReasoner* GetReasoner(int Index) const { return Reasoners_.at(static_cast<size_t>(Index)); }
  int IndexOfReasoner(const IReasoner* Reasoner) const noexcept;
  int AddReasoner(IReasoner* Reasoner);
  void RemoveReasoner(IReasoner* Reasoner);
  void ClearReasoners();

 protected:
  virtual void ReasonerAdded(IReasoner*) {}
  virtual void ReasonerRemoved(IReasoner*) {}

 private:
  std::vector<IReasoner*> Reasoners_;
};

class TUserPackage : public TCustomReasonerOwner {
  PLATFORM_CLASS(TUserPackage, TCustomReasonerOwner)
 public:
  // A package placed on an engine serves it at once.  Concrete packages create their functions
  // in their own constructor (CreateFunctions).
  explicit TUserPackage(platform::TComponent* Owner = nullptr);
  ~TUserPackage() override;

  TUserFunctionList& GetFunctions() noexcept { return Functions_; }
  const TUserFunctionList& GetFunctions() const noexcept { return Functions_; }
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  void SetEngine(TInferenceEngine* Value);
  // The published "Engine": the engine as a component (any other component counts as none).
  platform::TComponent* GetEngineComponent() const noexcept { return ComponentOf(Engine_); }
  void SetEngineComponent(platform::TComponent* Value) { SetEngine(EngineOf(Value)); }
  // Reads false; writing true rebuilds the function set.
  bool GetReset() const noexcept { return false; }
  void SetReset(bool Value);
  int IndexOf(std::string_view Name) const noexcept;
  TNotifyEvent OnCreateFunctions;

  // --- streaming ---
  // Besides its published properties a package stores its functions ("PackageFunctions"): for
  // each, its class name, name, comment and most and fewest arguments.  Reading replaces the
  // functions: a stored function of a class the package itself made takes over that function
  // (a built-in class cannot be made from its name alone, as one class serves several
  // functions); any other is made from its registered class.  Functions whose work is a host's
  // call handler cannot be stored and are left out.
  static void DeclareProperties(platform::TPropertyList<TUserPackage>& P);
  static void DefineProperties(platform::TObject& Instance, platform::TFiler& Filer);

 protected:
  // The base fires OnCreateFunctions; packages then add their functions in their fixed order.
  virtual void CreateFunctions();
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;
  void ReasonerAdded(IReasoner* Reasoner) override;
  void ReasonerRemoved(IReasoner* Reasoner) override;

 private:
  friend class TUserFunctionList;
  void FunctionAdded(TIEUserFunction& Function);
  void FunctionRemoved(TIEUserFunction& Function);
  void WriteFunctions(platform::TWriter& Writer) const;
  void ReadFunctions(platform::TReader& Reader);

  TUserFunctionList Functions_{this};
  TInferenceEngine* Engine_ = nullptr;
};

// Registers a package class as its file loads, so that an engine makes its default packages
// and a component stream names them by class name, knowing neither class.
template <class T>
struct TPackageRegistration {
  TPackageRegistration() { platform::RegisterClass<T>(); }
};

class TCustomUserFunction;
using TCallEvent =
    std::function<void(platform::TObject* Sender, TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result)>;

// A function whose work is done by its owner: a host function component or a call handler.
class TIEInnerFunction final : public TIEUserFunction {
  PLATFORM_CLASS(TIEInnerFunction, TIEUserFunction)
 public:
  TIEInnerFunction() = default;
  explicit TIEInnerFunction(TCustomUserFunction* Owner) : Owner_(Owner) {}
  explicit TIEInnerFunction(TCallEvent Handler) : Handler_(std::move(Handler)) {}
  TCustomUserFunction* GetOwner() const noexcept { return Owner_; }
  void OwnerDestroyed() noexcept {
    Owner_ = nullptr;
    Orphaned_ = true;
  }

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  TCustomUserFunction* Owner_ = nullptr;
  bool Orphaned_ = false;
  TCallEvent Handler_;
};

// A function the host defines with properties and a call handler.
class TCustomUserFunction : public platform::TComponent {
  PLATFORM_CLASS(TCustomUserFunction, platform::TComponent)
 public:
  explicit TCustomUserFunction(platform::TComponent* Owner = nullptr);
  ~TCustomUserFunction() override;

  const std::string& GetFunctionName() const noexcept { return Inner_->GetFunctionName(); }
  void SetFunctionName(const std::string& Value);
  const std::string& GetComment() const noexcept { return Inner_->GetComment(); }
  void SetComment(const std::string& Value) { Inner_->SetComment(Value); }
  const std::string& GetArgumentString() const noexcept { return Inner_->GetArgumentString(); }
  void SetArgumentString(const std::string& Value) { Inner_->SetArgumentString(Value); }
  int32_t GetMinArgumentCount() const { return Inner_->GetMinArgumentCount(); }
  void SetMinArgumentCount(int32_t Value);
  int32_t GetMaxArgumentCount() const { return Inner_->GetMaxArgumentCount(); }
  void SetMaxArgumentCount(int32_t Value);
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  void SetEngine(TInferenceEngine* Value);
  platform::TComponent* GetEngineComponent() const noexcept { return ComponentOf(Engine_); }
  void SetEngineComponent(platform::TComponent* Value) { SetEngine(EngineOf(Value)); }
  const platform::Ref<TIEInnerFunction>& GetFunction() const noexcept { return Inner_; }

  // Result := nil, then the OnCall handler (not while designing).
  virtual void Call(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result);
  TCallEvent OnCall;

  // The argument pattern comes after the counts: setting a count rebuilds it.
  static void DeclareProperties(platform::TPropertyList<TCustomUserFunction>& P);

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  void RebuildArgumentString();
  platform::Ref<TIEInnerFunction> Inner_;
  TInferenceEngine* Engine_ = nullptr;
};

class TUserFunction final : public TCustomUserFunction {
  PLATFORM_CLASS(TUserFunction, TCustomUserFunction)
 public:
  using TCustomUserFunction::TCustomUserFunction;
};

// The argument pattern for an arity, built from the items of Current ("<...>" runs): optional
// items in nested brackets, at most ten items, " <expression>" when Current runs out.
std::string BuildArgumentString(std::string_view Current, int32_t Min, int32_t Max);

}  // namespace rulecore
