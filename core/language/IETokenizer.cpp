// Contents
//   1. Character classes and number syntax
//   2. Characters and lines
//   3. Scanning (BuildNextToken, strings, comments, words)
//   4. Making tokens (FinishToken and word classification)
//   5. Look-ahead, put-back and the recorded expression text
#include "IETokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <typeinfo>
#include <charconv>
#include <utility>

#include "core/values/IEException.h"

namespace rulecore {

// =============================================================================================
// 1. Character classes and number syntax
// =============================================================================================

namespace {

enum TCharClass : uint8_t {
  ccWord,       // continues a word
  ccBlank,      // codes 0 to 32: white space, ends a word
  ccDelimiter,  // ends a word and starts the next token: " & ( ) ; < [ ] | ~
  ccEscape,     // backslash: the next character of a word is taken as it is
};

constexpr std::array<TCharClass, 256> MakeCharClasses() {
  std::array<TCharClass, 256> Classes{};
  for (int C = 0; C <= ' '; ++C) Classes[C] = ccBlank;
  for (unsigned char C : std::string_view("\"&();<[]|~")) Classes[C] = ccDelimiter;
  Classes['\\'] = ccEscape;
  return Classes;
}
constexpr std::array<TCharClass, 256> CharClasses = MakeCharClasses();

constexpr bool IsDigit(char C) noexcept { return C >= '0' && C <= '9'; }
constexpr unsigned char Byte(char C) noexcept { return static_cast<unsigned char>(C); }

// Optional sign and decimal digits only, within 32 bits.  (The value layer's text conversion
// also reads "$" hexadecimal and surrounding blanks, which a word must not be.)
bool ParseInteger(std::string_view Word, int32_t& Result) noexcept {
  size_t P = 0;
  bool Negative = false;
  if (P < Word.size() && (Word[P] == '+' || Word[P] == '-')) Negative = Word[P++] == '-';
  if (P == Word.size()) return false;
  const uint64_t Limit = Negative ? 2147483648ull : 2147483647ull;
  uint64_t Magnitude = 0;
  for (; P < Word.size(); ++P) {
    if (!IsDigit(Word[P])) return false;
    Magnitude = Magnitude * 10 + static_cast<uint64_t>(Word[P] - '0');
    if (Magnitude > Limit) return false;  // too long: the float reading takes it
  }
  Result = Negative ? static_cast<int32_t>(-static_cast<int64_t>(Magnitude)) : static_cast<int32_t>(Magnitude);
  return true;
}

// Optional sign, digits, optional fraction, optional exponent ("1.", ".5", "-2.5e-3").  A number
// too small for a double reads as zero; one too large for any double is no number at all, so
// the word stays an atom and keeps its text.
bool ParseFloat(std::string_view Word, double& Result) noexcept {
  size_t P = 0;
  bool Negative = false;
  if (P < Word.size() && (Word[P] == '+' || Word[P] == '-')) Negative = Word[P++] == '-';
  const size_t MantissaStart = P;
  size_t IntDigits = 0, LeadingZeros = 0, FractionZeros = 0;
  bool NonZeroSeen = false;
  for (; P < Word.size() && IsDigit(Word[P]); ++P, ++IntDigits)
    if (!NonZeroSeen && Word[P] == '0') ++LeadingZeros;
    else NonZeroSeen = true;
  size_t FractionDigits = 0;
  if (P < Word.size() && Word[P] == '.') {
    for (++P; P < Word.size() && IsDigit(Word[P]); ++P, ++FractionDigits)
      if (!NonZeroSeen && Word[P] == '0') ++FractionZeros;
      else NonZeroSeen = true;
  }
  if (IntDigits + FractionDigits == 0) return false;
  int64_t Exponent = 0;
  if (P < Word.size() && (Word[P] == 'e' || Word[P] == 'E')) {
    ++P;
    bool ExponentNegative = false;
    if (P < Word.size() && (Word[P] == '+' || Word[P] == '-')) ExponentNegative = Word[P++] == '-';
    size_t ExponentDigits = 0;
    for (; P < Word.size() && IsDigit(Word[P]); ++P, ++ExponentDigits)
      if (Exponent < 1'000'000'000) Exponent = Exponent * 10 + (Word[P] - '0');
    if (ExponentDigits == 0) return false;
    if (ExponentNegative) Exponent = -Exponent;
  }
  if (P != Word.size()) return false;

  // from_chars takes a leading '-' but not a '+'.
  const char* First = Word.data() + (Negative ? MantissaStart - 1 : MantissaStart);
  const auto [End, Error] = std::from_chars(First, Word.data() + Word.size(), Result, std::chars_format::general);
  if (Error == std::errc() && End == Word.data() + Word.size()) return true;
  if (Error != std::errc::result_out_of_range || !NonZeroSeen) return false;
  // Out of range: the decimal exponent of the first significant digit tells which way.
  const int64_t Magnitude = IntDigits > LeadingZeros ? static_cast<int64_t>(IntDigits - LeadingZeros) - 1 + Exponent
                                                     : -static_cast<int64_t>(FractionZeros) - 1 + Exponent;
  if (Magnitude >= 0) return false;
  Result = Negative ? -0.0 : 0.0;
  return true;
}

}  // namespace

// =============================================================================================
// 2. Characters and lines
// =============================================================================================

int TIEClipsStream::CountLineEnd(int C) noexcept {
  switch (C) {
    case '\r':
      ++LineNumber_;
      AfterCR_ = true;
      break;
    case '\n':
      // The LF of a CR LF pair belongs to the line end the CR already counted.
      LastLFCounted_ = !AfterCR_;
      if (LastLFCounted_) ++LineNumber_;
      AfterCR_ = false;
      break;
    case EndOfText: break;
    default: AfterCR_ = false; break;
  }
  return C;
}

void TIEClipsStream::UnreadCounted(int C) {
  if (C == EndOfText) return;
  if (C == '\r') {
    --LineNumber_;
  } else if (C == '\n') {
    if (LastLFCounted_) --LineNumber_;
    AfterCR_ = !LastLFCounted_;  // reading the LF again must find the same state
  }
  // For any other character the state before it only matters to an LF, and the character
  // itself is what is read next.
  UnreadChar(C);
}

bool TIEClipsStream::ReadLineCounted(std::string* Line) {
  if (AfterCR_) {
    // A CR read last ended the line already; its LF is not a second one.
    const int Next = ReadCounted();
    if (Next != '\n') UnreadCounted(Next);
  }
  for (;;) {
    const int C = ReadCounted();
    if (C == EndOfText) return false;
    if (C == '\n') return true;
    if (C == '\r') {
      const int Next = ReadCounted();
      if (Next != '\n') UnreadCounted(Next);
      return true;
    }
    if (Line) Line->push_back(static_cast<char>(C));
  }
}

int TIEClipsStream::GetChar() { return ReadCounted(); }

void TIEClipsStream::PutBackChar(int C) { UnreadCounted(C); }

std::string TIEClipsStream::GetLine() {
  std::string Line;
  ReadLineCounted(&Line);
  return Line;
}

// =============================================================================================
// 3. Scanning
//
// Each scanner takes runs of ordinary characters straight from the stream's buffer and falls
// back to one character at a time for line ends, escapes, delimiters and buffer refills.
// =============================================================================================

IStreamToken TIEClipsStream::BuildNextToken() {
  Scan_.clear();
  for (;;) {
    const std::string_view Run = Buffered();
    size_t N = 0;
    while (N < Run.size() && CharClasses[Byte(Run[N])] == ccBlank) CountLineEnd(Byte(Run[N++]));
    WhiteSpace_.append(Run.data(), N);
    Skip(N);
    if (N > 0 && N == Run.size()) continue;  // the buffer ended inside the white space

    const int C = ReadCounted();
    if (C == EndOfText) return FinishToken(HintEndOfStream, {});
    if (IsPunctuationChar(C)) return FinishToken(C, {});  // '=' among them, which words may hold
    switch (C) {
      case '"':
        ReadString();
        return FinishToken(HintString, Scan_);
      case ';': ReadComment(); continue;
      default:
        if (CharClasses[C] == ccBlank) {
          WhiteSpace_.push_back(static_cast<char>(C));
          continue;
        }
        return ReadWord(C);  // '<' and '\\' only matter inside a word
    }
  }
}

void TIEClipsStream::ReadString() {
  const int32_t StartLine = LineNumber_;
  Scan_.clear();
  for (;;) {
    const std::string_view Run = Buffered();
    size_t N = 0;
    while (N < Run.size() && Run[N] != '"' && Run[N] != '\\' && Run[N] != '\r' && Run[N] != '\n') ++N;
    if (N > 0) {
      Scan_.append(Run.data(), N);
      Skip(N);
      AfterCR_ = false;
    }
    int C = ReadCounted();
    if (C == '"') return;
    if (C == '\\') C = ReadCounted();
    if (C == EndOfText) throw EIEParseException(FormatMessage(SUnterminatedString), StartLine);
    Scan_.push_back(static_cast<char>(C));
  }
}

void TIEClipsStream::ReadComment() {
  // The comment travels in the white space of the next token, its line end written as CR LF.
  WhiteSpace_.push_back(';');
  for (;;) {
    const std::string_view Run = Buffered();
    size_t N = 0;
    while (N < Run.size() && Run[N] != '\r' && Run[N] != '\n') ++N;
    if (N > 0) {
      WhiteSpace_.append(Run.data(), N);
      Skip(N);
      AfterCR_ = false;
    }
    const int C = ReadCounted();
    if (C == EndOfText) return;
    if (C == '\n' || C == '\r') {
      WhiteSpace_ += "\r\n";
      if (C == '\r') {
        const int Next = ReadCounted();
        if (Next != '\n') UnreadCounted(Next);
      }
      return;
    }
    WhiteSpace_.push_back(static_cast<char>(C));
  }
}

IStreamToken TIEClipsStream::ReadWord(int First) {
  // The first character is taken as it is, even a backslash or a '<'.
  Scan_.push_back(static_cast<char>(First));
  for (;;) {
    const std::string_view Run = Buffered();
    size_t N = 0;
    while (N < Run.size() && CharClasses[Byte(Run[N])] == ccWord) ++N;
    if (N > 0) {
      Scan_.append(Run.data(), N);
      Skip(N);
      AfterCR_ = false;  // after an escaped CR
    }
    int C = ReadCounted();
    if (C == EndOfText) return FinishToken(HintEndOfStream, Scan_);
    switch (CharClasses[C]) {
      case ccWord: break;
      case ccBlank:
      case ccDelimiter:
        // The delimiter is read again as the start of what follows, so a line end after the
        // word is counted after the word is finished and the word keeps its own line.
        UnreadCounted(C);
        return FinishToken(HintWord, Scan_);
      case ccEscape:
        C = ReadCounted();
        if (C == EndOfText) C = '\\';  // nothing to escape: keep the backslash
        break;
    }
    Scan_.push_back(static_cast<char>(C));
  }
}

std::string TIEClipsStream::GenerateSymbol(std::string_view Prefix) {
  if (Generator_) return Generator_->GenerateSymbol(Prefix);
  std::string Name(Prefix);
  Name += std::to_string(++BlankCount_);
  return Name;
}

// =============================================================================================
// 4. Making tokens
// =============================================================================================

IStreamToken TIEClipsStream::MakeToken(int32_t DataType, std::string_view Text, double Number,
                                       bool KeepWhiteSpace) {
  // The kinds made here carry no number but an integer's own (a float's is read again from its
  // text), so every token made while reading ahead packs.
  if (Direct_ && Text.size() <= UINT32_MAX && WhiteSpace_.size() <= UINT32_MAX) {
    *Direct_ = TPacked{static_cast<uint32_t>(Chars_.size()), static_cast<uint32_t>(Text.size()),
                       static_cast<uint32_t>(WhiteSpace_.size()), LineNumber_, DataType,
                       DataType == dtInteger ? static_cast<int32_t>(Number) : 0};
    Chars_ += Text;
    Chars_ += WhiteSpace_;
    if (!KeepWhiteSpace) WhiteSpace_.clear();
    return IStreamToken();
  }
  IStreamToken Token = platform::MakeRef<TIEStreamToken>(DataType, std::string(Text), LineNumber_, Number);
  if (!WhiteSpace_.empty()) {
    Token->SetWhiteSpace(WhiteSpace_);
    // A variable or a lone sign cannot hold a comment in what the parser builds from it, so
    // the comments before it also travel on to the next token.
    if (!KeepWhiteSpace) WhiteSpace_.clear();
  }
  return Token;
}

IStreamToken TIEClipsStream::FinishToken(int Hint, std::string_view Text) {
  switch (Hint) {
    case HintWord: return ClassifyWord(Text);
    case HintEndOfStream:
      if (!Text.empty()) return ClassifyWord(Text);
      return MakeToken(dtNone, "EOF", 0, false);
    case HintString: return MakeToken(dtString, Text, 0, false);
    case HintCRLF: return MakeToken(dtAtom, "CRLF", 0, false);
    default:
      if (IsPunctuationChar(Hint)) {
        const char C = static_cast<char>(Hint);
        return MakeToken(Hint, std::string_view(&C, 1), 0, false);
      }
      throw EIEParseException(FormatMessage(SInvalidTokenHint, {Hint}), LineNumber_);
  }
}

IStreamToken TIEClipsStream::ClassifyWord(std::string_view Word) {
  if (Word.empty()) return MakeToken(dtAtom, Word, 0, false);
  const char First = Word.front();
  if (First == '?') {
    // A lone ? is an anonymous wildcard: every one is a variable of its own.
    if (Word.size() == 1) return MakeToken(dtVariable, GenerateSymbol(SBlankPrefix), 0, true);
    return MakeToken(dtVariable, Word.substr(1), 0, true);
  }
  if (First == '$' && Word.size() >= 2 && Word[1] == '?') {
    if (Word.size() == 2) return MakeToken(dtMultiVariable, GenerateSymbol(SBlankMulti), 0, true);
    return MakeToken(dtMultiVariable, Word.substr(2), 0, true);
  }
  const bool SignOrDot = First == '+' || First == '-' || First == '.';
  if (SignOrDot && Word.size() == 1) return MakeToken(dtAtom, Word, 0, true);
  if (SignOrDot || IsDigit(First)) {
    int32_t Integer;
    if (ParseInteger(Word, Integer)) return MakeToken(dtInteger, Word, Integer, false);
    double Float;
    if (ParseFloat(Word, Float)) return MakeToken(dtFloat, Word, Float, false);
  }
  return MakeToken(dtAtom, Word, 0, false);
}

// =============================================================================================
// 5. Look-ahead, put-back and the recorded expression text
// =============================================================================================

TIEClipsStream::TPacked TIEClipsStream::HoldObject(IStreamToken Token) {
  int32_t Index;
  if (!FreeObjects_.empty()) {
    Index = FreeObjects_.back();
    FreeObjects_.pop_back();
    Objects_[static_cast<size_t>(Index)] = std::move(Token);
  } else {
    Index = static_cast<int32_t>(Objects_.size());
    Objects_.push_back(std::move(Token));
  }
  return TPacked{0, 0, 0, 0, PackedObject, Index};
}

TIEClipsStream::TPacked TIEClipsStream::Pack(IStreamToken&& Token) {
  const TIEStreamToken& T = *Token;
  // The number must be what unpacking gives back: the integer itself, a float read again from
  // the text, nothing for other kinds.
  bool Plain = T.RefCount() == 1 && T.GetTag() == 0 && !T.Kept_ && T.DataType_ != PackedObject &&
               T.Text_.size() <= UINT32_MAX && T.WhiteSpace_.size() <= UINT32_MAX;
  int32_t Integer = 0;
  if (Plain) {
    switch (T.DataType_) {
      case dtInteger:
        Plain = TruncToInteger(T.Number_, Integer) && static_cast<double>(Integer) == T.Number_ &&
                !(T.Number_ == 0 && std::signbit(T.Number_));
        break;
      case dtFloat: {
        double Again;
        Plain = ParseFloat(T.Text_, Again) && std::bit_cast<uint64_t>(Again) == std::bit_cast<uint64_t>(T.Number_);
        break;
      }
      default: Plain = std::bit_cast<uint64_t>(T.Number_) == 0; break;
    }
  }
  if (!Plain) return HoldObject(std::move(Token));
  const TPacked Entry{static_cast<uint32_t>(Chars_.size()), static_cast<uint32_t>(T.Text_.size()),
                      static_cast<uint32_t>(T.WhiteSpace_.size()), T.LineNumber_, T.DataType_, Integer};
  Chars_ += T.Text_;
  Chars_ += T.WhiteSpace_;
  return Entry;
}

// The number a packed integer or float token stands for (0 for other kinds).
double TIEClipsStream::NumberOf(const TPacked& Entry, std::string_view Text) {
  double Number = 0;
  if (Entry.Kind == dtInteger)
    Number = Entry.Integer;
  else if (Entry.Kind == dtFloat)
    ParseFloat(Text, Number);
  return Number;
}

IStreamToken TIEClipsStream::Unpack(const TPacked& Entry, bool Release) {
  if (Entry.Kind == PackedObject) {
    const auto Index = static_cast<size_t>(Entry.Integer);
    if (!Release) return Objects_[Index];
    IStreamToken Token = std::move(Objects_[Index]);
    FreeObjects_.push_back(Entry.Integer);
    return Token;
  }
  const std::string_view Text(Chars_.data() + Entry.Offset, Entry.TextSize);
  IStreamToken Token =
      platform::MakeRef<TIEStreamToken>(Entry.Kind, std::string(Text), Entry.Line, NumberOf(Entry, Text));
  if (Entry.SpaceSize > 0) Token->WhiteSpace_.assign(Chars_.data() + Entry.Offset + Entry.TextSize, Entry.SpaceSize);
  return Token;
}

int32_t TIEClipsStream::LineOf(const TPacked& Entry) const {
  return Entry.Kind == PackedObject ? Objects_[static_cast<size_t>(Entry.Integer)]->GetLineNumber() : Entry.Line;
}

void TIEClipsStream::RecordToken(const IStreamToken& Token) {
  ReturnedObjects_.push_back(static_cast<uint32_t>(Returned_.size()));
  Returned_.push_back(HoldObject(Token));
  if (ReturnedObjects_.size() >= PackAt_) PackRecord();
}

void TIEClipsStream::PackRecord() {
  // Tokens of the record that the parser has let go of are packed; the rest are looked at again
  // once as many more were returned, so the work stays in proportion to the tokens read.
  size_t Kept = 0;
  for (const uint32_t Position : ReturnedObjects_) {
    TPacked& Entry = Returned_[Position];
    IStreamToken& Held = Objects_[static_cast<size_t>(Entry.Integer)];
    if (Held->RefCount() == 1) {
      const int32_t Index = Entry.Integer;
      Entry = Pack(std::move(Held));
      FreeObjects_.push_back(Index);  // a token that stays an object moved to another place
      if (Entry.Kind != PackedObject) continue;
    }
    ReturnedObjects_[Kept++] = Position;
  }
  ReturnedObjects_.resize(Kept);
  PackAt_ = std::max<size_t>(16, 2 * Kept);
}

void TIEClipsStream::ReleaseStorage() {
  // Nothing refers to the packed text or the held objects any more.
  Objects_.clear();
  FreeObjects_.clear();
  Chars_.clear();
  if (Chars_.capacity() > 65536) Chars_.shrink_to_fit();
}

void TIEClipsStream::ResetRecord() {
  if (!Returned_.empty()) Earlier_ = GetCurrentToken();
  for (const uint32_t Position : ReturnedObjects_) Unpack(Returned_[Position], true);
  Returned_.clear();
  ReturnedObjects_.clear();
  PackAt_ = 16;
  if (LookAhead_.empty()) ReleaseStorage();
}

void TIEClipsStream::PrepareSExp() {
  ResetRecord();
  const size_t Held = LookAhead_.size();
  int64_t Depth = 0;
  // A derived tokenizer may scan and make tokens its own way: only this class's own scanner
  // hands its tokens over packed.
  const bool Direct = typeid(*this) == typeid(TIEClipsStream);
  struct TDirectGuard {
    TPacked*& Target;
    ~TDirectGuard() { Target = nullptr; }
  } Guard{Direct_};
  try {
    do {
      TPacked Entry{};
      if (Direct) Direct_ = &Entry;
      IStreamToken Token = BuildNextToken();
      Direct_ = nullptr;
      if (Token) Entry = Pack(std::move(Token));
      const int32_t Kind = Entry.Kind == PackedObject ? Objects_[static_cast<size_t>(Entry.Integer)]->GetDataType()
                                                      : Entry.Kind;
      LookAhead_.push_back(Entry);
      if (Kind == '(')
        ++Depth;
      else if (Kind == ')')
        --Depth;
      else if (Kind == dtNone)
        break;
      // A stray ")" at the top is an expression of its own, like a lone atom.
    } while (Depth > 0);
  } catch (...) {
    // A broken expression (an unterminated string) is dropped whole.
    while (LookAhead_.size() > Held) {
      Unpack(LookAhead_.back(), true);
      LookAhead_.pop_back();
    }
    throw;
  }
}

IStreamToken TIEClipsStream::NextToken() {
  if (LookAhead_.empty()) PrepareSExp();
  IStreamToken Token = Unpack(LookAhead_.front(), true);
  LookAhead_.pop_front();
  if (Token->Is('('))
    ++Depth_;
  else if (Token->Is(')'))
    --Depth_;
  RecordToken(Token);
  return Token;
}

void TIEClipsStream::PutBackToken(const IStreamToken& Token) {
  if (!Token) return;
  LookAhead_.push_front(HoldObject(Token));
  if (Token->Is('('))
    --Depth_;
  else if (Token->Is(')'))
    ++Depth_;
  if (Returned_.empty()) return;
  const TPacked& Last = Returned_.back();
  if (Last.Kind == PackedObject && Objects_[static_cast<size_t>(Last.Integer)] == Token) {
    Unpack(Last, true);
    Returned_.pop_back();
    if (!ReturnedObjects_.empty() && ReturnedObjects_.back() == Returned_.size()) ReturnedObjects_.pop_back();
  }
}

std::string TIEClipsStream::ToString() const {
  std::string Record;
  int32_t Line = 0;
  bool First = true;
  for (const TPacked& Entry : Returned_) {
    const int32_t EntryLine = LineOf(Entry);
    if (!First && EntryLine > Line) Record += "\r\n";
    First = false;
    if (Entry.Kind == PackedObject) {
      Objects_[static_cast<size_t>(Entry.Integer)]->AppendToString(Record);
    } else {
      const std::string_view Text(Chars_.data() + Entry.Offset, Entry.TextSize);
      TIEStreamToken::AppendTextForm(Record, Entry.Kind, Text, NumberOf(Entry, Text));
    }
    Record.push_back(' ');
    Line = EntryLine;
  }
  return Record;
}

IStreamToken TIEClipsStream::GetCurrentToken() {
  if (!Returned_.empty()) {
    TPacked& Last = Returned_.back();
    if (Last.Kind != PackedObject) {
      // Held as an object from now on, so that asking again gives the same token.
      Last = HoldObject(Unpack(Last, false));
      ReturnedObjects_.push_back(static_cast<uint32_t>(Returned_.size() - 1));
    }
    return Objects_[static_cast<size_t>(Last.Integer)];
  }
  if (!Earlier_) return NextToken();
  return Earlier_;
}

std::string TIEClipsStream::Head() {
  IStreamToken First = NextToken();
  std::string Name;
  if (First->Is('(') && !LookAhead_.empty()) {
    IStreamToken Second = NextToken();
    if (Second->GetDataType() == dtAtom || Second->GetDataType() == dtVariable)
      Name = Second->GetText();
    else if (Second->Is('='))
      Name = "=";
    PutBackToken(Second);
  }
  PutBackToken(First);
  return Name;
}

void TIEClipsStream::MoveToNextConstruct() {
  while (Depth_ > 0) {
    if (NextToken()->GetDataType() == dtNone) Depth_ = 0;  // the text ended inside the construct
  }
  // More ")" than "(" were read: the construct is over as well.
  if (Depth_ < 0) Depth_ = 0;
}

void TIEClipsStream::Clear() {
  for (const TPacked& Entry : LookAhead_) Unpack(Entry, true);
  LookAhead_.clear();
  ResetRecord();
  // Tokens that would have closed open parentheses are gone with the look-ahead.
  Depth_ = 0;
}

void TIEClipsStream::DiscardUntilEOL() {
  const int32_t Line = !Returned_.empty() ? LineOf(Returned_.back())
                       : Earlier_         ? Earlier_->GetLineNumber()
                                          : LineNumber_;
  // Tokens read ahead from the rest of this line go first.
  while (!LookAhead_.empty() && LineOf(LookAhead_.front()) <= Line) {
    Unpack(LookAhead_.front(), true);
    LookAhead_.pop_front();
  }
  // When the scanner has not passed the line end yet, the rest of the line is still unread.
  if (LookAhead_.empty() && LineNumber_ <= Line) ReadLineCounted(nullptr);
}

bool LeavesExpressionOpen(std::string_view Text) noexcept {
  long Depth = 0;
  bool InString = false;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (InString) {
      if (C == '\\')
        ++I;
      else if (C == '"')
        InString = false;
      continue;
    }
    switch (C) {
      case '"': InString = true; break;
      case ';':
        while (I + 1 < Text.size() && Text[I + 1] != '\n' && Text[I + 1] != '\r') ++I;
        break;
      case '(': ++Depth; break;
      case ')':
        if (Depth > 0) --Depth;
        break;
      default: break;
    }
  }
  return InString || Depth > 0;
}

}  // namespace rulecore
