// The object package through the rule language, on a host class that publishes a property of
// every kind: components found by name under the engine's owner, properties read and written
// by kind with their errors, classes, actions, creation inside containers, and freeing - after
// which every value, fact and list that named a freed object still prints, compares and goes
// away without touching freed memory.
#include <gtest/gtest.h>

#include <any>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/InferenceEngine.h"
#include "core/functions/ObjectPackage.h"
#include "core/values/IEValue.h"
#include "core/values/ValueVector.h"
#include "fuzzy/FuzzyLogic.h"
#include "platform/Action.h"
#include "platform/Control.h"
#include "platform/Properties.h"
#include "tests/core/TestConsole.h"

using namespace rulecore;
using platform::TComponent;

namespace {

PLATFORM_ENUM(TGadgetMode, gmIdle, gmRunning, gmBroken)
PLATFORM_ENUM(TGadgetFlag, gfRed, gfGreen, gfBlue)
using TGadgetFlags = platform::TSet<TGadgetFlag, 3>;

struct TPoint {
  int X = 0;
  int Y = 0;
};

// A host class with a published property of every kind, inside a visual container so that
// controls can be created in it.
class TGadget : public platform::TWinControl {
  PLATFORM_CLASS(TGadget, platform::TWinControl)
 public:
  using TWinControl::TWinControl;
  using TPingEvent = std::function<void(TObject* Sender)>;

  static void DeclareProperties(platform::TPropertyList<TGadget>& P) {
    P.AddField("Count", &TGadget::Count);
    P.AddField("Serial", &TGadget::Serial);
    P.AddField("Grade", &TGadget::Grade);
    P.AddField("Weight", &TGadget::Weight);
    P.AddField("Label", &TGadget::Label);
    P.AddField("Enabled", &TGadget::Enabled);
    P.AddField("Mode", &TGadget::Mode);
    P.AddField("Flags", &TGadget::Flags);
    P.AddField("Partner", &TGadget::Partner);
    P.AddField("OnPing", &TGadget::OnPing);
    P.AddField("History", &TGadget::History);
    P.AddField("Where", &TGadget::Where);
    P.AddField("Anything", &TGadget::Anything);
    P.AddField("Corners", &TGadget::Corners);
    P.Add("Id", &TGadget::GetId, nullptr);
  }
  int GetId() const { return 7; }

  int32_t Count = 0;
  int64_t Serial = 0;
  char Grade = 'A';
  double Weight = 0;
  std::string Label;
  bool Enabled = false;
  TGadgetMode Mode = gmIdle;
  TGadgetFlags Flags;
  TGadget* Partner = nullptr;
  TPingEvent OnPing;
  std::vector<int> History;
  TPoint Where;
  std::any Anything;
  std::array<int, 2> Corners{};
};

class TSubGadget : public TGadget {
  PLATFORM_CLASS(TSubGadget, TGadget)
 public:
  using TGadget::TGadget;
};

// An action that counts its runs.
class TCountingAction : public platform::TBasicAction {
  PLATFORM_CLASS(TCountingAction, platform::TBasicAction)
 public:
  using TBasicAction::TBasicAction;
  bool Execute() override { return ++Runs > 0; }
  int Runs = 0;
};

// A plain object: no owner, no published properties.
class TPlain : public platform::TObject {
  PLATFORM_CLASS(TPlain, platform::TObject)
 public:
  TPlain() { ++Alive; }
  ~TPlain() override { --Alive; }
  static inline int Alive = 0;
};

const bool Registered = (platform::RegisterClass<TGadget>(), platform::RegisterClass<TSubGadget>(),
                         platform::RegisterClass<TCountingAction>(), platform::RegisterClass<TPlain>(), true);

std::string ErrorOf(const std::function<void()>& F) {
  try {
    F();
  } catch (const std::exception& E) {
    return E.what();
  }
  return "(no error)";
}

// A form that owns the engine and two gadgets, as a host application would set it up.
class ObjectPackage : public ::testing::Test {
 protected:
  ObjectPackage() {
    Left = new TGadget(&Form);
    Left->SetName("Left");
    Right = new TSubGadget(&Form);
    Right->SetName("Right");
    Engine = new TInferenceEngine(&Form);
    Engine->SetName("Engine");
    Engine->OnPrintOut = [this](TInferenceEngine*, const std::string&, const std::string& Text) { Output += Text; };
  }

