#include "IOStreams.h"

#include <ostream>

#include "InferenceEngine.h"
#include "core/values/IEException.h"
#include "platform/Format.h"

namespace rulecore {

namespace {

// Not in the published catalogue: this library's own wording.
constexpr std::string_view SStreamNotWritable = "Stream is not open for writing: %s";

}  // namespace

void TIOStreams::Put(const std::string& Name, std::unique_ptr<platform::TTextStream> Stream) {
  if (std::unique_ptr<platform::TTextStream>* Existing = Table_.Find(Name)) {
    if (Existing->get() == Stream.get()) {
      (void)Stream.release();  // the very stream already stored: it keeps its one owner
      return;
    }
    const TDuplicateConstructs Policy = Engine_ ? Engine_->GetDuplicateConstructs() : dcOverwrite;
    if (Policy == dcIgnore) return;
    if (Policy == dcError) RaiseIE(SDuplicateStreamNames, {Name});
  }
  // The replaced stream (if any) is closed as the returned owner goes.
  Table_.Put(Name, std::move(Stream));
}

bool TIOStreams::ContainsKey(std::string_view Name, platform::TTextStream*& Stream) const {
  const std::unique_ptr<platform::TTextStream>* Found = Table_.Find(Name);
  if (!Found) return false;
  Stream = Found->get();
  return true;
}

platform::TTextStream* TIOStreams::Get(std::string_view Name) const {
  const std::unique_ptr<platform::TTextStream>* Found = Table_.Find(Name);
  return Found ? Found->get() : nullptr;
}

platform::TTextStream& TIOStreams::GetItem(std::string_view Name) const {
  platform::TTextStream* Stream = Get(Name);
  if (!Stream) RaiseIE(SInvalidStreamName, {Name});
  return *Stream;
}

void TIOStreams::Remove(std::string_view Name) {
  if (!Table_.ContainsKey(Name)) RaiseIE(SInvalidStreamName, {Name});
  Table_.Remove(Name);
}

void WriteToStream(platform::TTextStream& Stream, std::string_view Name, std::string_view Text) {
  auto* Out = dynamic_cast<std::ostream*>(Stream.GetStream());
  if (!Out) throw EIEException(platform::Format(SStreamNotWritable, {Name}));
  // The end-of-text mark a reader left on a read-write source must not block the write.
  const std::ios::iostate Before = Out->rdstate();
  Out->clear();
  Out->write(Text.data(), static_cast<std::streamsize>(Text.size()));
  if (!Out->fail()) return;
  // A file opened for reading only refuses the write; the stream stays as it was for reading.
  Out->clear(Before);
  throw EIEException(platform::Format(SStreamNotWritable, {Name}));
}

}  // namespace rulecore
