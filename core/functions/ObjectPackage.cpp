// The object package: one class per function and the package table that fixes names, usage
// texts, arities, comments and creation order.  Everything here goes through the platform's
// object model: the class registry, owners and owned components, published property tables,
// actions and visual containers.
//
// Contents
//   1. Helpers      - object, component and class arguments, what "free-object" may not free
//   2. Creating and freeing - create-component, create-object, free-object, execute-action
//   3. Components   - get-component, get-components
//   4. Properties   - get-property, get-properties, set-property
//   5. Classes      - get-class, is-class
//   6. The package table
#include "ObjectPackage.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "BuiltinSupport.h"
#include "core/engine/FactTemplates.h"
#include "core/engine/Facts.h"
#include "core/engine/GlobalVariables.h"
#include "core/engine/InferenceEngine.h"
#include "core/engine/Rules.h"
#include "core/values/IEBindingInfo.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Action.h"
#include "platform/Collection.h"
#include "platform/Control.h"
#include "platform/Format.h"
#include "platform/ObjectWatch.h"
#include "platform/Properties.h"

namespace rulecore {

namespace {

using platform::TClass;
using platform::TComponent;
using platform::TObject;
using platform::TPropInfo;

// =============================================================================================
// 1. Helpers
// =============================================================================================

IIEValue ObjectValue(TObject* Object) { return platform::MakeRef<TIEValue>(Object, false); }

// The object an argument names; nullptr for any other kind of value and for an object that is
// gone.
TObject* ObjectArg(TFunctionCall& Call, int Index, TIEContext* Context) {
  const IIEValue Value = ArgValue(Call, Index, Context);
  return Value->GetDType() == dtObject ? Value->GetAsObject() : nullptr;
}

// A class argument: a class value, or the registered name of a class.  nullptr for a class value
// without a class and for a name nobody registered.
const TClass* ClassArg(TFunctionCall& Call, int Index, TIEContext* Context, std::string& Text) {
  const IIEValue Value = ArgValue(Call, Index, Context);
  Text = TextOf(*Value);
  if (Value->GetDType() == dtClass) return Value->GetAsClass();
  if (Value->IsText()) return platform::FindClass(Value->GetText());
  return nullptr;
}

// The component to search, or the missing-component error naming the function.
TComponent& ComponentToSearch(TComponent* Component, const TIEUserFunction& Function) {
  if (!Component) RaiseIE(SMissingComponent, {Function.GetFunctionName()});
  return *Component;
}

// What "free-object" must not free under its holder's feet: an engine and what owns it, what an
// engine owns (packages, rules, fact sets, the network), the packages serving this engine, the
// collections an engine keeps its working memory and constructs in, collections (always the
// part of an object that holds them), and counted objects, which their last reference frees
// (values, facts, collection items).
bool MayNotBeFreed(TObject& Object, TInferenceEngine& Engine) {
  if (Object.RefCount() != 0 || dynamic_cast<const TBindingInfo*>(&Object)) return true;
  if (dynamic_cast<const platform::TCollection*>(&Object) || dynamic_cast<const TFacts*>(&Object) || dynamic_cast<const TRules*>(&Object) ||
      dynamic_cast<const TFactTemplates*>(&Object) || dynamic_cast<const TIEDefinedTypes*>(&Object) ||
      dynamic_cast<const TEngineVariables*>(&Object))
    return true;
  auto* Component = dynamic_cast<TComponent*>(&Object);
  if (!Component) return false;
  for (const TComponent* Up = &Engine; Up; Up = Up->GetOwner())
    if (Up == Component) return true;  // the engine or one of its owners
  for (const TComponent* Up = Component; Up; Up = Up->GetOwner())
    if (dynamic_cast<const TInferenceEngine*>(Up)) return true;  // an engine or a part of one
  if (auto* Package = dynamic_cast<TUserPackage*>(Component); Package && Package->GetEngine() == &Engine) return true;
  return false;
}

// =============================================================================================
// 2. Creating and freeing
// =============================================================================================

// (create-component class owner [parent]): a new component of the class owned by owner; with a
// parent, a new control is placed inside that visual container.
class TCreateComponentFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCreateComponentFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    std::string Name;
    const TClass* Class = ClassArg(Call, 0, Context, Name);
    if (!Class || !Class->InheritsFrom(TComponent::StaticClass())) RaiseIE(SUnknownName, {"component class", Name});
    auto* Owner = dynamic_cast<TComponent*>(ObjectArg(Call, 1, Context));
    if (!Owner) RaiseIE(SMissingComponent, {GetFunctionName()});
    platform::TWinControl* Parent = nullptr;
    if (Call.GetArgumentCount() > 2) {
      const IIEValue Value = ArgValue(Call, 2, Context);
      Parent = Value->GetDType() == dtObject ? dynamic_cast<platform::TWinControl*>(Value->GetAsObject()) : nullptr;
      if (!Parent) RaiseIE(SUnknownName, {"visual container", TextOf(*Value)});
    }
    auto* Component = static_cast<TComponent*>(Class->CreateInstance(Owner));
    if (auto* Control = dynamic_cast<platform::TControl*>(Component); Control && Parent) {
      try {
        Control->SetParent(Parent);
      } catch (...) {
        delete Component;
        throw;
      }
    }
    Result = ObjectValue(Component);
  }
};

