#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/core/ErrorText.h"

#include "core/engine/InferenceEngine.h"
#include "core/language/IETokenizer.h"

using namespace rulecore;
using platform::MakeRef;
using rulecore::testing::ErrorOf;
namespace fs = std::filesystem;

namespace {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TTempDir {
 public:
  TTempDir() {
    std::random_device Random;
    Path_ = fs::temp_directory_path() /
            ("rulecore-io-" + std::to_string(::getpid()) + "-" + std::to_string(Random()));
    fs::create_directories(Path_);
  }
  ~TTempDir() {
    std::error_code Ignored;
    fs::remove_all(Path_, Ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string operator/(const std::string& Name) const { return (Path_ / Name).string(); }
  const fs::path& Path() const { return Path_; }

 private:
  fs::path Path_;
};

std::string ReadFile(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void WriteFile(const std::string& Name, const std::string& Text) {
  std::ofstream Out(Name, std::ios::binary | std::ios::trunc);
  Out << Text;
}

// An engine with the packages, its console output and the logical names it went to captured,
// and console input served from queues.
struct TConsole {
  TInferenceEngine Engine;
  std::string Output;
  std::vector<std::string> OutIDs;
  std::deque<std::string> Lines;
  std::vector<std::string> InIDs;

  TConsole() {
    Engine.OnPrintOut = [this](TInferenceEngine*, const std::string& OutID, const std::string& Text) {
      Output += Text;
      OutIDs.push_back(OutID);
    };
    Engine.OnReadLine = [this](TInferenceEngine*, const std::string& InID, std::string& Text) {
      InIDs.push_back(InID);
      if (!Lines.empty()) {
        Text = Lines.front();
        Lines.pop_front();
      }
    };
  }
  std::string Run(const std::string& Text) {
    Output.clear();
    OutIDs.clear();
    Engine.Parse(Text, true);
    return Output;
  }
  // The message of whatever the text raises (file errors are platform exceptions).
  std::string Failure(const std::string& Text) {
    try {
      Engine.Parse(Text, true);
    } catch (const platform::Exception& E) {
      return E.what();
    }
    return "(no error)";
  }
};

std::string Quoted(const std::string& Path) { return "\"" + Path + "\""; }

// =============================================================================================
// printout
// =============================================================================================

TEST(IOPrintout, JoinsArgumentTextsWithoutSeparators) {
  TConsole C;
  EXPECT_EQ(C.Run("(printout t \"hello\" crlf 5)"), "hello\r\n5");
  EXPECT_EQ(C.OutIDs, std::vector<std::string>{"t"});
  // Floats in their four-decimal form, lists in parentheses, crlf only in exactly that case.
  EXPECT_EQ(C.Run("(printout t 2.5 \" \" (create$ 1 2) CRLF abc)"), "2.5000 (1 2 )CRLFabc");
  // nil stands for the console, as the empty name does; no arguments print nothing there.
  EXPECT_EQ(C.Run("(printout nil x)"), "x");
  EXPECT_EQ(C.OutIDs, std::vector<std::string>{""});
  EXPECT_EQ(C.Run("(printout)"), "");
  EXPECT_EQ(C.OutIDs, std::vector<std::string>{""});
  // printout answers nil, which the top level does not echo.
  EXPECT_EQ(C.Run("(printout t a)"), "a");
}

TEST(IOPrintout, ArgumentsThatPrintThemselvesDoNotDisturbTheLine) {
  TConsole C;
  C.Run("(deffunction shout () (printout t \"!\") inner)");
  EXPECT_EQ(C.Run("(printout t \"<\" (shout) \">\")"), "!<inner>");
}

// =============================================================================================
// format
// =============================================================================================

TEST(IOFormat, FillsEachConversion) {
  const std::pair<const char*, const char*> Cases[] = {
      {"\"%d items%n\" 3", "3 items\r\n"},
      {"\"%5d|%-5d|%05d|%.3d\" 42 42 42 7", "   42|42   |00042|007"},
      {"\"%d %d %d\" 2.9 -2.9 \"12\"", "2 -2 12"},
      {"\"%u %x\" -1 255", "4294967295 ff"},
      {"\"%.2f|%8.3f|%-7.1f|%f\" 3.14159 2.5 1.25 2", "3.14|   2.500|1.2    |2.000000"},
      {"\"%e %g %g\" 1234.5 0.0001 100000000", "1.234500e+03 0.0001 1e+08"},
      {"\"%m|%m|%.0m|%12m|%-10m|\" 1234567.5 -1234.5 999.6 12.5 7", "1,234,567.50|-1,234.50|1,000|       12.50|7.00      |"},
      {"\"%s and %s, %s %s\" \"a\" b 7 1.5", "a and b, 7 1.5000"},
      {"\"%.2s|%-4s|%4s|\" \"abcdef\" x y", "ab|x   |   y|"},
  };
  TConsole C;
  for (const auto& [Arguments, Expected] : Cases)
    EXPECT_EQ(C.Run(std::string("(format t ") + Arguments + ")"), Expected) << Arguments;
}

TEST(IOFormat, ControlStringCorners) {
  const std::pair<const char*, const char*> Cases[] = {
      // More arguments than directives: each extra one after a blank, in its own form.
      {"\"x=%d\" 1 \"two\" 3.5 (create$ a \"b\") sym", "x=1 two 3.5000 (a \"b\" ) sym"},
      {"\"plain\" 1", "plain 1"},
      // Fewer: the directives left over stay as written.
      {"\"%d and %d\" 1", "1 and %d"},
      {"\"a%nb%n\"", "a\r\nb\r\n"},
      {"\"%n%n%d%n\" 1", "\r\n\r\n1\r\n"},
      // A doubled percent sign is one percent sign and takes no argument.
      {"\"100%% of %d\" 5", "100% of 5"},
      {"\"100%%\"", "100%"},
      // Text an argument filled in is not scanned for directives.
      {"\"%s|%d\" \"50%d\" 7", "50%d|7"},
      // Unknown conversions and malformed directives stay as written and use their argument.
      {"\"%q %d\" 1 2", "%q 2"},
      {"\"%5.3.2f %d\" 1 2", "%5.3.2f 2"},
      {"\"%1%d %d\" 1 2", "%1%d 2"},
      {"\"50%\" 1", "50%"},
      {"\"%D\" 1", "%D"},
  };
  TConsole C;
  for (const auto& [Arguments, Expected] : Cases)
    EXPECT_EQ(C.Run(std::string("(format t ") + Arguments + ")"), Expected) << Arguments;
  // The control string may come from a variable.
  EXPECT_EQ(C.Run("(defglobal ?*f* = \"%d!\") (format t ?*f* 4)"), "4!");
  // Widths beyond reason are cut to a sane size instead of asking for gigabytes.
  EXPECT_EQ(C.Run("(format t \"%999999999d\" 1)").size(), 4096u);
}

TEST(IOFormat, ConversionsOfTheWrongKindFailCleanly) {
  TConsole C;
  EXPECT_NE(ErrorOf([&] { C.Run("(format t \"%d\" abc)"); }).find("Not a integer type.  Value (abc)"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { C.Run("(format t \"%f\" abc)"); }).find("Not a numeric type"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { C.Run("(format t \"%p\" 5)"); }).find("Not a External Address type"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { C.Run("(format t \"%d\" 1e20)"); }).find("outside the 32-bit integer range"),
            std::string::npos);
}

// =============================================================================================
// open, close and named streams
// =============================================================================================

TEST(IOStreamsFunctions, PrintoutAndFormatReachAFileOpenedForWriting) {
  TTempDir Dir;
  TConsole C;
  const std::string File = Dir / "out.txt";
  EXPECT_EQ(C.Run("(open " + Quoted(File) + " out \"w\")"), "out\r\n");  // answers the logical name
  EXPECT_EQ(C.Run("(printout out \"line \" 1 crlf) (format out \"%03d%n\" 7)"), "");
  EXPECT_EQ(C.Engine.GetIOStreams().Count(), 1);
  EXPECT_EQ(C.Run("(close out)"), "TRUE\r\n");
  EXPECT_EQ(C.Engine.GetIOStreams().Count(), 0);
  EXPECT_EQ(ReadFile(File), "line 1\r\n007\r\n");

  // "w" replaces what was there; "a" adds to it and creates a missing file.
  C.Run("(open " + Quoted(File) + " out \"a\") (printout out more) (close out)");
  EXPECT_EQ(ReadFile(File), "line 1\r\n007\r\nmore");
  C.Run("(open " + Quoted(File) + " out \"w\") (printout out new) (close)");
  EXPECT_EQ(ReadFile(File), "new");
  const std::string Fresh = Dir / "fresh.txt";
  C.Run("(open " + Quoted(Fresh) + " log \"a\") (printout log x) (close log)");
  EXPECT_EQ(ReadFile(Fresh), "x");
}

TEST(IOStreamsFunctions, ReadAndReadlineTakeFromAFile) {
  TTempDir Dir;
  TConsole C;
  const std::string File = Dir / "in.txt";
  WriteFile(File, "alpha 12 \"str\"\r\n\r\n  3.5 rest\nlast line\n");
  C.Run("(open " + Quoted(File) + " in)");
  // A token, then the rest of its line is dropped; blank lines are passed over.
  EXPECT_EQ(C.Run("(read in)"), "alpha\r\n");
  EXPECT_EQ(C.Run("(read in)"), "3.5000\r\n");
  EXPECT_EQ(C.Run("(readline in)"), "\"last line\"\r\n");
  EXPECT_EQ(C.Run("(read in)"), "EOF\r\n");
  EXPECT_EQ(C.Run("(readline in)"), "EOF\r\n");

  // An empty line reads as EOF, and reading goes on after it.
  WriteFile(File, "first\n\nthird\n");
  C.Run("(open " + Quoted(File) + " in \"r\")");  // replaces the stream under the same name
  // (A top-level EOF ends the parse of a text, so each read is a text of its own.)
  std::string Read;
  for (int I = 0; I < 4; ++I) Read += C.Run("(readline in)");
  EXPECT_EQ(Read, "\"first\"\r\nEOF\r\n\"third\"\r\nEOF\r\n");

  // "r+" reads and writes the same file.
  WriteFile(File, "one\n");
  C.Run("(open " + Quoted(File) + " rw \"r+\")");
  EXPECT_EQ(C.Run("(readline rw)"), "\"one\"\r\n");
  C.Run("(printout rw two) (close rw)");
  EXPECT_EQ(ReadFile(File), "one\ntwo");
}

TEST(IOStreamsFunctions, BadNamesModesAndPathsAreClearErrors) {
  TTempDir Dir;
  TConsole C;
  const std::string File = Dir / "f.txt";
  WriteFile(File, "x\n");
  EXPECT_EQ(C.Failure("(open " + Quoted(File) + " f \"rw\")"), "Invalid File Access Specifier: \"rw\"");
  EXPECT_EQ(C.Failure("(open " + Quoted(File) + " f \"R\")"), "Invalid File Access Specifier: \"R\"");
  const std::string Missing = Dir / "missing.txt";
  EXPECT_EQ(C.Failure("(open " + Quoted(Missing) + " f)"), "Cannot open file \"" + Missing + "\"");
  EXPECT_EQ(C.Failure("(open " + Quoted(Missing) + " f \"r+\")"), "Cannot open file \"" + Missing + "\"");
  const std::string NoDir = Dir / "no/such/dir.txt";
  EXPECT_EQ(C.Failure("(open " + Quoted(NoDir) + " f \"w\")"), "Cannot open file \"" + NoDir + "\"");
  EXPECT_EQ(C.Failure("(open " + Quoted(NoDir) + " f \"a\")"), "Cannot open file \"" + NoDir + "\"");
  EXPECT_EQ(C.Failure("(open \"\" f \"w\")"), "Cannot open file \"\"");
  EXPECT_EQ(C.Failure("(open " + Quoted(Dir.Path().string()) + " f \"w\")"),
            "Cannot open file \"" + Dir.Path().string() + "\"");
  EXPECT_EQ(C.Engine.GetIOStreams().Count(), 0);
  EXPECT_TRUE(fs::is_directory(Dir.Path()));

  EXPECT_EQ(C.Failure("(close nosuch)"), "Invalid stream name: nosuch");
  EXPECT_EQ(C.Failure("(read nosuch)"), "Invalid stream name: nosuch");
  EXPECT_EQ(C.Failure("(readline nosuch)"), "Invalid stream name: nosuch");
  // A file opened for reading refuses output instead of losing it.
  C.Run("(open " + Quoted(File) + " in)");
  EXPECT_EQ(C.Failure("(printout in x)"), "Stream is not open for writing: in");
  EXPECT_EQ(C.Run("(readline in)"), "\"x\"\r\n");
  EXPECT_EQ(ReadFile(File), "x\n");
}

TEST(IOStreamsFunctions, CloseWithoutArgumentsClosesEverything) {
  TTempDir Dir;
  TConsole C;
  C.Run("(open " + Quoted(Dir / "a") + " a \"w\") (open " + Quoted(Dir / "b") + " b \"w\")");
  C.Run("(printout a 1) (printout b 2)");
  EXPECT_EQ(C.Engine.GetIOStreams().Count(), 2);
  EXPECT_EQ(C.Run("(close)"), "TRUE\r\n");
  EXPECT_EQ(C.Engine.GetIOStreams().Count(), 0);
  EXPECT_EQ(ReadFile(Dir / "a") + ReadFile(Dir / "b"), "12");
}

TEST(IOStreamsFunctions, ReopeningANameFollowsTheDuplicatePolicy) {
  TTempDir Dir;
  TConsole C;
  const std::string First = Dir / "first", Second = Dir / "second";
  auto OpenBoth = [&] {
    C.Run("(open " + Quoted(First) + " out \"w\")");
    return C.Failure("(open " + Quoted(Second) + " out \"w\") (printout out x) (close out)");
  };
  C.Engine.SetDuplicateConstructs(dcOverwrite);
  EXPECT_EQ(OpenBoth(), "(no error)");
  EXPECT_EQ(ReadFile(First) + "|" + ReadFile(Second), "|x");

  C.Engine.SetDuplicateConstructs(dcIgnore);
  EXPECT_EQ(OpenBoth(), "(no error)");
  EXPECT_EQ(ReadFile(First) + "|" + ReadFile(Second), "x|");

  C.Engine.SetDuplicateConstructs(dcError);
  EXPECT_EQ(OpenBoth(), "Duplicate streams defined with same name: \"out\"");
  C.Run("(printout out y) (close out)");  // the first stream is still there
  EXPECT_EQ(ReadFile(First), "y");
}

TEST(IOStreamTable, OwnsItsStreamsAndNamesUnknownOnes) {
  TInferenceEngine Engine;
  TIOStreams& Streams = Engine.GetIOStreams();
  std::stringstream Sink;
  Streams.Put("sink", std::make_unique<platform::TTextStream>(Sink));
  Streams.Put("text", std::make_unique<platform::TTextStream>(platform::InMemory, "a\nb\n"));
  ASSERT_EQ(Streams.Count(), 2);
  EXPECT_EQ(Streams.GetName(1), "text");
  platform::TTextStream* Found = nullptr;
  EXPECT_TRUE(Streams.ContainsKey("text", Found));
  EXPECT_EQ(Found, &Streams.GetItemByIndex(1));
  EXPECT_EQ(ErrorOf([&] { Streams.GetItem("none"); }), "Invalid stream name: none");
  EXPECT_EQ(ErrorOf([&] { Streams.Remove("none"); }), "Invalid stream name: none");

  // A host stream can take output; an in-memory text can only be read.
  Engine.PrintOut("sink", "out");
  EXPECT_EQ(Sink.str(), "out");
  EXPECT_EQ(ErrorOf([&] { Engine.PrintOut("text", "x"); }), "Stream is not open for writing: text");
  EXPECT_EQ(Engine.ReadLine("text"), "a");
  EXPECT_EQ(Engine.ReadToken("text")->GetText(), "b");
  EXPECT_TRUE(Engine.ReadToken("text")->IsEndOfStream());
  EXPECT_EQ(Engine.ReadLine("text"), "");
  Streams.Remove("text");
  EXPECT_FALSE(Streams.ContainsKey("text"));
}

// =============================================================================================
// Console routing and host input
// =============================================================================================

TEST(IOConsole, OutputRouting) {
  TInferenceEngine Engine;
  // Without a handler, console text goes nowhere and any other name is an error.
  Engine.PrintOut("t", "lost");
  EXPECT_EQ(ErrorOf([&] { Engine.PrintOut("nosuch", "x"); }), "Function is unimplemented or unassigned: printout");

  std::vector<std::pair<std::string, std::string>> Seen;
  Engine.OnPrintOut = [&](TInferenceEngine*, const std::string& OutID, const std::string& Text) {
    Seen.emplace_back(OutID, Text);
  };
  Engine.PrintOut("a");
  Engine.PrintOut("t", "b");
  Engine.PrintOut("other", "c");  // a name no stream holds reaches the host with its name
  EXPECT_EQ(Seen, (std::vector<std::pair<std::string, std::string>>{{"", "a"}, {"t", "b"}, {"other", "c"}}));

  // While capturing, console text goes to the capture stream only; named streams are not affected.
  auto Capture = std::make_unique<std::ostringstream>();
  std::ostringstream& Captured = *Capture;
  std::stringstream Named;
  Engine.GetIOStreams().Put("named", std::make_unique<platform::TTextStream>(Named));
  EXPECT_TRUE(Engine.StartCapture(std::move(Capture)));
  EXPECT_TRUE(Engine.GetCapturing());
  Seen.clear();
  Engine.PrintOut("t", "x");
  Engine.PrintOut("", "y");
  Engine.PrintOut("other", "z");
  Engine.PrintOut("named", "n");
  EXPECT_EQ(Captured.str(), "xyz");
  EXPECT_EQ(Named.str(), "n");
  EXPECT_TRUE(Seen.empty());
  EXPECT_TRUE(Engine.StopCapture());
  EXPECT_FALSE(Engine.GetCapturing());
  Engine.PrintOut("t", "back");
  EXPECT_EQ(Seen.size(), 1u);
}

TEST(IOConsole, ReadFunctionsAskTheHost) {
  TConsole C;
  C.Lines = {"typed text", ""};
  EXPECT_EQ(C.Run("(readline)"), "\"typed text\"\r\n");
  EXPECT_EQ(C.Run("(readline t)"), "EOF\r\n");  // an empty line reads as EOF
  EXPECT_EQ(C.InIDs, (std::vector<std::string>{"", "t"}));

  EXPECT_EQ(C.Failure("(read)"),
            "The read event has not been implemented or unassigned.\r\nWarning: Implementation of "
            "this function requires a blocking mechanism, \r\nsuch as ShowModal, or the use of threads");
  std::vector<IStreamToken> Tokens = {MakeRef<TIEStreamToken>(dtInteger, "42", 1, 42), nullptr};
  C.Engine.OnReadToken = [&](TInferenceEngine*, const std::string& InID, IStreamToken& Token) {
    EXPECT_EQ(InID, "t");
    Token = Tokens.front();
    Tokens.erase(Tokens.begin());
  };
  EXPECT_EQ(C.Run("(read t)"), "42\r\n");
  EXPECT_EQ(C.Run("(read t)"), "EOF\r\n");  // a handler that supplies nothing ends the input

  C.Engine.OnReadLine = nullptr;
  EXPECT_NE(C.Failure("(readline)").find("The readline event has not been implemented"), std::string::npos);
}

// =============================================================================================
// Batch files
// =============================================================================================

TEST(IOBatch, RunsLinesAndFeedsTheInputFunctions) {
  TConsole C;
  std::istringstream Script(
      "(printout t \"start\" crlf)\n"
      "(printout t \"[\" (readline) \"]\" crlf)\n"
      "a line for readline\n"
      "(printout t \"[\" (read) \"]\" crlf)\n"
      "token rest of the line\n"
      "; a construct over several lines, with a parenthesis in a string and a comment\n"
      "(deffunction f ()\n"
      "  (printout t \"multi )\" ; closing ) here\n"
      "     crlf))\n"
      "(f)\n");
  C.Output.clear();
  EXPECT_TRUE(C.Engine.Batch(Script));
  EXPECT_EQ(C.Output,
            "start\r\n"
            "a line for readline\r\n[a line for readline]\r\n"
            "token\r\n[token]\r\n"
            "multi )\r\n");
  EXPECT_TRUE(C.InIDs.empty());  // the host was not asked

  // After the batch ends, input comes from the host again.
  C.Lines = {"host"};
  EXPECT_EQ(C.Run("(readline)"), "\"host\"\r\n");
}

TEST(IOBatch, RunsAFileAndRestoresAnOuterBatch) {
  TTempDir Dir;
  TConsole C;
  const std::string Inner = Dir / "inner.clp";
  WriteFile(Inner, "(printout t inner crlf)\r\n");
  EXPECT_EQ(C.Engine.Batch(Inner), true);
  EXPECT_EQ(C.Output, "inner\r\n");

  std::istringstream Outer("(printout t (readline) crlf)\nfirst\n(printout t (readline) crlf)\nsecond\n");
  std::istringstream Nested("(printout t (readline) crlf)\nnested\n");
  C.Output.clear();
  // The outer batch runs a nested one half way through, from a host function.
  int Calls = 0;
  C.Engine.OnPrintOut = [&](TInferenceEngine* E, const std::string&, const std::string& Text) {
    C.Output += Text;
    if (Text == "first\r\n" && Calls++ == 1) E->Batch(Nested);
  };
  C.Engine.Batch(Outer);
  EXPECT_EQ(C.Output, "first\r\nfirst\r\nnested\r\nnested\r\nsecond\r\nsecond\r\n");
  EXPECT_THROW(C.Engine.Batch(Dir / "missing.clp"), platform::EFOpenError);
}

// =============================================================================================
// dribble
// =============================================================================================

TEST(IODribble, CapturesConsoleOutputInAFile) {
  TTempDir Dir;
  TConsole C;
  const std::string File = Dir / "dribble.txt";
  // The answer TRUE is already console output of the capture.
  EXPECT_EQ(C.Run("(dribble-on " + Quoted(File) + ")"), "");
  EXPECT_EQ(C.Run("(printout t \"captured\" crlf) (format nil \"%d\" 5)"), "");
  EXPECT_EQ(C.Run("(dribble-off)"), "TRUE\r\n");
  EXPECT_EQ(ReadFile(File), "TRUE\r\ncaptured\r\n5");
  EXPECT_EQ(C.Run("(dribble-off)"), "FALSE\r\n");

  EXPECT_EQ(C.Run("(dribble-on " + Quoted(Dir / "no/such/dir") + ")"), "FALSE\r\n");
  EXPECT_EQ(C.Run("(dribble-on \"\")"), "FALSE\r\n");
  EXPECT_FALSE(C.Engine.GetCapturing());

  // A second dribble-on moves the capture to the new file.
  const std::string Other = Dir / "other.txt";
  C.Run("(dribble-on " + Quoted(File) + ") (printout t a) (dribble-on " + Quoted(Other) + ") (printout t b)");
  C.Run("(dribble-off)");
  EXPECT_EQ(ReadFile(File), "TRUE\r\na");
  EXPECT_EQ(ReadFile(Other), "TRUE\r\nb");
}

// =============================================================================================
// rename and remove
// =============================================================================================

TEST(IOFiles, RenameAndRemoveAnswerInsteadOfFailing) {
  TTempDir Dir;
  TConsole C;
  const std::string A = Dir / "a.txt", B = Dir / "b.txt", Taken = Dir / "taken.txt";
  WriteFile(A, "a");
  WriteFile(Taken, "t");
  EXPECT_EQ(C.Run("(rename " + Quoted(A) + " " + Quoted(B) + ")"), "TRUE\r\n");
  EXPECT_FALSE(fs::exists(A));
  EXPECT_EQ(ReadFile(B), "a");
  // An existing new name is never replaced.
  EXPECT_EQ(C.Run("(rename " + Quoted(B) + " " + Quoted(Taken) + ")"), "FALSE\r\n");
  EXPECT_EQ(ReadFile(B) + ReadFile(Taken), "at");
  EXPECT_EQ(C.Run("(rename " + Quoted(A) + " " + Quoted(Dir / "c.txt") + ")"), "FALSE\r\n");
  EXPECT_EQ(C.Run("(rename " + Quoted(B) + " " + Quoted(Dir / "no/dir.txt") + ")"), "FALSE\r\n");
  EXPECT_EQ(C.Run("(rename \"\" " + Quoted(Dir / "x") + ")"), "FALSE\r\n");

  EXPECT_EQ(C.Run("(remove " + Quoted(B) + ")"), "TRUE\r\n");
  EXPECT_FALSE(fs::exists(B));
  EXPECT_EQ(C.Run("(remove " + Quoted(B) + ")"), "FALSE\r\n");
  EXPECT_EQ(C.Run("(remove \"\")"), "FALSE\r\n");
  // Directories are not files.
  fs::create_directory(Dir / "sub");
  EXPECT_EQ(C.Run("(remove " + Quoted(Dir / "sub") + ")"), "FALSE\r\n");
  EXPECT_EQ(C.Run("(rename " + Quoted(Dir / "sub") + " " + Quoted(Dir / "sub2") + ")"), "FALSE\r\n");
  EXPECT_TRUE(fs::is_directory(Dir / "sub"));
}

// =============================================================================================
// Published texts
// =============================================================================================

TEST(IOFunctionTexts, CommentsAreKeptExactly) {
  TInferenceEngine Engine;
  auto Comment = [&](const char* Name) { return Engine.GetUserFunction(Name)->GetComment(); };
  EXPECT_EQ(Comment("open"),
            "Opens the filename and associates the logical name with the file.  The optional third argument "
            "specifies the mode to open the file in:\r\n         r     read only (default)\r\n         w     write "
            "only\r\n         a     append\r\n         r+    read and write");
  EXPECT_EQ(Comment("dribble-off"), "Stops capture of standard output started with the \"dribble-on\" command");
  EXPECT_EQ(Comment("rename"),
            "Renames the file <old-file-name> to <new-file-name>.   If the operation succeeds, it returns TRUE.  "
            "If it cannot rename the file (for example, if a file called <new-file-name> already exists), it "
            "returns FALSE");
  EXPECT_EQ(Comment("remove"),
            "Deletes the specified file.  Returns TRUE if the file was deleted, FALSE if the file couldn't be "
            "deleted or does not exist");
}

}  // namespace
