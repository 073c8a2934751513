// TIEStreamToken: one lexical token of the rule language, handled through IStreamToken.
//
// A token's kind (DataType) is the ordinal of the value kind it stands for (dtAtom, dtString,
// dtInteger, dtVariable, dtFloat, dtMultiVariable; dtNone at the end of the text), or, for
// punctuation, the character code itself ('(' is 40).  Tokens convert to values and back.
// Depends on core/values and the platform layer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/values/IEValue.h"
#include "platform/BlockPool.h"
#include "platform/Cloneable.h"
#include "platform/Ref.h"

namespace rulecore {

class TIEStreamToken;
using IStreamToken = platform::Ref<TIEStreamToken>;

// The characters that are tokens of their own.
constexpr bool IsPunctuationChar(int C) noexcept {
  return C == '&' || C == '(' || C == ')' || C == '=' || C == '[' || C == ']' || C == '|' || C == '~';
}

class TIEStreamToken : public platform::TCloneable {
  PLATFORM_CLASS(TIEStreamToken, platform::TCloneable)
 public:
  // Reading makes and drops a token object per word, several times over.
  PLATFORM_POOLED(TIEStreamToken)
  TIEStreamToken() = default;
  TIEStreamToken(int32_t DataType, std::string Text, int32_t LineNumber, double Number = 0);

  int32_t GetDataType() const noexcept { return DataType_; }
  void SetDataType(int32_t Value) noexcept;
  int32_t GetLineNumber() const noexcept { return LineNumber_; }
  void SetLineNumber(int32_t Value) noexcept { LineNumber_ = Value; }
  double GetNumber() const noexcept { return Number_; }
  void SetNumber(double Value) noexcept;
  const std::string& GetText() const noexcept { return Text_; }
  void SetText(std::string Value) { Text_ = std::move(Value); }
  const std::string& GetWhiteSpace() const noexcept { return WhiteSpace_; }
  void SetWhiteSpace(std::string Value) { WhiteSpace_ = std::move(Value); }

  // True for the punctuation token of character C.
  bool Is(char C) const noexcept { return DataType_ == static_cast<unsigned char>(C); }
  bool IsEndOfStream() const noexcept { return DataType_ == dtNone && Text_ == "EOF"; }

  // Text form: "\"" text "\"" wrapped in backslashes for strings, ?name, $?name, the whole
  // number of an integer, "%.4f" for a float, otherwise Text (or the punctuation character).
  std::string ToString() const;
  std::string GetToString() const override { return ToString(); }
  // Appends the text form to Out (no temporary string).
  void AppendToString(std::string& Out) const { AppendTextForm(Out, DataType_, Text_, Number_); }
  // The text form of a token of this kind, text and number.
  static void AppendTextForm(std::string& Out, int32_t DataType, std::string_view Text, double Number);

  // Equal kind, line and number; the text is not compared.
  using TCloneable::Equals;
  bool Equals(const TCloneable* Other) const override;
  uint32_t GetHashCode() const override;

  // Copies DataType, LineNumber, Number, Text, Tag and a value kept by SetValue (not WhiteSpace).
  using TCloneable::Assign;
  void Assign(const platform::TPersistent& Source) override;
  IStreamToken Clone() const;

  // The value the token stands for: the shared TRUE, FALSE and nil constants for those atoms
  // ("nil" in any letter case), FCEOF for the end-of-stream token, a new value otherwise;
  // punctuation gives a string holding the character code in decimal.
  IIEValue Value() const;
  // As Value(), except that a variable of either kind is looked up in Context when Context is an
  // evaluation context (IValueContext); an unbound name raises "Unknown variable name: %s".
  // Any other object, or none, counts as no context.
  IIEValue Value(platform::TObject* Context) const;
  // Makes this token stand for V: its kind, and its name in Text or its number in Number.  Values
  // whose payload is neither (objects, addresses, classes, lists, calls, facts, fuzzy sets) are
  // kept by reference, so Value() gives them back intact.
  void SetValue(const IIEValue& V);

 protected:
  platform::ICloneable DoClone() const override { return Clone(); }

 private:
  friend class TIEClipsStream;  // packs plain tokens it holds alone
  int32_t DataType_ = dtNone;
  int32_t LineNumber_ = 0;
  double Number_ = 0;
  std::string Text_;
  std::string WhiteSpace_;
  // The value given to SetValue when its payload lives in neither Text nor Number.  A number is
  // never turned back into a pointer.
  IIEValue Kept_;
};

}  // namespace rulecore