// (create-object class): a new object of the class, made with its default constructor.
class TCreateObjectFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TCreateObjectFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    std::string Name;
    const TClass* Class = ClassArg(Call, 0, Context, Name);
    if (!Class) RaiseIE(SUnknownIEClassName, {Name});
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    std::unique_ptr<TObject> Made(Class->CreateInstance(nullptr));
    if (auto* Package = dynamic_cast<TObjectPackage*>(platform::FindComponentType(&Engine, TObjectPackage::StaticClass())))
      Package->Keep(*Made);
    Result = ObjectValue(Made.release());
  }
};

// (free-object object*): frees each object; TRUE.  Every argument is checked before the first
// is freed, and each is read again just before it goes: freeing an owner frees what it owns,
// and the values naming those then read as no object.
class TFreeObjectFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TFreeObjectFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TInferenceEngine& Engine = EngineFor(Call, Context, *this);
    std::vector<IIEValue> Values;
    for (int I = 0; I < Call.GetArgumentCount(); ++I) {
      IIEValue Value = ArgValue(Call, I, Context);
      if (Value->GetDType() != dtObject || !Value->GetAsObject()) continue;
      if (MayNotBeFreed(*Value->GetAsObject(), Engine)) {
        const std::string Why =
            "an inference engine, its owners and parts, and what another object holds cannot be freed: ";
        throw EIEException(platform::Format(SFunctionError, {GetFunctionName(), Why + TextOf(*Value)}));
      }
      Values.push_back(std::move(Value));
    }
    for (const IIEValue& Value : Values) {
      // The same object named twice, or one freed with its owner, reads as gone by now.
      if (TObject* Object = Value->GetAsObject()) delete Object;
    }
    Result = FCTrue;
  }
};

// (execute-action action): TRUE when the action ran and reported that it was handled.
class TExecuteActionFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TExecuteActionFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    auto* Action = dynamic_cast<platform::TBasicAction*>(ObjectArg(Call, 0, Context));
    Result = BoolValue(Action && Action->Execute());
  }
};

// =============================================================================================
// 3. Components
// =============================================================================================

// (get-component [owner] [name]): the engine's owner; the component of that name it owns; or
// the component of that name the given component owns.  FALSE when there is none.
class TGetComponentFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetComponentFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const int Count = Call.GetArgumentCount();
    TComponent* Found = nullptr;
    if (Count == 0) {
      Found = EngineFor(Call, Context, *this).GetOwner();
    } else if (Count == 1) {
      TComponent& Owner = ComponentToSearch(EngineFor(Call, Context, *this).GetOwner(), *this);
      Found = Owner.FindComponent(TextArg(Call, 0, Context));
    } else {
      TComponent& Owner = ComponentToSearch(dynamic_cast<TComponent*>(ObjectArg(Call, 0, Context)), *this);
      Found = Owner.FindComponent(TextArg(Call, 1, Context));
    }
    Result = Found ? ObjectValue(Found) : FCFalse;
  }
};

