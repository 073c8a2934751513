#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/functions/BusinessPackage.h"
#include "core/functions/FuzzyLogicPackage.h"
#include "core/functions/IEPackages.h"
#include "core/functions/MathPackage.h"
#include "core/functions/MiscPackage.h"
#include "core/functions/ObjectPackage.h"
#include "core/functions/PredicatePackage.h"
#include "core/functions/StandardPackage.h"
#include "core/functions/StringPackage.h"
#include "core/functions/TrigonometryPackage.h"
#include "core/language/IEPrettyPrinter.h"
#include "core/network/IEContext.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;

namespace {

// A function built from a handler, named and with an arity.
IUserFunction Function(const std::string& Name, TCallEvent Handler, int32_t Min = 0,
                       int32_t Max = TIEUserFunction::NoLimit) {
  auto F = MakeRef<TIEInnerFunction>(std::move(Handler));
  F->SetFunctionName(Name);
  F->SetMinArgumentCount(Min);
  F->SetMaxArgumentCount(Max);
  return F;
}

// (collect x ...): the resolved arguments as a list.
IUserFunction Collect() {
  return Function("collect", [](platform::TObject*, TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
    IValueVector L = NewList();
    for (int I = 0; I < Call.GetArgumentCount(); ++I) L->Add(Call.Evaluate(I, Context));
    Result = MakeRef<TIEValue>(L);
  });
}

// (ret x): sets the return state, as the rule language's "return" does.
IUserFunction Ret() {
  return Function(
      "ret",
      [](platform::TObject*, TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
        Result = Call.GetArgument(0);
        Context->SetReturnValue(Result);
      },
      1, 1);
}

IFunCall CallOf(IReasoner* Engine, const std::string& Name, std::initializer_list<IIEValue> Arguments) {
  IFunCall Call = MakeRef<TFunctionCall>(Engine, Name);
  for (const IIEValue& A : Arguments) Call->AddArgument(A);
  return Call;
}

IIEValue RunCall(const IFunCall& Call, platform::TObject* Context = nullptr) {
  IIEValue Result;
  Call->Execute(Context, Result);
  return Result;
}

class TTwoFunctionPackage final : public TUserPackage {
  PLATFORM_CLASS(TTwoFunctionPackage, TUserPackage)
 public:
  explicit TTwoFunctionPackage(platform::TComponent* Owner = nullptr) : TUserPackage(Owner) { CreateFunctions(); }

 protected:
  void CreateFunctions() override {
    TUserPackage::CreateFunctions();
    GetFunctions().Add(Collect());
    GetFunctions().Add(Ret());
  }
};

}  // namespace

TEST(UserFunctions, ArityInvariantsAndChecks) {
  IUserFunction F = Function("pick", nullptr, 1);
  EXPECT_EQ(F->GetMaxArgumentCount(), TIEUserFunction::NoLimit);
  F->SetMinArgumentCount(2);
  F->SetMaxArgumentCount(0);
  EXPECT_EQ(F->GetMinArgumentCount(), 0);
  F->SetMinArgumentCount(3);
  EXPECT_EQ(F->GetMaxArgumentCount(), 3);
  F->SetMinArgumentCount(1);
  TInferenceEngine Engine;
  F->AddReasoner(&Engine);
  EXPECT_EQ(ErrorOf([&] { RunCall(CallOf(&Engine, "pick", {})); }), "Too few arguments for pick");
  EXPECT_EQ(ErrorOf([&] { RunCall(CallOf(&Engine, "pick", {FCNil, FCNil, FCNil, FCNil})); }),
            "Too many arguments for pick");
  EXPECT_FALSE(RunCall(CallOf(&Engine, "pick", {FCNil})));  // the base function answers no value
}

TEST(UserFunctions, RenamesFollowEveryEngine) {
  TInferenceEngine A, B;
  std::vector<std::string> Events;
  A.OnAddUserFunction = [&](TInferenceEngine*, const IUserFunction& F) { Events.push_back("+" + F->GetFunctionName()); };
  A.OnRemoveUserFunction = [&](TInferenceEngine*, const IUserFunction& F) { Events.push_back("-" + F->GetFunctionName()); };
  IUserFunction F = Collect();
  F->AddReasoner(&A);
  EXPECT_EQ(F->AddReasoner(&B), 1);
  EXPECT_EQ(F->AddReasoner(&A), 0);  // already there
  F->SetFunctionName("gather");
  for (TInferenceEngine* E : {&A, &B}) {
    EXPECT_TRUE(E->ContainsUserFunction("gather"));
    EXPECT_FALSE(E->ContainsUserFunction("collect"));
  }
  EXPECT_EQ(Events, (std::vector<std::string>{"+collect", "-collect", "+gather"}));
  F->DeleteReasoner(&A);
  EXPECT_FALSE(A.ContainsUserFunction("gather"));
  EXPECT_TRUE(B.ContainsUserFunction("gather"));
}

