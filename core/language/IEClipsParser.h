// TIEClipsParser: the parser of the rule language.  It reads tokens from its stream and builds
// rules, templates, fact sets, deffunctions, globals and defined types, plus facts, values and
// calls, handing each finished construct to the engine as it goes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "IEParser.h"

namespace rulecore {

class TIEClipsParser : public TIEParser {
  PLATFORM_CLASS(TIEClipsParser, TIEParser)
 public:
  explicit TIEClipsParser(platform::TComponent* Owner = nullptr);

  // Calls whose parenthesised arguments are facts (Start 0) or slot/value pairs (argument
  // positions Start to End, 1-based; End 0 means no end).
  void AddSlotFunction(const std::string& Name, int Start, int End);
  int GetSlotFunctionCount() const noexcept { return static_cast<int>(SlotFunctions_.size()); }

  void Parse(bool Execute) override;
  bool ParseExpression(bool Execute) override;
  IIEValue ParseNExecuteFunCall() override;
  bool LoadFacts() override;

  TRule* ParseRule() override;
  virtual void ParseRulePatterns(TRule& Rule);
  virtual void ParseRuleActions(TRule& Rule);
  virtual std::unique_ptr<TIEPattern> ParsePattern(int32_t Depth);
  IFactTemplate ParseFactTemplate() override;
  IFactSlot ParseFactTemplateSlot(TFactTemplate& Template) override;
  TFactSet* ParseFactSet() override;
  IFact ParseFact() override;
  IInterpretedFunction ParseFunction() override;
  void ParseGlobalVariables() override;
  IIEDefinedType ParseDefinedType() override;
  IFunCall ParseFunCall() override;
  IIEValue ParseValue() override;
  IIEValue ParseList() override;
  ISingletonsVector ParseSingletons() override;
  // A slot's value in a fact: a list for a multislot, one value otherwise; in a fuzzy slot the
  // value of what is written there (ParseFuzzyValue).
  virtual IIEValue ParseValue(const TFactSlot& Slot);
  // The fuzzy value of a fuzzy slot in a fact: the items up to ")" as one linguistic expression
  // (or one operand), evaluated now unless they use variables or calls, which are evaluated
  // when the fact is asserted.
  virtual IIEValue ParseFuzzyValue(const TFactSlot& Slot);
  // The clauses of a fuzzy variable - "(range low high)", "(units text)", "(values (term name
  // shape)...)" - up to ")" or the end of the text, into Variable.
  virtual void ParseFuzzyVariable(vaguecore::TIFuzzyVariable& Variable);
  // "(term name shape)": a set of Variable of that name and shape, not yet a term of it.  The
  // shape is a singletons list, a shape call ("(tri 0 50 100)") or a linguistic expression.
  virtual IFuzzySet ParseFuzzySet(const IFuzzyVariable& Variable);
  // The "(term ...)" sets up to ")", each made a term of Variable.
  virtual void ParseFuzzyTerms(vaguecore::TIFuzzyVariable& Variable);
  // "(" slot value+ ")" as the list (slot value).
  virtual IIEValue ParseValuePair();
  // The kinds (and the defined type named among them) of a type clause, up to its ")".
  virtual std::pair<TIETypes, IIEDefinedType> ParseSlotTypes();
  virtual void ParseRangeAndCardinality(TIEDefinedType& Type);
  virtual void ParseAllowedEnumerations(TIEDefinedType& Type, const std::string& Keyword);
  // "(" keyword name [comment]: the name and the comment.
  virtual std::pair<std::string, std::string> ParseHeader(std::string_view Keyword, TIEMessage Expected,
                                                          std::string_view Where);

  // "(name pattern)": the help line of a function.
  static std::string GetSyntaxStatement(const TIEUserFunction& Function);
  std::string GenerateSymbol(std::string_view Prefix);

 private:
  bool ShapeTerm(vaguecore::TFuzzySet& Term, const IIEValue& Shape);
  struct TSlotFunction {
    std::string Name;
    int Start;
    int End;
  };
  using TVariables = std::map<std::string, TIEType>;

  IStreamToken Next();
  void Back(const IStreamToken& Token);
  void ExpectClose(std::string_view Where);
  // The value of a token; variables take the kind the rule first gave them.
  IIEValue TokenValue(const IStreamToken& Token);
  IIEValue ConstraintValue(const IStreamToken& Token);
  // The constraint terms of one slot; Fuzzy is the slot's definition when the slot is fuzzy.
  void ParseConstraints(TIEPattern& Pattern, const std::string& Slot, bool MultiSlot, const TFactSlot* Fuzzy);
  // A linguistic expression in a fuzzy slot's constraint, evaluated to its fuzzy value.
  IIEValue ParseFuzzyConstraint(const TFactSlot& Slot);
  IIEValue CallOrSingletons(const IStreamToken& Open);
  // A default or a fact value that the slot rejects: an integer becomes a float where floats
  // are allowed; anything else is a parse error.
  IIEValue Checked(const TFactSlot& Slot, IIEValue Value, std::string_view Where);
  const TSlotFunction* FindSlotFunction(std::string_view Name) const noexcept;
  IFactTemplate TemplateNamed(const IStreamToken& Name, std::string_view Where);

  std::vector<TSlotFunction> SlotFunctions_;
  TVariables* Variables_ = nullptr;  // the variables of the rule being parsed
};

}  // namespace rulecore
