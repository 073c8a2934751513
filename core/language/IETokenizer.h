// The tokenizer of the rule language.
//
// TIETokenizerStream is the abstract tokenizer: a text stream that hands out tokens with
// look-ahead.  TIEClipsStream is the tokenizer of the parenthesised rule language.  It reads one
// whole parenthesised expression ahead (so a parser can peek at a construct's head), counts
// lines, carries the comments and white space before each token in the token, and records the
// text of the expression being parsed so that error messages can quote it.
//
// Contents
//   1. TIETokenizerStream - the operations every tokenizer offers
//   2. TIEClipsStream     - scanning, classification, look-ahead, record
//
// Depends on core/values and the platform layer.
#pragma once

#include <climits>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <ios>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "IEStreamToken.h"
#include "core/values/IESymbolGenerator.h"
#include "platform/TextStream.h"

namespace rulecore {

// Whether Text ends inside an expression: an unclosed "(" or string.  Comments run to the end
// of their line; a backslash in a string takes the next character as it is.
bool LeavesExpressionOpen(std::string_view Text) noexcept;

// --- 1. the abstract tokenizer ----------------------------------------------------------------

// Hints for FinishToken besides the punctuation characters themselves.
inline constexpr int HintWord = 0;
inline constexpr int HintEndOfStream = -1;
inline constexpr int HintString = '"';
inline constexpr int HintCRLF = '\r';

class TIETokenizerStream : public platform::TTextStream {
  PLATFORM_CLASS(TIETokenizerStream, platform::TTextStream)
 public:
  using TTextStream::TTextStream;

  // Empties the look-ahead and the recorded expression text.
  virtual void Clear() = 0;
  // Drops the rest of the current line.
  virtual void DiscardUntilEOL() = 0;
  // Error recovery: drops tokens until the parenthesis depth is back to 0 or the text ends.
  virtual void MoveToNextConstruct() = 0;
  virtual IStreamToken NextToken() = 0;
  // Makes Token the next one NextToken returns.
  virtual void PutBackToken(const IStreamToken& Token) = 0;
  // The name of the construct at the current position ("defrule" for "(defrule ..."), without
  // consuming anything; empty when there is none.
  virtual std::string Head() = 0;
  // Scans the characters of the next token.
  virtual IStreamToken BuildNextToken() = 0;
  // The one place tokens are made: Hint is HintWord, HintString, a punctuation character,
  // HintCRLF or HintEndOfStream.  Any other hint raises EIEParseException.
  virtual IStreamToken FinishToken(int Hint, std::string_view Text) = 0;
};

// --- 2. the rule-language tokenizer -----------------------------------------------------------

class TIEClipsStream : public TIETokenizerStream {
  PLATFORM_CLASS(TIEClipsStream, TIETokenizerStream)
 public:
  using TIETokenizerStream::TIETokenizerStream;

  // Single characters read through the tokenizer keep its line count right.  They are the
  // characters after everything already scanned: tokens held in the look-ahead stay there.
  int GetChar() override;
  void PutBackChar(int C) override;
  std::string GetLine() override;

  void Clear() override;
  void DiscardUntilEOL() override;
  void MoveToNextConstruct() override;
  // Returns the next token; when the look-ahead is empty it first reads the next expression.
  IStreamToken NextToken() override;
  void PutBackToken(const IStreamToken& Token) override;
  std::string Head() override;
  IStreamToken BuildNextToken() override;
  IStreamToken FinishToken(int Hint, std::string_view Text) override;

  // Reads one expression ahead: tokens up to the one that closes the first "(", or a single
  // token when the first is not "(", or up to the end of the text.  Iterative, so nesting depth
  // costs memory, never stack.
  void PrepareSExp();

  // The token NextToken returned last (reading one when none was read yet).
  IStreamToken GetCurrentToken();
  // The line the scanner is on (the first line is 1).
  int32_t GetLineNumber() const noexcept { return LineNumber_; }
  void SetLineNumber(int32_t Value) noexcept { LineNumber_ = Value; }
  // "(" returned minus ")" returned, less what was put back.
  int32_t GetParenthesisDepth() const noexcept { return Depth_; }
  // The recorded text of the expression read so far: each token returned since the expression
  // began, in its text form followed by a blank, with CR LF before a token on a later line.
  // Built when asked for (it is only read to word an error).
  std::string ToString() const;

  // Source of the names of anonymous variables (not owned; the engine sets itself).  Without
  // one the tokenizer numbers them itself, distinct within this stream.
  ISymbolGenerator* GetSymbolGenerator() const noexcept { return Generator_; }
  void SetSymbolGenerator(ISymbolGenerator* Value) noexcept { Generator_ = Value; }

