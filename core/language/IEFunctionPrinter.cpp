// The canonical text of function calls and comment blocks.
#include "IEPrettyPrinter.h"

#include "core/functions/IEFunctionCall.h"
#include "core/functions/IEInterpretedFunction.h"
#include "core/values/ValueHashTable.h"
#include "core/values/ValueVector.h"
#include "platform/Format.h"

namespace rulecore {

std::string CommentBlock(std::string_view Comment) {
  if (Comment.empty()) return {};
  std::string Block;
  size_t Start = 0;
  while (Start <= Comment.size()) {
    size_t End = Comment.find('\n', Start);
    if (End == std::string_view::npos) End = Comment.size();
    const std::string Line = platform::Trim(Comment.substr(Start, End - Start));
    if (!Line.empty() && Line[0] != ';') Block += "; ";
    Block += Line;
    Block += NewLineString;
    Start = End + 1;
  }
  return Block;
}

std::string SourceText(const IIEValue& Value) {
  if (!Value) return {};
  // nil and its copies are the atom with the empty text.
  if (Value->GetDType() == dtAtom && Value->GetToString().empty()) return "nil";
  // A point list without a parser writes only its pairs; the language needs them in parentheses.
  if (Value->GetDType() == dtSingletons && !Value->GetAsSingletons()->GetParser())
    return "(" + Value->GetToString() + ")";
  if (Value->GetDType() != dtList) return Value->GetToString();
  // The list's own text form, element by element ("a b "), with nil spelled out.
  std::string Text;
  const IValueVector List = Value->GetAsList();
  for (int I = 0; I < List->GetValueCount(); ++I) {
    Text += SourceText(List->Get(I));
    Text += ' ';
  }
  return Text;
}

std::string PrettyPrint(const TSingletonsVector& Vector) {
  if (Vector.GetCount() == 0) return {};
  std::string Text = "(";
  for (int I = 0; I < Vector.GetCount(); ++I)
    Text += "(" + SourceText(Vector.GetXValues(I)) + " " + SourceText(Vector.GetYValues(I)) + ") ";
  return Text + ")";
}

std::string PrettyPrint(const TFunctionCall& Call, bool SlotPairs) {
  std::string Text = CommentBlock(Call.GetComment());
  Text += '(';
  Text += Call.GetName();
  const int Count = Call.GetArgumentCount();
  for (int I = 0; I < Count; ++I) {
    const IIEValue& Argument = Call.GetArgument(I);
    const std::string Value = SourceText(Argument);
    if (SlotPairs && I > 0) {
      Text += " (";
      Text += Value;
      Text += ')';
    } else {
      Text += ' ';
      Text += Value;
    }
  }
  return Text + ")";
}

std::string SyntaxStatement(const TIEUserFunction& Function) {
  const std::string Pattern = platform::Trim(Function.GetArgumentString());
  const std::string Inner = Pattern.empty() ? Function.GetFunctionName() : Function.GetFunctionName() + " " + Pattern;
  return platform::Format(CLIPSSyntaxFormat, {Inner});
}

std::string PrettyPrint(const TIEUserFunction& Function, std::string_view Syntax) {
  if (const auto* Interpreted = dynamic_cast<const TInterpretedFunction*>(&Function)) return PrettyPrint(*Interpreted);
  const std::string Lead = ";; " + std::string(IndentString);
  std::string Text = ";; " + Function.GetFunctionName() + " function" + std::string(NewLineString);
  const std::string Help = Function.GetComment() + std::string(NewLineString) + platform::Format(SyntaxFormat, {Syntax});
  Text += Lead;
  size_t Start = 0;
  for (size_t At = Help.find(NewLineString); At != std::string::npos; At = Help.find(NewLineString, Start)) {
    Text += Help.substr(Start, At - Start);
    Text += NewLineString;
    Text += Lead;
    Start = At + NewLineString.size();
  }
  return Text + Help.substr(Start);
}

std::string PrettyPrint(const TIEUserFunction& Function) { return PrettyPrint(Function, SyntaxStatement(Function)); }

std::string PrettyPrint(const TInterpretedFunction& Function) {
  std::string Text = "(deffunction " + Function.GetFunctionName() + " (";
  for (int I = 0; I < Function.GetArgumentCount(); ++I) {
    const TIEValue& P = *Function.GetArgument(I);
    if (I > 0) Text += ' ';
    if (P.GetDType() == dtVariable) Text += '?';
    if (P.GetDType() == dtMultiVariable) Text += "$?";
    Text += P.GetText();
  }
  Text += ")";
  Text += NewLineString;
  if (!Function.GetComment().empty()) {
    Text += IndentString;
    Text += "\"" + Function.GetComment() + "\"";
    Text += NewLineString;
  }
  for (int I = 0; I < Function.GetStatementCount(); ++I) {
    const IIEValue& S = Function.GetStatement(I);
    Text += IndentString;
    Text += IndentInnerLines(SourceText(S));
    Text += NewLineString;
  }
  Text += ")";
  Text += NewLineString;
  return Text;
}

std::string PrettyPrintGlobalVariable(std::string_view Name, const IIEValue& Value) {
  std::string Text = Name.rfind('?', 0) == 0 ? std::string(Name) : "?" + std::string(Name);
  return Text + " = " + (Value ? Value->GetToString() : std::string());
}

std::string PrettyPrintGlobalVariables(const TValueHashTable& Globals) {
  std::string Text = "(defglobal";
  for (int I = 0; I < Globals.Count(); ++I) {
    Text += ' ';
    Text += PrettyPrintGlobalVariable(Globals.KeyAt(I), Globals.ValueAt(I));
  }
  return Text + ")";
}

}  // namespace rulecore
