#include "TextStream.h"

#include <algorithm>
#include <utility>

#include "Format.h"

namespace platform {

TTextStream::TTextStream(std::istream& Source) : Stream_(&Source) {}

TTextStream::TTextStream(const std::filesystem::path& FileName, std::ios::openmode Mode) {
  // A name with a NUL in it would open the file named by its first part.
  if (FileName.native().find('\0') == std::filesystem::path::string_type::npos)
    OwnedFile_ = std::make_unique<std::fstream>(FileName, Mode | std::ios::binary);
  if (!OwnedFile_ || !OwnedFile_->is_open())
    throw EFOpenError(Format("Cannot open file \"%s\"", {FileName.string()}));
  Stream_ = OwnedFile_.get();
}

TTextStream::TTextStream(TInMemory, std::string Text) : Text_(std::move(Text)) {
  Begin_ = Cur_ = Text_.data();
  End_ = Begin_ + Text_.size();
  AtEnd_ = true;  // nothing beyond the text itself
}

TTextStream::~TTextStream() = default;

int TTextStream::GetChar() { return ReadChar(); }

void TTextStream::PutBackChar(int C) { UnreadChar(C); }

std::string TTextStream::GetLine() {
  std::string Line;
  ReadLineInto(&Line);
  return Line;
}

bool TTextStream::EndOfStream() {
  if (Cur_ != End_ || !PutBack_.empty()) return false;
  return !Refill();
}

void TTextStream::UnreadChar(int C) {
  if (C < 0 || C > 255) return;
  // The usual case, putting back what was just read, only steps back in the window.
  if (PutBack_.empty() && Cur_ != Begin_ && static_cast<unsigned char>(Cur_[-1]) == C) {
    --Cur_;
    return;
  }
  if (PutBack_.empty()) {
    SavedCur_ = Cur_;
    SavedEnd_ = End_;
    Cur_ = End_ = nullptr;
  }
  PutBack_.push_back(static_cast<char>(C));
}

int TTextStream::ReadCharSlow() {
  if (!PutBack_.empty()) {
    const char C = PutBack_.back();
    PutBack_.pop_back();
    if (PutBack_.empty()) {
      Cur_ = SavedCur_;
      End_ = SavedEnd_;
    }
    return static_cast<unsigned char>(C);
  }
  if (!Refill()) return EndOfText;
  return static_cast<unsigned char>(*Cur_++);
}

bool TTextStream::Refill() {
  if (AtEnd_) return false;
  std::streambuf* Buffer = Stream_ ? Stream_->rdbuf() : nullptr;
  if (!Buffer) {
    AtEnd_ = true;
    return false;
  }
  if (!Chunk_) Chunk_ = std::make_unique<char[]>(ChunkSize);
  std::streamsize Count = 0;
  // Take what the stream holds without waiting; only when it holds nothing, wait for one
  // character.  An interactive source then hands over each line as soon as it has it.
  const std::streamsize Available = Buffer->in_avail();
  if (Available > 0) {
    Count = Buffer->sgetn(Chunk_.get(), std::min<std::streamsize>(Available, ChunkSize));
  } else {
    const int C = Buffer->sbumpc();
    if (C != std::char_traits<char>::eof()) {
      Chunk_[0] = static_cast<char>(C);
      Count = 1;
    }
  }
  if (Count <= 0) {
    AtEnd_ = true;
    Stream_->setstate(std::ios::eofbit);
    return false;
  }
  Begin_ = Cur_ = Chunk_.get();
  End_ = Begin_ + Count;
  return true;
}

bool TTextStream::ReadLineInto(std::string* Line) {
  for (;;) {
    // Copy the run of ordinary characters in the window at once.
    if (Cur_ != End_) {
      const char* Stop = Cur_;
      while (Stop != End_ && *Stop != '\n' && *Stop != '\r') ++Stop;
      if (Line) Line->append(Cur_, Stop);
      Cur_ = Stop;
      if (Cur_ == End_) continue;
    }
    const int C = ReadChar();
    if (C == EndOfText) return false;
    if (C == '\n') return true;
    if (C == '\r') {
      const int Next = ReadChar();
      if (Next != '\n') UnreadChar(Next);
      return true;
    }
    if (Line) Line->push_back(static_cast<char>(C));
  }
}

}  // namespace platform