TEST(UserFunctions, EnginesMayGoFirst) {
  IUserFunction F = Collect();
  {
    TInferenceEngine Engine;
    F->AddReasoner(&Engine);
  }
  EXPECT_EQ(F->GetReasonerCount(), 0);
  F->SetFunctionName("still-fine");
}

TEST(FunctionCalls, ResolvedOnFirstRunAndKept) {
  TInferenceEngine Engine;
  IFunCall Call = CallOf(&Engine, "collect", {NewInteger(1), NewAtom("a")});
  EXPECT_EQ(ErrorOf([&] { RunCall(Call); }), "Function is unimplemented or unassigned: collect");
  IUserFunction F = Collect();
  F->AddReasoner(&Engine);
  EXPECT_EQ(RunCall(Call)->GetToString(), "1 a ");
  EXPECT_EQ(Call->GetUserFunction(), F);
  F->DeleteReasoner(&Engine);
  EXPECT_EQ(RunCall(Call)->GetToString(), "1 a ");             // stays resolved
  EXPECT_NE(ErrorOf([&] { RunCall(Call->Clone()); }), "(no error)");  // a clone resolves afresh

  IUserFunction Failing = Function("fail", [](platform::TObject*, TFunctionCall&, TIEContext*, IIEValue&) {
    throw std::runtime_error("boom");
  });
  IFunCall Guarded = CallOf(&Engine, "fail", {});
  Guarded->SetUserFunction(Failing);
  IIEValue Result;
  EXPECT_EQ(ErrorOf([&] { Guarded->SimpleExecute(nullptr, Result); }), "fail error: boom");
  IFunCall Unresolved = CallOf(nullptr, "x", {});
  EXPECT_EQ(ErrorOf([&] { Unresolved->SimpleExecute(nullptr, Result); }), "Function is unimplemented or unassigned: x");
}

TEST(FunctionCalls, EqualityHashCopiesAndArguments) {
  IFunCall A = CallOf(nullptr, "+", {NewInteger(1), NewInteger(2)});
  IFunCall B = CallOf(nullptr, "+", {NewInteger(1), NewInteger(2)});
  IFunCall C = CallOf(nullptr, "+", {NewInteger(2), NewInteger(1)});
  EXPECT_TRUE(A->Equals(B.get()));
  EXPECT_EQ(A->GetHashCode(), B->GetHashCode());
  EXPECT_FALSE(A->Equals(C.get()));
  EXPECT_FALSE(A->Equals(CallOf(nullptr, "+", {NewInteger(1), NewFloat(2)}).get()));

  IFunCall Nested = CallOf(nullptr, "f", {MakeRef<TIEValue>(A)});
  IFunCall Copy = Nested->Clone();
  EXPECT_TRUE(Copy->Equals(Nested.get()));
  Copy->GetArgument(0)->GetAsFunCall()->GetArgument(0)->SetAsInteger(9);
  EXPECT_EQ(A->GetArgument(0)->GetAsInteger(), 1);  // nested calls are copied too

  IFunCall Built = MakeRef<TFunctionCall>(nullptr, "g");
  Built->AddArgument(2.9, dtInteger);
  Built->AddArgument(3, dtFloat);
  Built->AddArgument("x", dtVariable);
  EXPECT_EQ(Built->GetToString(), "(g 2 3.0000 ?x)");
  EXPECT_EQ(ErrorOf([&] { Built->AddArgument("x", dtInteger); }), "Not a String type.  Value (x) is a dtInteger type");
  EXPECT_EQ(ErrorOf([&] { Built->AddArgument(4, dtAtom); }), "Not a Integer type.  Value (4) is a dtAtom type");
  EXPECT_EQ(ErrorOf([&] { Built->AddArgument(1.5, dtAtom); }), "Not a Float type.  Value (1.5000) is a dtAtom type");
  EXPECT_THROW(Built->GetArgument(3), platform::EListError);

  IFunCall Modify = CallOf(nullptr, "modify", {NewValue("f", dtVariable), NewValue("x 1", dtAtom)});
  Modify->SetComment("change it\n;; already a comment");
  EXPECT_EQ(Modify->GetToString(), "; change it\r\n;; already a comment\r\n(modify ?f (x 1))");
}