// (get-components [owner]): the components the given component, or the engine's owner, owns.
class TGetComponentsFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetComponentsFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TComponent* Owner = Call.GetArgumentCount() > 0 ? dynamic_cast<TComponent*>(ObjectArg(Call, 0, Context))
                                                    : EngineFor(Call, Context, *this).GetOwner();
    const TComponent& Searched = ComponentToSearch(Owner, *this);
    IValueVector List = NewList();
    List->Reserve(Searched.GetComponentCount());
    for (int I = 0; I < Searched.GetComponentCount(); ++I) List->Add(ObjectValue(Searched.GetComponent(I)));
    Result = platform::MakeRef<TIEValue>(List);
  }
};

// =============================================================================================
// 4. Properties
// =============================================================================================

// The object an argument names when its class publishes properties.
TObject* ObjectWithProperties(TFunctionCall& Call, int Index, TIEContext* Context) {
  TObject* Object = ObjectArg(Call, Index, Context);
  return Object && !platform::GetPropList(*Object).empty() ? Object : nullptr;
}

// (get-property object name): the property's value by its kind; the empty value when the
// class has no such property, FALSE when the argument is no object with properties.
class TGetPropertyFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetPropertyFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TObject* Object = ObjectWithProperties(Call, 0, Context);
    if (!Object) {
      Result = FCFalse;
      return;
    }
    const TPropInfo* Info = platform::GetPropInfo(Object->ClassType(), TextArg(Call, 1, Context));
    Result = Info ? ValueOf(*Object, *Info) : platform::MakeRef<TIEValue>();
  }

 private:
  static IIEValue ValueOf(const TObject& Object, const TPropInfo& Info) {
    switch (Info.Kind) {
      case platform::pkInteger: return NewInteger(static_cast<int32_t>(std::get<int64_t>(Info.Get(Object))));
      case platform::pkInt64: {
        // Rule integers have 32 bits: a larger value comes as the nearest float.
        const int64_t Value = std::get<int64_t>(Info.Get(Object));
        if (Value >= std::numeric_limits<int32_t>::min() && Value <= std::numeric_limits<int32_t>::max())
          return NewInteger(static_cast<int32_t>(Value));
        return NewFloat(static_cast<double>(Value));
      }
      case platform::pkChar:
      case platform::pkString: return NewString(std::get<std::string>(Info.Get(Object)));
      case platform::pkBoolean: return BoolValue(std::get<bool>(Info.Get(Object)));
      case platform::pkEnumeration: return NewAtom(platform::GetEnumProp(Object, Info));
      case platform::pkFloat: return NewFloat(std::get<double>(Info.Get(Object)));
      case platform::pkSet: return NewString(platform::GetSetProp(Object, Info));
      case platform::pkObject: return ObjectValue(std::get<TObject*>(Info.Get(Object)));
      default: platform::RaiseInvalidPropertyType(Info.Kind);
    }
  }
};

// (get-properties object): the names of its properties, events left out, in name order.
class TGetPropertiesFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetPropertiesFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TObject* Object = ObjectWithProperties(Call, 0, Context);
    if (!Object) {
      Result = FCFalse;
      return;
    }
    IValueVector List = NewList();
    for (const std::string& Name : platform::GetPropNames(Object->ClassType())) List->Add(NewAtom(Name));
    Result = platform::MakeRef<TIEValue>(List);
  }
};

