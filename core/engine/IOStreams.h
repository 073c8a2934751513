// TIOStreams: the engine's table of logical names bound to text streams ("open" enters a file
// under a name, "close" takes it out).  The table owns its streams: taking an entry out or
// emptying the table closes the stream.  A name that is already taken follows the engine's
// duplicate-constructs policy.
//
// Any platform::TTextStream serves for reading; a tokenizer stream also serves "read".  Writing
// goes to the std::ostream side of the stream's source, so a file opened for writing, or a
// host's std::stringstream, can take output.  Depends on the platform layer and the value layer
// (messages).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/HashTable.h"
#include "platform/Object.h"
#include "platform/TextStream.h"

namespace rulecore {

class TInferenceEngine;

class TIOStreams : public platform::TObject {
  PLATFORM_CLASS(TIOStreams, platform::TObject)
 public:
  explicit TIOStreams(TInferenceEngine* Engine = nullptr) : Engine_(Engine) {}
  TIOStreams(const TIOStreams&) = delete;
  TIOStreams& operator=(const TIOStreams&) = delete;

  // Enters Stream under Name, taking it over.  When Name holds another stream: dcOverwrite
  // closes the old one and stores the new, dcIgnore keeps the old one and closes the new,
  // dcError raises "Duplicate streams defined with same name" (the new stream is closed).
  void Put(const std::string& Name, std::unique_ptr<platform::TTextStream> Stream);
  void Add(const std::string& Name, std::unique_ptr<platform::TTextStream> Stream) {
    Put(Name, std::move(Stream));
  }
  bool ContainsKey(std::string_view Name) const { return Table_.ContainsKey(Name); }
  bool ContainsKey(std::string_view Name, platform::TTextStream*& Stream) const;
  // The stream bound to Name, or nullptr; the table keeps owning it.
  platform::TTextStream* Get(std::string_view Name) const;
  // As Get, but an unknown name raises "Invalid stream name: %s".
  platform::TTextStream& GetItem(std::string_view Name) const;
  platform::TTextStream& GetItemByIndex(int Index) const { return *Table_.ValueAt(Index); }
  const std::string& GetName(int Index) const { return Table_.KeyAt(Index); }
  int Count() const noexcept { return Table_.Count(); }
  // Closes the stream bound to Name; an unknown name raises "Invalid stream name: %s".
  void Remove(std::string_view Name);
  // Closes every stream.
  void Clear() { Table_.Clear(); }

 private:
  TInferenceEngine* Engine_;  // for the duplicate policy; not owned
  platform::TStringHashTable<std::unique_ptr<platform::TTextStream>> Table_{17};
};

// Appends Text to the stream's source.  A stream that cannot be written (opened for reading
// only, an in-memory text, a source that is no std::ostream) raises an engine error naming
// Name, so that output is never dropped silently.
void WriteToStream(platform::TTextStream& Stream, std::string_view Name, std::string_view Text);

}  // namespace rulecore