TEST(Contexts, FramesBindingsAndReturnState) {
  TIEContext Root;
  Root.AddLocalBinding("x", NewInteger(1));
  std::unique_ptr<TIEContext> Child(Root.Push());
  EXPECT_EQ(Child->GetVariable("x")->GetAsInteger(), 1);
  Child->AddBinding("x", NewInteger(2));  // found in the parent: changed there
  EXPECT_EQ(Root.GetVariable("x")->GetAsInteger(), 2);
  Child->SetVariable("x", NewInteger(3));  // not in this frame: AddBinding, so the parent again
  EXPECT_EQ(Root.GetVariable("x")->GetAsInteger(), 3);
  Child->AddLocalBinding("x", NewInteger(4));
  EXPECT_EQ(Child->GetVariable("x")->GetAsInteger(), 4);
  EXPECT_EQ(Root.GetVariable("x")->GetAsInteger(), 3);
  EXPECT_EQ(ErrorOf([&] { Child->GetVariable("y"); }), "Unknown variable name: y");
  Child->AddGlobalBinding("g", NewAtom("global"));
  EXPECT_TRUE(Root.FindGlobalBinding("g"));
  Child->SetReturnValue(NewInteger(7));
  EXPECT_EQ(Child->Pop(), &Root);
  EXPECT_TRUE(Root.GetReturned());
  EXPECT_EQ(Root.GetReturnValue()->GetAsInteger(), 7);
  EXPECT_EQ(Root.Pop(), &Root);
  // Variables resolve through the context.
  EXPECT_EQ(NewValue("x", dtVariable)->Resolve(Child.get())->GetAsInteger(), 4);
  const IBinding B = MakeRef<TBinding>("v", NewAtom("a"));
  EXPECT_EQ(B->GetToString(), "name=v value=a FactIdx=-2 SlotIdx=__LOCAL SubIdx=-1");
}

TEST(Contexts, ListsExpandAndSingletonsBecomeFuzzyValues) {
  TIEContext Context;
  Context.AddLocalBinding("l", MakeRef<TIEValue>(NewList()));
  Context.GetVariable("l")->GetAsList()->Add(NewInteger(2));
  IValueVector Written = NewList();
  Written->Add(NewInteger(1));
  Written->Add(NewValue("l", dtVariable));
  EXPECT_EQ(Context.ExpandList(*Written)->GetToString(), "1 2 ");
  auto Singletons = MakeRef<TSingletonsVector>();
  Singletons->Add(NewInteger(0), NewInteger(1));
  Singletons->Add(NewValue("l", dtVariable), NewFloat(0));  // a list is no number
  EXPECT_NE(ErrorOf([&] { MakeRef<TIEValue>(Singletons)->Resolve(&Context); }), "(no error)");
  Singletons->SetXValues(1, NewInteger(10));
  const IIEValue Fuzzy = MakeRef<TIEValue>(Singletons)->Resolve(&Context);
  ASSERT_EQ(Fuzzy->GetDType(), dtFuzzy);
  EXPECT_EQ(Fuzzy->GetAsFuzzy()->GetValues().GetCount(), 2);
}

TEST(InterpretedFunctions, ParametersStatementsAndReturn) {
  TInferenceEngine Engine;
  TTwoFunctionPackage Package(&Engine);
  auto F = MakeRef<TInterpretedFunction>("f");
  F->AddArgument("a", dtVariable);
  F->AddArgument("b", dtMultiVariable);
  EXPECT_EQ(ErrorOf([&] { F->AddArgument("c", dtInteger); }),
            "Invalid argument type for deffunction: \"dtInteger\".  Expected Atom, Variable, MultiVariable");
  F->AddStatement(CallOf(&Engine, "collect", {NewValue("a", dtVariable), NewValue("b", dtMultiVariable)}));
  F->AddReasoner(&Engine);
  EXPECT_EQ(F->GetMinArgumentCount(), 2);
  EXPECT_EQ(F->GetMaxArgumentCount(), TIEUserFunction::NoLimit);
  EXPECT_EQ(RunCall(CallOf(&Engine, "f", {NewInteger(1), NewInteger(2), NewInteger(3)}), Engine.GetContext())
                ->GetToString(),
            "1 2 3  ");
  EXPECT_EQ(ErrorOf([&] { RunCall(CallOf(&Engine, "f", {NewInteger(1)})); }), "Too few arguments for f");
  EXPECT_EQ(Engine.GetUserFunctions().GetInterpretedCount(), 1);

  // "return" ends the body with its value; the caller's frame is left as it was.
  auto G = MakeRef<TInterpretedFunction>("g");
  G->AddStatement(CallOf(&Engine, "ret", {NewInteger(7)}));
  G->AddStatement(CallOf(&Engine, "missing-function", {}));
  G->AddReasoner(&Engine);
  EXPECT_EQ(RunCall(CallOf(&Engine, "g", {}), Engine.GetContext())->GetAsInteger(), 7);
  EXPECT_FALSE(Engine.GetContext()->GetReturned());
  auto Empty = MakeRef<TInterpretedFunction>("nothing");
  Empty->AddArgument("unused", dtAtom);
  Empty->AddReasoner(&Engine);
  EXPECT_FALSE(RunCall(CallOf(&Engine, "nothing", {FCNil})));
  EXPECT_EQ(PrettyPrint(*F), "(deffunction f (?a $?b)\r\n    (collect ?a $?b)\r\n)\r\n");
}

