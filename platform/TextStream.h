// TTextStream: a buffered character reader with put-back and line reading, the ground the
// rule-language tokenizer stands on.
//
// Three sources: a std::istream the caller keeps alive (not owned), a file opened by name with an
// open mode (owned), or a text held in memory.  Reading a character is an inline pointer bump
// over a window of buffered text; everything else (refilling, put-back beyond the window) is out
// of line.  Characters come back as 0..255, never as negative chars, so high-bit bytes are never
// mistaken for the end of the text.  Depends on Object.h and Exceptions.h only.
#pragma once

#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Exceptions.h"
#include "Object.h"

namespace platform {

// A file that cannot be opened.
class EFOpenError : public Exception {
  using Exception::Exception;
};

// A file that cannot be created or written.
class EFCreateError : public Exception {
  using Exception::Exception;
};

// Selects the in-memory constructor: TTextStream(InMemory, "text").
struct TInMemory {
  explicit constexpr TInMemory() = default;
};
inline constexpr TInMemory InMemory{};

class TTextStream : public TObject {
  PLATFORM_CLASS(TTextStream, TObject)
 public:
  static constexpr int EndOfText = -1;

  // Reads Source, which must outlive this object.  Reading takes from Source whatever it
  // already holds available, a chunk at a time, and never waits for more than one character,
  // so an interactive stream is not blocked on; the characters taken are no longer in Source.
  explicit TTextStream(std::istream& Source);
  // Opens FileName with Mode (always binary, so line ends arrive as written); failure raises
  // EFOpenError.
  TTextStream(const std::filesystem::path& FileName, std::ios::openmode Mode);
  TTextStream(TInMemory, std::string Text);
  ~TTextStream() override;

  // The next character (0..255), or EndOfText.  Once the end is met it stays met.
  virtual int GetChar();
  // Makes C the next character GetChar returns.  Any number of characters may be put back; they
  // come back last in, first out.  EndOfText is ignored.
  virtual void PutBackChar(int C);
  // The rest of the current line without its line end, which is consumed (LF, CR, or CR LF
  // taken together).  At the end of the text the result is empty.
  virtual std::string GetLine();
  // True when no character is left (put-back characters count as left).
  virtual bool EndOfStream();

  // The stream read from: the caller's, the owned file stream, or nullptr for an in-memory text.
  std::istream* GetStream() const noexcept { return Stream_; }

 protected:
  // The fast, non-virtual forms the scanners use.
  int ReadChar() {
    if (Cur_ != End_) return static_cast<unsigned char>(*Cur_++);
    return ReadCharSlow();
  }
  void UnreadChar(int C);
  // The buffered characters not yet read, for scanners that take whole runs at once; empty
  // while put-back characters are pending or the buffer is used up (ReadChar then refills).
  std::string_view Buffered() const noexcept { return {Cur_, static_cast<size_t>(End_ - Cur_)}; }
  // Consumes the first Count characters of Buffered().
  void Skip(size_t Count) noexcept { Cur_ += Count; }
  // Reads up to and including the next line end (CR LF taken together); the text before it is
  // appended to Line when Line is not nullptr.  True when a line end was consumed.
  bool ReadLineInto(std::string* Line);

 private:
  int ReadCharSlow();
  bool Refill();

  static constexpr size_t ChunkSize = 64 * 1024;

  std::istream* Stream_ = nullptr;
  std::unique_ptr<std::fstream> OwnedFile_;
  std::string Text_;                  // the whole text of an in-memory stream
  std::unique_ptr<char[]> Chunk_;     // the read buffer of a stream, allocated on first refill
  const char* Begin_ = nullptr;       // the window of buffered characters not yet read
  const char* Cur_ = nullptr;
  const char* End_ = nullptr;
  // Characters put back that are not simply the ones before Cur_.  While any are held the window
  // is parked in Saved*, and Cur_ == End_ sends every read to the slow path.
  std::vector<char> PutBack_;
  const char* SavedCur_ = nullptr;
  const char* SavedEnd_ = nullptr;
  bool AtEnd_ = false;
};

}  // namespace platform