  // A call's value; a global variable's when Text names one.
  IIEValue Eval(const std::string& Text) {
    return Engine->ParseNExecuteFunCall(Text.front() == '?' ? "(nth$ 0 (create$ " + Text + "))" : Text);
  }
  std::string Text(const std::string& Call) {
    const IIEValue V = Eval(Call);
    return !V ? "(nothing)" : V->IsText() ? V->GetAsString() : V->GetToString();
  }
  std::string Error(const std::string& Call) {
    return ErrorOf([&] { Eval(Call); });
  }
  std::string Run(const std::string& Program) {
    Output.clear();
    Engine->Parse(Program, true);
    return Output;
  }

  TComponent Form;
  TGadget* Left;
  TGadget* Right;
  TInferenceEngine* Engine;
  std::string Output;
};

TEST_F(ObjectPackage, FunctionsInCreationOrderWithUsageTexts) {
  const std::vector<std::string> Names = {"create-component", "create-object", "execute-action", "free-object",
                                          "get-component",    "get-components", "get-property",  "get-properties",
                                          "set-property",     "get-class",      "is-class"};
  const TObjectPackage* Package = nullptr;
  for (int I = 0; I < Engine->GetComponentCount(); ++I)
    if (auto* P = dynamic_cast<TObjectPackage*>(Engine->GetComponent(I))) Package = P;
  ASSERT_NE(Package, nullptr);
  const TUserFunctionList& Functions = Package->GetFunctions();
  ASSERT_EQ(Functions.Count(), static_cast<int>(Names.size()));
  for (int I = 0; I < static_cast<int>(Names.size()); ++I)
    EXPECT_EQ(Functions.Item(I)->GetFunctionName(), Names[static_cast<size_t>(I)]);
  EXPECT_EQ(Functions.Item(4)->GetArgumentString(),
            " [<component-name>] |\r\n [<TComponent-expression> <component-name>]");
  EXPECT_EQ(Error("(set-property 1 2)"), Error("(set-property 1 2)"));  // arity errors come from the framework
  EXPECT_NE(Error("(set-property 1 2)"), "(no error)");
}

TEST_F(ObjectPackage, ComponentsAreFoundUnderTheEnginesOwner) {
  EXPECT_EQ(Eval("(get-component)")->GetAsObject(), &Form);
  EXPECT_EQ(Eval("(get-component Left)")->GetAsObject(), Left);
  EXPECT_EQ(Eval("(get-component \"right\")")->GetAsObject(), Right);  // names ignore case
  EXPECT_EQ(Text("(get-component nosuch)"), "FALSE");
  EXPECT_EQ(Eval("(get-component (get-component) Engine)")->GetAsObject(), Engine);
  EXPECT_EQ(Text("(get-component (get-component) nosuch)"), "FALSE");
  EXPECT_EQ(Text("(get-component Left)"), "<Object: TGadget>");
  EXPECT_EQ(Error("(get-component 12 Left)"), "Expected component argument to get-component function call");

  const IIEValue All = Eval("(get-components)");
  ASSERT_EQ(All->GetDType(), dtList);
  ASSERT_EQ(All->GetAsList()->GetValueCount(), 3);
  EXPECT_EQ(All->GetAsList()->Get(0)->GetAsObject(), Left);
  EXPECT_EQ(All->GetAsList()->Get(2)->GetAsObject(), Engine);
  EXPECT_EQ(Eval("(get-components (get-component Left))")->GetAsList()->GetValueCount(), 0);
  EXPECT_EQ(Error("(get-components abc)"), "Expected component argument to get-components function call");

  // An engine nobody owns: nothing to search.
  TInferenceEngine Alone;
  EXPECT_EQ(Alone.ParseNExecuteFunCall("(get-component)")->GetAsString(), "FALSE");
  EXPECT_EQ(ErrorOf([&] { Alone.ParseNExecuteFunCall("(get-component Left)"); }),
            "Expected component argument to get-component function call");
  EXPECT_EQ(ErrorOf([&] { Alone.ParseNExecuteFunCall("(get-components)"); }),
            "Expected component argument to get-components function call");
}

TEST_F(ObjectPackage, PropertiesAreReadByKind) {
  Left->Count = -3;
  Left->Serial = 5000000000;
  Left->Grade = 'q';
  Left->Weight = 2.5;
  Left->Label = "big one";
  Left->Enabled = true;
  Left->Mode = gmRunning;
  Left->Flags = {gfRed, gfBlue};
  Left->Partner = Right;

  auto Get = [&](const std::string& Name) { return Eval("(get-property (get-component Left) " + Name + ")"); };
  EXPECT_EQ(Get("Count")->GetDType(), dtInteger);
  EXPECT_EQ(Get("Count")->GetAsInteger(), -3);
  EXPECT_EQ(Get("Serial")->GetDType(), dtFloat);  // beyond 32 bits: the nearest float
  EXPECT_EQ(Get("Serial")->GetAsFloat(), 5000000000.0);
  Left->Serial = -12;
  EXPECT_EQ(Get("Serial")->GetDType(), dtInteger);
  EXPECT_EQ(Get("Grade")->GetDType(), dtString);
  EXPECT_EQ(Get("Grade")->GetAsString(), "q");
  EXPECT_EQ(Get("Weight")->GetAsFloat(), 2.5);
  EXPECT_EQ(Get("label")->GetAsString(), "big one");  // property names ignore case
  EXPECT_EQ(Get("Enabled")->GetAsString(), "TRUE");
  EXPECT_EQ(Get("Mode")->GetDType(), dtAtom);
  EXPECT_EQ(Get("Mode")->GetAsString(), "gmRunning");
  EXPECT_EQ(Get("Flags")->GetDType(), dtString);
  EXPECT_EQ(Get("Flags")->GetAsString(), "[gfRed,gfBlue]");
  EXPECT_EQ(Get("Partner")->GetAsObject(), Right);
  EXPECT_EQ(Get("Id")->GetAsInteger(), 7);
  EXPECT_EQ(Get("Parent")->GetAsObject(), nullptr);  // inherited from the control

  EXPECT_EQ(Get("NoSuchProperty")->GetDType(), dtNone);
  EXPECT_EQ(Text("(get-property 12 Count)"), "FALSE");
  Run("(defglobal ?*plain* = (create-object TPlain))");
  EXPECT_EQ(Text("(get-property ?*plain* Count)"), "FALSE");  // no published properties
  EXPECT_EQ(Text("(free-object ?*plain*)"), "TRUE");
  for (const auto& [Name, Kind] : std::vector<std::pair<std::string, std::string>>{
           {"OnPing", "pkEvent"}, {"History", "pkDynArray"}, {"Where", "pkRecord"},
           {"Anything", "pkVariant"}, {"Corners", "pkArray"}})
    EXPECT_EQ(Error("(get-property (get-component Left) " + Name + ")"), "Invalid property type: " + Kind);
}

TEST_F(ObjectPackage, PropertiesAreWrittenByKind) {
  auto Set = [&](const std::string& Name, const std::string& Value) {
    return Text("(set-property (get-component Left) " + Name + " " + Value + ")");
  };
  EXPECT_EQ(Set("Count", "41"), "TRUE");
  EXPECT_EQ(Left->Count, 41);
  EXPECT_EQ(Set("Count", "2.9"), "TRUE");  // a float is read as an integer
  EXPECT_EQ(Left->Count, 2);
  EXPECT_EQ(Set("Serial", "123"), "TRUE");
  EXPECT_EQ(Left->Serial, 123);
  EXPECT_EQ(Set("Serial", "6.0e12"), "TRUE");
  EXPECT_EQ(Left->Serial, 6000000000000);
  EXPECT_EQ(Set("Weight", "7"), "TRUE");
  EXPECT_EQ(Left->Weight, 7.0);
  EXPECT_EQ(Set("Label", "\"two words\""), "TRUE");
  EXPECT_EQ(Left->Label, "two words");
  EXPECT_EQ(Set("Label", "12"), "TRUE");
  EXPECT_EQ(Left->Label, "12");
  EXPECT_EQ(Set("Grade", "zed"), "TRUE");
  EXPECT_EQ(Left->Grade, 'z');
  EXPECT_EQ(Set("Enabled", "TRUE"), "TRUE");
  EXPECT_TRUE(Left->Enabled);
  EXPECT_EQ(Set("Enabled", "false"), "TRUE");
  EXPECT_FALSE(Left->Enabled);
  EXPECT_EQ(Set("Mode", "GMBROKEN"), "TRUE");  // value names ignore case
  EXPECT_EQ(Left->Mode, gmBroken);
  EXPECT_EQ(Set("Flags", "\"[gfGreen, gfBlue]\""), "TRUE");
  EXPECT_EQ(Left->Flags, (TGadgetFlags{gfGreen, gfBlue}));
  EXPECT_EQ(Set("Flags", "gfRed"), "TRUE");  // brackets may be left out
  EXPECT_EQ(Left->Flags, (TGadgetFlags{gfRed}));
  EXPECT_EQ(Set("Flags", "\"[]\""), "TRUE");
  EXPECT_TRUE(Left->Flags.Empty());
  EXPECT_EQ(Set("Partner", "(get-component Right)"), "TRUE");
  EXPECT_EQ(Left->Partner, Right);
  bool Pinged = false;
  Left->OnPing = [&](platform::TObject*) { Pinged = true; };
  EXPECT_EQ(Set("OnPing", "whatever"), "TRUE");  // handlers stay as the host set them
  ASSERT_TRUE(Left->OnPing);
  Left->OnPing(nullptr);
  EXPECT_TRUE(Pinged);

  // What is not set: no object, no property, a read-only property.
  EXPECT_EQ(Set("NoSuchProperty", "1"), "FALSE");
  EXPECT_EQ(Set("Id", "1"), "FALSE");
  EXPECT_EQ(Text("(set-property 12 Count 1)"), "FALSE");
  EXPECT_EQ(Text("(set-property FALSE Count 1)"), "FALSE");

  // Values that do not convert leave the property as it was.
  Left->Mode = gmIdle;
  EXPECT_EQ(Error("(set-property (get-component Left) Mode gmFlying)"), "Invalid property element: gmFlying");
  EXPECT_EQ(Left->Mode, gmIdle);
  EXPECT_EQ(Error("(set-property (get-component Left) Flags \"[gfRed,gfPink]\")"), "Invalid property element: gfPink");
  EXPECT_EQ(Error("(set-property (get-component Left) Flags \"[gfRed,]\")"), "Invalid property element: [gfRed,]");
  EXPECT_EQ(Error("(set-property (get-component Left) Enabled maybe)"), "Invalid property element: maybe");
  EXPECT_NE(Error("(set-property (get-component Left) Count abc)"), "(no error)");
  EXPECT_EQ(Left->Count, 2);
  EXPECT_EQ(Error("(set-property (get-component Left) Partner (get-component Engine))"),
            "Not a TGadget type.  Value (<Object: TInferenceEngine>) is a TInferenceEngine type");
  EXPECT_EQ(Left->Partner, Right);
  for (const std::string Name : {"History", "Where", "Anything", "Corners"})
    EXPECT_EQ(Error("(set-property (get-component Left) " + Name + " 1)").rfind("Invalid property type: pk", 0), 0u) << Name;
}

TEST_F(ObjectPackage, PropertyNamesInNameOrderWithoutEvents) {
  const IIEValue Names = Eval("(get-properties (get-component Left))");
  ASSERT_EQ(Names->GetDType(), dtList);
  EXPECT_EQ(Names->GetToString(),
            "Anything Corners Count Enabled Flags Grade History Id Label Mode Parent Partner Serial Weight Where ");
  EXPECT_EQ(Names->GetAsList()->Get(0)->GetDType(), dtAtom);
  EXPECT_EQ(Text("(get-properties 3)"), "FALSE");
}

TEST_F(ObjectPackage, ClassesAndInstances) {
  EXPECT_EQ(Eval("(get-class TGadget)")->GetDType(), dtClass);
  EXPECT_EQ(Eval("(get-class tgadget)")->GetAsClass(), &TGadget::StaticClass());
  EXPECT_EQ(Eval("(get-class TNoSuchClass)")->GetAsClass(), nullptr);
  EXPECT_EQ(Text("(get-class TNoSuchClass)"), "");
  EXPECT_EQ(Text("(is-class (get-component Right) (get-class TGadget))"), "TRUE");  // a descendant
  EXPECT_EQ(Text("(is-class (get-component Left) (get-class TSubGadget))"), "FALSE");
  EXPECT_EQ(Text("(is-class (get-component Left) (get-class TComponent))"), "TRUE");
  EXPECT_EQ(Text("(is-class (get-component Left) (get-class TNoSuchClass))"), "FALSE");
  EXPECT_EQ(Text("(is-class 12 (get-class TGadget))"), "FALSE");
  EXPECT_EQ(Error("(create-object (get-class TNoSuchClass))"), "Unknown class name: ");
  EXPECT_EQ(Error("(create-object TNoSuchClass)"), "Unknown class name: TNoSuchClass");
}

TEST_F(ObjectPackage, CreatesComponentsAndObjectsAndRunsActions) {
  // A gadget owned by Left, placed inside Right.
  Run("(defglobal ?*made* = (create-component (get-class TGadget) (get-component Left) (get-component Right)))");
  ASSERT_EQ(Left->GetComponentCount(), 1);
  auto* Made = dynamic_cast<TGadget*>(Left->GetComponent(0));
  ASSERT_NE(Made, nullptr);
  EXPECT_EQ(Made->GetParent(), Right);
  EXPECT_EQ(Right->GetControlCount(), 1);
  EXPECT_EQ(Text("(set-property ?*made* Label made)"), "TRUE");
  EXPECT_EQ(Made->Label, "made");

  EXPECT_EQ(Error("(create-component (get-class TPlain) (get-component Left))"), "Unknown component class name: TPlain");
  EXPECT_EQ(Error("(create-component (get-class TGadget) 12)"),
            "Expected component argument to create-component function call");
  EXPECT_EQ(Error("(create-component (get-class TGadget) (get-component Left) 12)"), "Unknown visual container name: 12");
  EXPECT_EQ(Left->GetComponentCount(), 1);  // nothing made by the refused calls
  // A container cannot be placed inside itself or inside what it contains.
  EXPECT_EQ(Error("(set-property (get-component Right) Parent (get-component Right))"),
            "A control cannot have itself or one of its children as its parent");
  EXPECT_EQ(Error("(set-property (get-component Right) Parent ?*made*)"),
            "A control cannot have itself or one of its children as its parent");
  EXPECT_EQ(Text("(set-property ?*made* Parent (get-component Left))"), "TRUE");
  EXPECT_EQ(Made->GetParent(), Left);
  EXPECT_EQ(Right->GetControlCount(), 0);

  Run("(defglobal ?*action* = (create-component TCountingAction (get-component)))");
  EXPECT_EQ(Text("(execute-action ?*action*)"), "TRUE");
  EXPECT_EQ(Text("(execute-action ?*action*)"), "TRUE");
  EXPECT_EQ(Text("(execute-action (get-component Left))"), "FALSE");  // not an action
  EXPECT_EQ(Text("(execute-action 5)"), "FALSE");
  int Runs = 0;
  for (int I = 0; I < Form.GetComponentCount(); ++I)
    if (auto* A = dynamic_cast<TCountingAction*>(Form.GetComponent(I))) Runs += A->Runs;
  EXPECT_EQ(Runs, 2);
  // A plain action without a handler reports that nothing handled it.
  Run("(defglobal ?*bare* = (create-component TBasicAction (get-component)))");
  EXPECT_EQ(Text("(execute-action ?*bare*)"), "FALSE");

  Run("(defglobal ?*plain* = (create-object TPlain))");
  EXPECT_EQ(TPlain::Alive, 1);
  EXPECT_EQ(Text("?*plain*"), "<Object: TPlain>");
  EXPECT_EQ(Text("(free-object ?*plain*)"), "TRUE");
  EXPECT_EQ(TPlain::Alive, 0);
}

TEST_F(ObjectPackage, FreedObjectsReadAsNoObjectEverywhere) {
  Run("(deftemplate holder (slot what) (multislot all))"
      "(defglobal ?*g* = (create-component TGadget (get-component Left)))"
      "(defglobal ?*child* = (create-component TGadget ?*g*))"
      "(defglobal ?*plain* = (create-object TPlain))"
      "(defrule note (holder (what ?w)) => (printout t \"held \" ?w crlf))");
  Eval("(assert (holder (what ?*g*) (all ?*g* ?*plain* ?*child*)))");
  EXPECT_EQ(Run("(run)"), "held <Object: TGadget>\r\n1\r\n");

  // Freeing the gadget frees the child it owns; the same object twice is freed once.
  EXPECT_EQ(Text("(free-object ?*g* ?*child* ?*g* ?*plain*)"), "TRUE");
  EXPECT_EQ(Left->GetComponentCount(), 0);
  EXPECT_EQ(TPlain::Alive, 0);
  EXPECT_EQ(Text("?*g*"), "");
  EXPECT_EQ(Eval("?*child*")->GetAsObject(), nullptr);
  EXPECT_EQ(Text("(get-property ?*g* Count)"), "FALSE");
  EXPECT_EQ(Text("(set-property ?*g* Count 1)"), "FALSE");
  EXPECT_EQ(Text("(is-class ?*g* TGadget)"), "FALSE");
  EXPECT_EQ(Text("(free-object ?*g*)"), "TRUE");  // nothing left to free
  Output.clear();
  Run("(facts)");
  // Nothing to print where the objects were; the slot of the single object is left out.
  EXPECT_NE(Output.find("f-1 (holder (all "), std::string::npos) << Output;
  // The fact still compares and retracts: its values kept their identity.
  EXPECT_EQ(Text("(retract 1)"), "TRUE");
  Output.clear();
  Run("(facts)");
  EXPECT_EQ(Output.find("holder"), std::string::npos) << Output;

  // Destroyed by its owner rather than by a rule: the same.
  Run("(defglobal ?*h* = (create-component TGadget (get-component Right)))");
  Right->DestroyComponents();
  EXPECT_EQ(Text("?*h*"), "");
}

TEST_F(ObjectPackage, TheEngineAndItsPartsAreNotFreed) {
  const std::string Refused =
      "free-object error: an inference engine, its owners and parts, and what another object holds cannot be freed: ";
  (void)vaguecore::TFuzzyLogic::StaticClass();  // the fuzzy library's classes are registered
  EXPECT_EQ(Error("(free-object (get-component Engine))"), Refused + "<Object: TInferenceEngine>");
  EXPECT_EQ(Error("(free-object (get-component))"), Refused + "<Object: TComponent>");
  EXPECT_EQ(Error("(free-object (nth$ 0 (get-components (get-component Engine))))").rfind(Refused, 0), 0u);
  for (const std::string Part : {"Facts", "Rules", "FactTemplates", "DefinedTypes", "GlobalVariables"})
    EXPECT_EQ(Error("(free-object (get-property (get-component Engine) " + Part + "))").rfind(Refused, 0), 0u) << Part;
  // Parts of another engine are just as safe.
  auto* Other = new TInferenceEngine(Left);
  Other->SetName("Other");
  EXPECT_EQ(Error("(free-object (nth$ 0 (get-components (get-component (get-component Left) Other))))").rfind(Refused, 0), 0u);
  EXPECT_EQ(Error("(free-object (get-component (get-component Left) Other))"), Refused + "<Object: TInferenceEngine>");
  // A collection belongs to the object that holds it, and a collection item to its collection.
  Run("(defglobal ?*fuzzy* = (create-component TFuzzyLogic (get-component Left)))");
  EXPECT_EQ(Error("(free-object (get-property ?*fuzzy* Items))"), Refused + "<Object: TFuzzyVariables>");
  EXPECT_EQ(Text("(free-object ?*fuzzy*)"), "TRUE");
  // Nothing of a refused call is freed, not even the arguments before the refused one.
  Run("(defglobal ?*p* = (create-object TPlain))");
  EXPECT_NE(Error("(free-object ?*p* (get-component))"), "(no error)");
  EXPECT_EQ(TPlain::Alive, 1);
  EXPECT_EQ(Text("(free-object ?*p*)"), "TRUE");
  EXPECT_EQ(Text("(get-component Engine)"), "<Object: TInferenceEngine>");
}

// Rules may reach the engine itself through its owner.  Changing its settings from inside a
// call or a firing - removing the very package that runs, replacing the rules or facts that are
// being run - must end in a result or a clear error, never in freed memory.
TEST_F(ObjectPackage, RulesChangingTheirOwnEngineStaySafe) {
  auto Survives = [&](const std::string& Program) {
    try {
      Run(Program);
    } catch (const std::exception&) {
    }
  };
  Survives("(deftemplate item (slot n))"
           "(defrule grab (item (n ?n)) => (set-property (get-component Engine) Rules"
           "  (get-property (get-component Engine) Rules)) (set-property (get-component Engine) Facts"
           "  (get-property (get-component Engine) Facts)))");
  Survives("(reset) (assert (item (n 1)) (item (n 2))) (run)");
  Survives("(defrule drop (item (n ?n)) => (set-property (get-component Engine) Packages \"[]\"))");
  Survives("(reset) (assert (item (n 3))) (run)");
  EXPECT_FALSE(Engine->ContainsUserFunction("set-property"));  // the packages went after all
  Engine->SetPackages(AllFunctionPackages);
  Survives("(set-property (get-component Engine) Packages \"[pStandard]\")");
  EXPECT_TRUE(Engine->ContainsUserFunction("assert"));
  EXPECT_FALSE(Engine->ContainsUserFunction("get-component"));
}

// What "create-object" makes has no owner: the engine's object package keeps it until it is
// freed, by a rule or the host, and frees the rest when it goes with its engine.
TEST(ObjectPackageOwnership, ObjectsMadeWithoutAnOwnerDoNotOutliveTheirEngine) {
  const int Before = TPlain::Alive;
  TPlain* HostFreed = nullptr;
  TComponent Keeper;
  {
    TInferenceEngine Engine;
    TObjectPackage* Package = nullptr;
    for (int I = 0; I < Engine.GetComponentCount(); ++I)
      if (auto* P = dynamic_cast<TObjectPackage*>(Engine.GetComponent(I))) Package = P;
    ASSERT_NE(Package, nullptr);
    Engine.Parse("(defglobal ?*a* = (create-object TPlain) ?*b* = (create-object TPlain))"
                 "(defglobal ?*c* = (create-object TComponent))",
                 true);
    Engine.ParseNExecuteFunCall("(create-object TPlain)");  // dropped at once: still kept
    EXPECT_EQ(TPlain::Alive, Before + 3);
    EXPECT_EQ(Package->KeptCount(), 4);
    Engine.ParseNExecuteFunCall("(free-object ?*a*)");
    EXPECT_EQ(Package->KeptCount(), 3);
    // Freed by the host: the package forgets it too.
    HostFreed = dynamic_cast<TPlain*>(Engine.ParseNExecuteFunCall("(nth$ 0 (create$ ?*b*))")->GetAsObject());
    ASSERT_NE(HostFreed, nullptr);
    delete HostFreed;
    EXPECT_EQ(Package->KeptCount(), 2);
    EXPECT_EQ(Engine.ParseNExecuteFunCall("(nth$ 0 (create$ ?*b*))")->GetToString(), "");
    // A component made so and then given an owner is that owner's.
    auto* Adopted = dynamic_cast<TComponent*>(Engine.ParseNExecuteFunCall("(nth$ 0 (create$ ?*c*))")->GetAsObject());
    ASSERT_NE(Adopted, nullptr);
    Keeper.InsertComponent(Adopted);
  }
  EXPECT_EQ(TPlain::Alive, Before);  // the rest went with the engine; LeakSanitizer agrees
  EXPECT_EQ(Keeper.GetComponentCount(), 1);
}

}  // namespace
