#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/TextStream.h"

using platform::InMemory;
using platform::TTextStream;

namespace {

std::string ReadAll(TTextStream& S) {
  std::string Out;
  for (int C = S.GetChar(); C != TTextStream::EndOfText; C = S.GetChar()) Out.push_back(static_cast<char>(C));
  return Out;
}

// A source that hands over one line per underflow, the way a terminal does, and counts how
// often it was asked for more.
class TLineSource : public std::streambuf {
 public:
  explicit TLineSource(std::vector<std::string> Lines) : Lines_(std::move(Lines)) {}
  int Underflows = 0;

 protected:
  int_type underflow() override {
    ++Underflows;
    if (Next_ == Lines_.size()) return traits_type::eof();
    Current_ = Lines_[Next_++];
    setg(Current_.data(), Current_.data(), Current_.data() + Current_.size());
    return traits_type::to_int_type(Current_[0]);
  }

 private:
  std::vector<std::string> Lines_;
  size_t Next_ = 0;
  std::string Current_;
};

}  // namespace

TEST(TextStream, ReadsEveryByteAsUnsignedAndStaysAtEnd) {
  const std::string Text("a\0\x7f\x80\xff z", 7);
  TTextStream S(InMemory, Text);
  EXPECT_EQ(S.GetChar(), 'a');
  EXPECT_EQ(S.GetChar(), 0);
  EXPECT_EQ(S.GetChar(), 0x7f);
  EXPECT_EQ(S.GetChar(), 0x80);  // never negative, so never taken for the end
  EXPECT_EQ(S.GetChar(), 0xff);
  EXPECT_EQ(ReadAll(S), " z");
  EXPECT_TRUE(S.EndOfStream());
  for (int I = 0; I < 3; ++I) EXPECT_EQ(S.GetChar(), TTextStream::EndOfText);
}

TEST(TextStream, PutBackComesBackLastInFirstOut) {
  TTextStream S(InMemory, "abc");
  EXPECT_EQ(S.GetChar(), 'a');
  S.PutBackChar('a');
  EXPECT_EQ(S.GetChar(), 'a');
  // Characters that were never read, and more than one level.
  S.PutBackChar('y');
  S.PutBackChar('x');
  EXPECT_EQ(ReadAll(S), "xybc");
  // Putting back at the end makes the stream non-empty again; EndOfText is ignored.
  EXPECT_TRUE(S.EndOfStream());
  S.PutBackChar(TTextStream::EndOfText);
  EXPECT_TRUE(S.EndOfStream());
  S.PutBackChar('q');
  EXPECT_FALSE(S.EndOfStream());
  EXPECT_EQ(S.GetChar(), 'q');
  EXPECT_EQ(S.GetChar(), TTextStream::EndOfText);
}

TEST(TextStream, GetLineTakesEachKindOfLineEndOnce) {
  TTextStream S(InMemory, "one\ntwo\r\nthree\rfour\r\rsix");
  EXPECT_EQ(S.GetLine(), "one");
  EXPECT_EQ(S.GetLine(), "two");
  EXPECT_EQ(S.GetLine(), "three");
  EXPECT_EQ(S.GetLine(), "four");
  EXPECT_EQ(S.GetLine(), "");  // CR CR is two line ends
  EXPECT_EQ(S.GetLine(), "six");
  EXPECT_TRUE(S.EndOfStream());
  EXPECT_EQ(S.GetLine(), "");
}

TEST(TextStream, StreamSourceCrossesBufferBoundaries) {
  // Longer than one read chunk, with a CR LF pair split across the boundary.
  constexpr size_t Chunk = 64 * 1024;
  std::string Text(Chunk - 1, 'x');
  Text += "\r\n";
  Text += std::string(Chunk * 2, 'y');
  Text += "\nend";
  std::istringstream Source(Text);
  TTextStream S(Source);
  EXPECT_EQ(S.GetStream(), &Source);
  EXPECT_EQ(S.GetLine(), std::string(Chunk - 1, 'x'));
  EXPECT_EQ(S.GetChar(), 'y');
  EXPECT_EQ(S.GetChar(), 'y');
  S.PutBackChar('y');
  S.PutBackChar('y');
  EXPECT_EQ(S.GetLine(), std::string(Chunk * 2, 'y'));
  EXPECT_EQ(S.GetLine(), "end");
  EXPECT_TRUE(S.EndOfStream());
  EXPECT_TRUE(Source.eof());
}

TEST(TextStream, DoesNotAskAnInteractiveSourceForMoreThanNeeded) {
  TLineSource Lines({"first\n", "second\n"});
  std::istream Source(&Lines);
  TTextStream S(Source);
  EXPECT_EQ(S.GetLine(), "first");
  EXPECT_EQ(Lines.Underflows, 1);  // the second line was not waited for
  EXPECT_EQ(S.GetLine(), "second");
  EXPECT_EQ(S.GetLine(), "");
  EXPECT_TRUE(S.EndOfStream());
}

TEST(TextStream, OpensFilesByNameAndReportsMissingOnes) {
  const auto Path = std::filesystem::temp_directory_path() / ("textstream-" + std::to_string(::getpid()) + ".txt");
  {
    std::ofstream Out(Path, std::ios::binary);
    Out << "(a)\r\nb";
  }
  {
    TTextStream S(Path, std::ios::in);
    ASSERT_NE(S.GetStream(), nullptr);
    EXPECT_EQ(S.GetLine(), "(a)");  // binary: the CR arrives and is taken with its LF
    EXPECT_EQ(S.GetLine(), "b");
    EXPECT_TRUE(S.EndOfStream());
  }
  // A name with a NUL in it names no file, not the file named by its first part.
  EXPECT_THROW(TTextStream(std::filesystem::path(Path.string() + std::string(1, '\0') + "x"), std::ios::in),
               platform::EFOpenError);
  std::filesystem::remove(Path);
  try {
    TTextStream Missing(Path, std::ios::in);
    FAIL() << "opened a missing file";
  } catch (const platform::EFOpenError& E) {
    EXPECT_NE(std::string(E.what()).find(Path.string()), std::string::npos);
  }
}