// (set-property object name value): TRUE when the value was stored (an event property is left
// as it is and still answers TRUE); FALSE for no object with properties, no such property or a
// read-only one.
class TSetPropertyFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TSetPropertyFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    TObject* Object = ObjectWithProperties(Call, 0, Context);
    const TPropInfo* Info = Object ? platform::GetPropInfo(Object->ClassType(), TextArg(Call, 1, Context)) : nullptr;
    if (!Info || !Info->Set) {
      Result = FCFalse;
      return;
    }
    const IIEValue Value = ArgValue(Call, 2, Context);
    switch (Info->Kind) {
      case platform::pkInteger: Info->Set(*Object, static_cast<int64_t>(Value->GetAsInteger())); break;
      case platform::pkInt64: Info->Set(*Object, Int64Of(*Value)); break;
      case platform::pkFloat: Info->Set(*Object, Value->GetAsFloat()); break;
      case platform::pkChar:
      case platform::pkString: Info->Set(*Object, TextOf(*Value)); break;
      case platform::pkBoolean: Info->Set(*Object, BooleanOf(TextOf(*Value))); break;
      case platform::pkEnumeration: platform::SetEnumProp(*Object, *Info, TextOf(*Value)); break;
      case platform::pkSet: platform::SetSetProp(*Object, *Info, TextOf(*Value)); break;
      case platform::pkObject: Info->Set(*Object, ObjectFor(*Info, *Value)); break;
      case platform::pkEvent: break;  // handlers are the host's to assign
      default: platform::RaiseInvalidPropertyType(Info->Kind);
    }
    // Object may be gone now (a setter that frees its object): nothing of it is read again.
    Result = FCTrue;
  }

 private:
  // An integer, or a float with an integral value in the 64-bit range.
  static int64_t Int64Of(const TIEValue& Value) {
    if (Value.GetDType() != dtFloat) return Value.GetAsInteger();
    const double Number = Value.GetAsFloat();
    if (!(Number >= -9223372036854775808.0 && Number < 9223372036854775808.0))
      RaiseIntegerOverflow("set-property", Number);
    return static_cast<int64_t>(Number);
  }

  static bool BooleanOf(const std::string& Text) {
    if (platform::SameText(Text, FCTrue->GetText())) return true;
    if (platform::SameText(Text, FCFalse->GetText())) return false;
    platform::RaiseInvalidPropertyElement(Text);
  }

  // The object of an object value, which must be of the class the property holds.
  static TObject* ObjectFor(const TPropInfo& Info, const TIEValue& Value) {
    TObject* Object = Value.GetAsObject();
    if (Object && Info.ObjectClass && !Object->InheritsFrom(*Info.ObjectClass))
      RaiseIE(SNotCorrectType, {Info.ObjectClass->Name, TextOf(Value), Object->ClassName()});
    return Object;
  }
};

// =============================================================================================
// 5. Classes
// =============================================================================================

// (get-class name): the registered class of that name; a class value without a class when
// nobody registered one.
class TGetClassFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TGetClassFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    Result = platform::MakeRef<TIEValue>(platform::FindClass(TextArg(Call, 0, Context)));
  }
};

// (is-class object class): TRUE when the object is of the class or of a descendant of it.
class TIsClassFunction final : public TBuiltinFunction {
  PLATFORM_CLASS(TIsClassFunction, TBuiltinFunction)
 public:
  using TBuiltinFunction::TBuiltinFunction;

 protected:
  void Execute(TFunctionCall& Call, TIEContext* Context, IIEValue& Result) override {
    const TObject* Object = ObjectArg(Call, 0, Context);
    std::string Name;
    const TClass* Class = ClassArg(Call, 1, Context, Name);
    Result = BoolValue(Object && Class && Object->InheritsFrom(*Class));
  }
};

// =============================================================================================
// 6. The package table, in creation order
// =============================================================================================

constexpr int32_t NoLimit = TIEUserFunction::NoLimit;