 protected:
  // Reads a string literal after its opening quote into Scan_.
  void ReadString();
  // Reads a comment after its ';' into the pending white space.
  void ReadComment();
  // Reads a word starting with First and finishes its token.
  IStreamToken ReadWord(int First);
  std::string GenerateSymbol(std::string_view Prefix);

 private:
  // Character reading with line counting: a line ends at LF, at CR, or at CR LF taken together.
  int ReadCounted() {
    const int C = ReadChar();
    if (C > '\r') {
      AfterCR_ = false;
      return C;
    }
    return CountLineEnd(C);
  }
  int CountLineEnd(int C) noexcept;
  void UnreadCounted(int C);
  // Reads through the end of the current line, appending its text to Line when given.
  bool ReadLineCounted(std::string* Line);
  IStreamToken ClassifyWord(std::string_view Word);
  IStreamToken MakeToken(int32_t DataType, std::string_view Text, double Number, bool KeepWhiteSpace);
  void ResetRecord();

  ISymbolGenerator* Generator_ = nullptr;
  int32_t BlankCount_ = 0;
  int32_t LineNumber_ = 1;
  bool AfterCR_ = false;        // the last character read was a CR
  bool LastLFCounted_ = false;  // the last LF read ended a line (it did not follow a CR)
  std::string Scan_;            // the word or string being scanned (reused)
  std::string WhiteSpace_;      // white space and comments since the last token (reused)
  // Tokens waiting in the look-ahead and tokens in the record are mostly held packed: a large
  // expression (a deffacts of many thousands of facts) is read ahead whole, and a token object
  // per word would cost several times the text.  A token is packed only while nobody else holds
  // it, so no one can tell it from the object it was.  Tokens put back, and any token with more
  // than a kind, a line, a text, white space and its own number, stay objects (in Objects_).
  struct TPacked {
    uint32_t Offset;     // of the text in Chars_; the white space follows it
    uint32_t TextSize;
    uint32_t SpaceSize;
    int32_t Line;
    int32_t Kind;        // the token's kind, or PackedObject
    int32_t Integer;     // an integer token's number; for PackedObject the index in Objects_
  };
  static constexpr int32_t PackedObject = INT32_MIN;
  TPacked Pack(IStreamToken&& Token);
  TPacked HoldObject(IStreamToken Token);
  IStreamToken Unpack(const TPacked& Entry, bool Release);
  static double NumberOf(const TPacked& Entry, std::string_view Text);
  int32_t LineOf(const TPacked& Entry) const;
  void RecordToken(const IStreamToken& Token);
  void PackRecord();
  void ReleaseStorage();

  // While PrepareSExp reads ahead with this class's own scanner, MakeToken packs each token
  // here instead of making an object that would only be packed at once.
  TPacked* Direct_ = nullptr;
  std::deque<TPacked> LookAhead_;
  int32_t Depth_ = 0;
  // The tokens returned since the current expression began: the record, and the current token
  // (the last of them).  Putting the last one back takes it off again.
  std::deque<TPacked> Returned_;
  std::vector<uint32_t> ReturnedObjects_;  // positions in Returned_ of entries held as objects
  size_t PackAt_ = 16;                     // ReturnedObjects_ size that triggers packing
  std::string Chars_;
  std::vector<IStreamToken> Objects_;
  std::vector<int32_t> FreeObjects_;
  IStreamToken Earlier_;  // the current token when Returned_ was last emptied
};

// A class reference for tokenizers: how to make one on a stream or on a file.  The engine keeps
// one (its TokenizerType) and makes every tokenizer through it, so a host can substitute a
// descendant of TIEClipsStream; TokenizerClassOf gives the reference of such a class.
struct TTokenizerClass {
  const platform::TClass* Class;
  std::unique_ptr<TIEClipsStream> (*OnStream)(std::istream& Stream);
  std::unique_ptr<TIEClipsStream> (*OnFile)(const std::filesystem::path& FileName, std::ios::openmode Mode);
  // Over a text of its own (the engine's text entry points).
  std::unique_ptr<TIEClipsStream> (*OnText)(std::string Text);
};

template <class T>
const TTokenizerClass& TokenizerClassOf() noexcept {
  static_assert(std::is_base_of_v<TIEClipsStream, T>);
  static const TTokenizerClass Reference{
      &T::StaticClass(),
      [](std::istream& Stream) -> std::unique_ptr<TIEClipsStream> { return std::make_unique<T>(Stream); },
      [](const std::filesystem::path& FileName, std::ios::openmode Mode) -> std::unique_ptr<TIEClipsStream> {
        return std::make_unique<T>(FileName, Mode);
      },
      [](std::string Text) -> std::unique_ptr<TIEClipsStream> {
        return std::make_unique<T>(platform::InMemory, std::move(Text));
      }};
  return Reference;
}

}  // namespace rulecore