TEST(Packages, FunctionsFollowTheirEngines) {
  TInferenceEngine A, B;
  auto* Package = new TTwoFunctionPackage(&A);  // owned by A
  EXPECT_TRUE(A.ContainsUserFunction("collect"));
  Package->SetEngine(&B);
  EXPECT_TRUE(B.ContainsUserFunction("ret"));
  EXPECT_EQ(Package->GetReasonerCount(), 2);
  Package->SetReset(true);
  Package->SetReset(true);
  EXPECT_EQ(Package->GetFunctions().Count(), 2);
  EXPECT_EQ(Package->IndexOf("ret"), 1);
  EXPECT_EQ(Package->IndexOf("Ret"), -1);
  Package->SetEngine(nullptr);
  EXPECT_FALSE(B.ContainsUserFunction("ret"));
  EXPECT_TRUE(A.ContainsUserFunction("ret"));
  Package->SetEngine(&B);
  {
    TTwoFunctionPackage Standalone;
    Standalone.SetEngine(&B);
    EXPECT_EQ(B.GetUserFunction("collect"), Standalone.GetFunctions().Item(0));
  }
  EXPECT_FALSE(B.ContainsUserFunction("collect"));  // the later package's function left with it
  EXPECT_TRUE(A.ContainsUserFunction("collect"));
}

TEST(Packages, AnEngineGoingAwayLeavesThePackageUsable) {
  TTwoFunctionPackage Package;
  {
    TInferenceEngine Engine;
    Package.SetEngine(&Engine);
    EXPECT_TRUE(Engine.ContainsUserFunction("collect"));
  }
  EXPECT_EQ(Package.GetEngine(), nullptr);
  EXPECT_EQ(Package.GetReasonerCount(), 0);
  EXPECT_EQ(Package.GetFunctions().Item(0)->GetReasonerCount(), 0);
}

