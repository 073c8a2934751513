#include "IEInterpretedFunction.h"

#include <memory>

#include "IEFunctionCall.h"
#include "core/network/IEContext.h"
#include "core/values/IEException.h"
#include "core/values/ValueVector.h"
#include "platform/Exceptions.h"

namespace rulecore {

TInterpretedFunction::TInterpretedFunction(std::string Name) : TIEUserFunction(std::move(Name), "", 0, NoLimit, "") {}

void TInterpretedFunction::AddArgument(const std::string& Name, TIEType Kind) {
  if (Kind != dtAtom && Kind != dtVariable && Kind != dtMultiVariable)
    RaiseIE(SInvalidArgType, {GetIETypeName(Kind), "Atom, Variable, MultiVariable"});
  Parameters_.push_back(NewValue(Name, Kind));
}

const IIEValue& TInterpretedFunction::GetArgument(int Index) const {
  if (Index < 0 || Index >= GetArgumentCount()) platform::ListIndexError(Index);
  return Parameters_[static_cast<size_t>(Index)];
}

void TInterpretedFunction::AddStatement(const platform::Ref<TFunCallBase>& Call) {
  Statements_.push_back(platform::MakeRef<TIEValue>(Call));
}

const IIEValue& TInterpretedFunction::GetStatement(int Index) const {
  if (Index < 0 || Index >= GetStatementCount()) platform::ListIndexError(Index);
  return Statements_[static_cast<size_t>(Index)];
}

int32_t TInterpretedFunction::GetMaxArgumentCount() const {
  if (!Parameters_.empty() && Parameters_.back()->GetDType() == dtMultiVariable) return NoLimit;
  return GetArgumentCount();
}

void TInterpretedFunction::Assign(const platform::TPersistent& Source) {
  TIEUserFunction::Assign(Source);
  if (const auto* From = dynamic_cast<const TInterpretedFunction*>(&Source)) {
    Parameters_.clear();
    for (const IIEValue& P : From->Parameters_) Parameters_.push_back(P->Clone());
    Statements_.clear();
    for (const IIEValue& S : From->Statements_) {
      if (S && S->GetDType() == dtFunCall && S->GetAsFunCall<TFunCallBase>())
        Statements_.push_back(platform::MakeRef<TIEValue>(
            platform::RefCast<TFunCallBase>(S->GetAsFunCall<TFunCallBase>()->Clone())));
      else
        Statements_.push_back(S ? S->Clone() : nullptr);
    }
    Order_ = From->Order_;
  }
}

namespace {

void Forget(const IIEValue& Value) noexcept {
  if (!Value || Value->GetDType() != dtFunCall) return;
  auto* Call = dynamic_cast<TFunctionCall*>(Value->GetInterface());
  if (!Call) return;
  Call->ForgetFunction();
  for (const IIEValue& Argument : Call->GetArguments()) Forget(Argument);
}

}  // namespace

void TInterpretedFunction::ForgetResolvedCalls() noexcept {
  for (const IIEValue& Statement : Statements_) Forget(Statement);
}

void TInterpretedFunction::Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) {
  const int Arguments = FunCall.GetArgumentCount();
  if (Arguments < GetArgumentCount()) RaiseIE(STooFewArgs, {GetFunctionName()});
  // A call from outside any rule still gets a frame of its own.
  std::unique_ptr<TIEContext> Standalone;
  if (!Context) {
    Standalone = std::make_unique<TIEContext>();
    Context = Standalone.get();
  }
  std::unique_ptr<TIEContext> Child(Context->Push());
  struct TPop {
    TIEContext& Frame;
    ~TPop() { Frame.Pop(); }
  } Pop{*Child};

  // Arguments are evaluated in the caller's frame, which holds what they refer to: the match a
  // pattern's constraint is tested on (the new frame has none), and the caller's variables,
  // which a parameter bound before them must not hide ((f ?b ?a) into parameters ?a ?b).
  for (int I = 0; I < GetArgumentCount(); ++I) {
    const TIEValue& Parameter = *Parameters_[static_cast<size_t>(I)];
    const std::string Name(Parameter.GetText());
    switch (Parameter.GetDType()) {
      case dtVariable:
        Child->AddLocalBinding(Name, FunCall.GetArgument(I)->Resolve(Context));
        break;
      case dtMultiVariable: {
        IValueVector Rest = NewList();
        for (int J = I; J < Arguments; ++J) Rest->Add(FunCall.GetArgument(J)->Resolve(Context));
        Child->AddLocalBinding(Name, platform::MakeRef<TIEValue>(Rest));
        break;
      }
      default:
        Child->SetVariable(Name, FCNil);
        break;
    }
  }
  Result = nullptr;
  try {
    for (const IIEValue& Statement : Statements_) {
      Result = Statement ? Statement->Resolve(Child.get()) : nullptr;
      if (Child->GetReturned()) {
        Result = Child->GetReturnValue();
        Child->ClearReturnValue();
        break;
      }
    }
    if (Result) Result = Result->Resolve(Child.get());
  } catch (const platform::EAbort&) {
    throw;
  } catch (platform::Exception& Error) {
    NoteErrorPlace(Error, "in deffunction", GetFunctionName());
    throw;
  }
}

}  // namespace rulecore
