// TPredicatePackage: the type tests of the rule language ("evenp", "get-type", "numberp"...).
#pragma once

#include <string>

#include "IEPackages.h"
#include "IEUserFunction.h"
#include "core/values/IEConsts.h"
#include "platform/Properties.h"

namespace rulecore {

// A predicate answering TRUE when its resolved argument is of one of ValueTypes.  The help
// comment names the types; it is built when the function is made.
class TVerifyTypePFunction : public TIEUserFunction {
  PLATFORM_CLASS(TVerifyTypePFunction, TIEUserFunction)
 public:
  TVerifyTypePFunction() : TVerifyTypePFunction(std::string(), TIETypes()) {}
  TVerifyTypePFunction(const std::string& Name, TIETypes Types);

  TIETypes GetValueTypes() const noexcept { return ValueTypes_; }
  void SetValueTypes(TIETypes Value) noexcept { ValueTypes_ = Value; }
  // Copies the base function data and ValueTypes.
  void Assign(const platform::TPersistent& Source) override;

  static void DeclareProperties(platform::TPropertyList<TVerifyTypePFunction>& P) {
    P.Add("ValueTypes", &TVerifyTypePFunction::GetValueTypes, &TVerifyTypePFunction::SetValueTypes);
  }

  // "Returns TRUE if the argument is of the following type(s): ..." for the given types.
  static std::string CommentFor(TIETypes Types);

 protected:
  void Execute(TFunctionCall& FunCall, TIEContext* Context, IIEValue& Result) override;

 private:
  TIETypes ValueTypes_;
};

class TPredicatePackage : public TUserPackage {
  PLATFORM_CLASS(TPredicatePackage, TUserPackage)
 public:
  explicit TPredicatePackage(platform::TComponent* Owner = nullptr);

 protected:
  void CreateFunctions() override;
};

}  // namespace rulecore