TEST(Packages, AFreshEngineCreatesEveryPackageItLists) {
  TInferenceEngine Engine;
  // The package class of each selector value.
  auto IsPackage = [](TFunctionPackage Kind, platform::TComponent* C) -> bool {
    switch (Kind) {
      case pStandard: return dynamic_cast<TStandardPackage*>(C);
      case pPredicate: return dynamic_cast<TPredicatePackage*>(C);
      case pMath: return dynamic_cast<TMathPackage*>(C);
      case pMiscellaneous: return dynamic_cast<TMiscPackage*>(C);
      case pString: return dynamic_cast<TStringPackage*>(C);
      case pObject: return dynamic_cast<TObjectPackage*>(C);
      case pTrigonometry: return dynamic_cast<TTrigonometryPackage*>(C);
      case pBusiness: return dynamic_cast<TBusinessPackage*>(C);
      case pFuzzyLogic: return dynamic_cast<TFuzzyLogicPackage*>(C);
    }
    return false;
  };
  auto Created = [&](TFunctionPackage Kind) {
    for (int I = 0; I < Engine.GetComponentCount(); ++I)
      if (IsPackage(Kind, Engine.GetComponent(I))) return true;
    return false;
  };
  const platform::TEnumInfo& Kinds = platform::EnumInfo<TFunctionPackage>();
  ASSERT_EQ(Kinds.Count(), 9u);
  EXPECT_EQ(Engine.GetPackages(), AllFunctionPackages);
  std::vector<std::string> Missing;
  for (unsigned K = 0; K < Kinds.Count(); ++K)
    if (Engine.GetPackages().Contains(static_cast<TFunctionPackage>(K)) && !Created(static_cast<TFunctionPackage>(K)))
      Missing.emplace_back(Kinds.NameOf(K));
  EXPECT_EQ(Missing, std::vector<std::string>{});
  // Each of them once, and no two of them enter the same function name: every package function
  // is the one the engine finds under its name.
  int Packages = 0;
  for (int I = 0; I < Engine.GetComponentCount(); ++I)
    if (auto* Package = dynamic_cast<TUserPackage*>(Engine.GetComponent(I))) {
      ++Packages;
      for (int F = 0; F < Package->GetFunctions().Count(); ++F) {
        const IUserFunction& Function = Package->GetFunctions().Item(F);
        EXPECT_EQ(Engine.GetUserFunction(Function->GetFunctionName()), Function) << Function->GetFunctionName();
      }
    }
  EXPECT_EQ(Packages, 9);
  // Deselecting a package removes its functions; selecting it again brings them back.
  EXPECT_TRUE(Engine.ContainsUserFunction("sin"));
  EXPECT_TRUE(Engine.ContainsUserFunction("payment"));
  Engine.SetPackages(AllFunctionPackages - TFunctionPackages{pTrigonometry, pBusiness});
  EXPECT_FALSE(Engine.ContainsUserFunction("sin"));
  EXPECT_FALSE(Engine.ContainsUserFunction("payment"));
  EXPECT_FALSE(Created(pTrigonometry));
  Engine.SetPackages(AllFunctionPackages);
  EXPECT_TRUE(Created(pTrigonometry) && Created(pBusiness));
  EXPECT_TRUE(Engine.ContainsUserFunction("distance-manhattan"));
}

TEST(HostFunctions, ComponentCallsItsHandlerUntilItIsGone) {
  TInferenceEngine Engine;
  auto* Host = new TUserFunction(&Engine);
  Host->SetEngine(&Engine);
  Host->SetFunctionName("twice");
  Host->OnCall = [](platform::TObject*, TFunctionCall& Call, TIEContext* Context, IIEValue& Result) {
    Result = NewInteger(2 * Call.Evaluate(0, Context)->GetAsInteger());
  };
  Host->SetMinArgumentCount(1);
  Host->SetMaxArgumentCount(1);
  EXPECT_EQ(Host->GetArgumentString(), "<expression>");
  IFunCall Call = CallOf(&Engine, "twice", {NewInteger(21)});
  EXPECT_EQ(RunCall(Call)->GetAsInteger(), 42);
  Host->SetFunctionName("double");
  EXPECT_TRUE(Engine.ContainsUserFunction("double"));
  EXPECT_FALSE(Engine.ContainsUserFunction("twice"));
  delete Host;
  EXPECT_FALSE(Engine.ContainsUserFunction("double"));
  EXPECT_EQ(ErrorOf([&] { RunCall(Call); }), "Function is unimplemented or unassigned: double");
}

TEST(HostFunctions, ArgumentPatternsFollowTheArity) {
  EXPECT_EQ(BuildArgumentString("<a> <b> <c>", 1, 3), "<a> [<b> [<c>]]");
  EXPECT_EQ(BuildArgumentString("<a>", 0, 1), "[<a>]");
  EXPECT_EQ(BuildArgumentString("<a>", 2, 2), "<a> <expression>");
  EXPECT_EQ(BuildArgumentString("<a>", 2, 1), "");
  EXPECT_EQ(BuildArgumentString("", 0, 0), "");
  const std::string Unlimited = BuildArgumentString("", 1, TIEUserFunction::NoLimit);
  size_t Items = 0;
  for (size_t P = Unlimited.find("<expression>"); P != std::string::npos; P = Unlimited.find("<expression>", P + 1))
    ++Items;
  EXPECT_EQ(Items, 10u);
}

TEST(FunctionText, HelpTextOfBuiltIns) {
  IUserFunction F = Function("pick", nullptr, 1);
  F->SetArgumentString(" <list> <index>");
  F->SetComment("Picks one.\r\nSecond line");
  EXPECT_EQ(SyntaxStatement(*F), "(pick <list> <index>)");
  EXPECT_EQ(PrettyPrint(*F), ";; pick function\r\n;;     Picks one.\r\n;;     Second line\r\n;;          syntax: (pick <list> <index>)");
  TInferenceEngine Engine;
  EXPECT_EQ(F->GetToString(&Engine), PrettyPrint(*F));
}