constexpr TFunctionRow ObjectFunctions[] = {
    {{"create-component", " <TComponentClass-expression> <TComponent-expression> [<TWinControl-expression>]", 2, 3,
      "Creates a component of the component class, owned by the second argument.  With a third argument, a "
      "visual container, the new control is placed inside it.  Returns the new component"},
     MakeFunction<TCreateComponentFunction>},
    {{"create-object", " <TClass-expression>", 1, 1,
      "Creates an object of the class with its default constructor and returns it"},
     MakeFunction<TCreateObjectFunction>},
    {{"execute-action", " <TBasicAction-expression>", 1, 1,
      "Executes the action.  Returns TRUE when the action was handled, FALSE when it was not or the argument is "
      "not an action"},
     MakeFunction<TExecuteActionFunction>},
    {{"free-object", " <TObject-expression>*", 1, NoLimit,
      "Frees each object (a component also frees the components it owns).  Values that still refer to a freed "
      "object read as no object.  Returns TRUE"},
     MakeFunction<TFreeObjectFunction>},
    {{"get-component", " [<component-name>] |\r\n [<TComponent-expression> <component-name>]", 0, 2,
      "Without arguments returns the component that owns the inference engine; with a name, the component of "
      "that name the engine's owner owns; with a component and a name, the component of that name the given "
      "component owns.  Returns FALSE when no component is found"},
     MakeFunction<TGetComponentFunction>},
    {{"get-components", " [<TComponent-expression>]", 0, 1,
      "Returns a multifield of the components the given component owns, or the engine's owner when no "
      "component is given"},
     MakeFunction<TGetComponentsFunction>},
    {{"get-property", " <TObject-expression> <property-name>", 2, 2,
      "Returns the value of the object's published property of that name: an integer, float, string, symbol "
      "(enumerations), bracketed text (sets) or object.  Returns FALSE when the argument is not an object with "
      "properties"},
     MakeFunction<TGetPropertyFunction>},
    {{"get-properties", " <TObject-expression>", 1, 1,
      "Returns a multifield of the names of the object's published properties (events left out) in name order, "
      "or FALSE when the argument is not an object with properties"},
     MakeFunction<TGetPropertiesFunction>},
    {{"set-property", " <TObject-expression> <property-name> <expression>", 3, 3,
      "Sets the object's published property of that name to the value, converted to the property's kind.  "
      "Returns TRUE when set, FALSE when the object or the property does not exist"},
     MakeFunction<TSetPropertyFunction>},
    {{"get-class", " <class-name>", 1, 1,
      "Returns the registered class of that name, or an empty class value when no class of that name is "
      "registered"},
     MakeFunction<TGetClassFunction>},
    {{"is-class", " <TObject-expression> <TClass-expression>", 2, 2,
      "Returns TRUE when the object is an instance of the class or of one of its descendants, else FALSE"},
     MakeFunction<TIsClassFunction>},
};

}  // namespace

TObjectPackage::TObjectPackage(platform::TComponent* Owner) : TUserPackage(Owner) { CreateFunctions(); }

namespace {
const TPackageRegistration<TObjectPackage> Registered;
}  // namespace

TObjectPackage::~TObjectPackage() {
  std::unordered_set<const TObject*> Left;
  {
    std::lock_guard Guard(KeptLock_);
    Left.swap(Kept_);
  }
  for (const TObject* Object : Left) {
    platform::UnwatchObject(*Object, this);
    // A component someone has since taken into ownership is its owner's to free.
    if (auto* Component = dynamic_cast<const TComponent*>(Object); Component && Component->GetOwner()) continue;
    delete Object;
  }
}

void TObjectPackage::Keep(TObject& Object) {
  // The watch first, outside our lock: Forget runs under the watch table's lock and takes ours.
  // Nobody else knows the new object yet, so it cannot go in between.
  platform::WatchObject(Object, this, &TObjectPackage::Forget);
  std::lock_guard Guard(KeptLock_);
  Kept_.insert(&Object);
}

int TObjectPackage::KeptCount() const {
  std::lock_guard Guard(KeptLock_);
  return static_cast<int>(Kept_.size());
}

void TObjectPackage::Forget(void* Package, const TObject& Gone) noexcept {
  auto* Self = static_cast<TObjectPackage*>(Package);
  std::lock_guard Guard(Self->KeptLock_);
  Self->Kept_.erase(&Gone);
}

void TObjectPackage::CreateFunctions() {
  TUserPackage::CreateFunctions();
  AddFunctions(*this, ObjectFunctions);
}

}  // namespace rulecore
