// TIEClipsParser: the parser of the rule language.  It reads tokens from its stream and builds
// rules, templates, fact sets, deffunctions, globals and defined types, plus facts, values and
// calls, handing each finished construct to the engine (its IParserHost) as it goes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "IEParser.h"
#include "core/values/ValueHashTable.h"

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
  // "?name = value": one global variable as the printer writes it (the name keeps its
  // asterisks; a call stays a call).
  virtual std::pair<std::string, IIEValue> ParseVariable();
  // "(slot value)" of a fact of Template (the value alone for an ordered template): the slot's
  // name and the value as a fact would hold it.
  virtual std::pair<std::string, IIEValue> ParseFactSlot(const TFactTemplate& Template);
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

  // --- the canonical text of what the parser reads (the printer's) ---
  std::string PrettyPrint(const TFactSet& Set) const;
  std::string PrettyPrint(const TFact& Fact) const;
  std::string PrettyPrint(const TFact& Fact, std::string_view SlotName) const;
  std::string PrettyPrint(const TFactTemplate& Template, std::string_view SlotName, std::string_view ValueText) const;
  std::string PrettyPrint(const TFactSlot& Slot) const;
  std::string PrettyPrint(const TFactTemplate& Template) const;
  // A "modify" or "duplicate" call writes its slot pairs in parentheses.
  std::string PrettyPrint(const TFunctionCall& Call) const;
  std::string PrettyPrint(const vaguecore::TIFuzzySet& Set, bool WithTerm) const;
  std::string PrettyPrint(const vaguecore::TIFuzzyVariable& Variable) const;
  std::string PrettyPrint(const TRule& Rule) const;
  std::string PrettyPrint(const TRule& Rule, TRuleConstruct Part) const;
  std::string PrettyPrint(const TIEPattern& Pattern) const;
  std::string PrettyPrint(const TSingletonsVector& Vector) const;
  // A built-in function with its syntax statement; a deffunction as its construct.
  std::string PrettyPrint(const TIEUserFunction& Function) const;
  std::string PrettyPrint(const TInterpretedFunction& Function) const;
  std::string PrettyPrint(std::string_view GlobalName, const IIEValue& Value) const;
  std::string PrettyPrint(const TValueHashTable& Globals) const;
  std::string PrettyPrint(const TIEDefinedType& Type) const;
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
  // The template of that name, made (implied) when there is none; while a construct is read the
  // made ones are noted, so that a construct that fails can take them away again.
  IFactTemplate ImpliedTemplate(const std::string& Name);

  std::vector<TSlotFunction> SlotFunctions_;
  TVariables* Variables_ = nullptr;  // the variables of the rule being parsed
  std::vector<std::string>* Implied_ = nullptr;  // templates implied by the construct being read
};

}  // namespace rulecore
