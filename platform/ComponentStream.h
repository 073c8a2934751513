// Component streaming: a component, its published properties, the named data its class stores
// besides them and its owned components, written as one JSON document and read back into a
// live component tree.
//
// What is written for an object:
//   - every published property whose value differs from its stored default (events never; a
//     property without a default when it is not empty, zero or false);
//   - for a property holding a persistent object that is not a component, that object's own
//     properties, nested;
//   - for a property holding a collection, its own properties and its items, each item as the
//     object of its properties (collections inside items nest the same way), unless the
//     collection's class says it stores its items some other way;
//   - for a property referring to a component, the names leading to it from the stream's root;
//   - the named data the class defines through its DefineProperties hook (lists of strings,
//     numbers, nested lists), after the published properties;
//   - the owned components, each the same way, unless the class says it keeps none in the
//     stream (a component that builds its owned parts itself).
// Reading sets the properties of an existing root, creates missing owned components by class
// name (the class must be registered), replaces the items of each collection it holds by new
// items of the collection's item class, resolves component references once the whole tree is
// read, and then calls Loaded on every component read, in the order they were read.  Until
// then each of them is in the loading state.  Malformed or hostile input raises EStreamError
// (or the error of the setter or hook that refused a value); components the failed read
// created are freed and the others leave the loading state.
//
// The JSON itself never appears in this header: hooks see a TWriter or a TReader.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"
#include "Exceptions.h"
#include "Object.h"
#include "Properties.h"
#include "Ref.h"

namespace platform {

// A component stream that cannot be written or read: malformed JSON, a value of the wrong
// kind, an unknown class or property, a reference to a component the stream does not hold.
class EStreamError : public Exception {
  using Exception::Exception;
};

class TReader;

// Writes the values of one stored property, or of one entry of a list.
class TWriter {
 public:
  virtual ~TWriter();
  // A list: the values written up to WriteListEnd are its items.
  virtual void WriteListBegin() = 0;
  virtual void WriteListEnd() = 0;
  virtual void WriteString(std::string_view Value) = 0;
  virtual void WriteInteger(int64_t Value) = 0;
  virtual void WriteFloat(double Value) = 0;
  virtual void WriteBoolean(bool Value) = 0;
  // A component as a value of its own: its class, name, properties and stored owned components;
  // component references inside it are relative to it.
  virtual void WriteComponent(const TComponent& Component) = 0;
  // Whether Component is written in this stream (the root, and each stored owned component
  // below it).  A class whose list names things a component of the stream also stores uses
  // it to write them once.
  virtual bool Stores(const TComponent& Component) const noexcept = 0;

  void WriteStrings(const std::vector<std::string>& Values);
};

// Reads what a TWriter wrote, in the same order.  A value of another kind than asked for, or a
// list left with items unread, raises EStreamError.
class TReader {
 public:
  virtual ~TReader();
  virtual void ReadListBegin() = 0;
  // True when the list being read has no more items.
  virtual bool EndOfList() const = 0;
  virtual void ReadListEnd() = 0;
  virtual std::string ReadString() = 0;
  virtual int64_t ReadInteger() = 0;
  virtual double ReadFloat() = 0;
  virtual bool ReadBoolean() = 0;
  // Reads a component written by TWriter::WriteComponent into Component, which must be of the
  // stored class or a descendant of it; Loaded is called at the end as for a whole stream.
  virtual void ReadComponent(TComponent& Component) = 0;

  // A list of strings.
  std::vector<std::string> ReadStrings();
};

// What a class's DefineProperties hook declares its stored data to: a name, how to read the
// data and how to write it, and whether there is anything to write (nothing is written when
// there is not).  Writing and reading call the same hook, so the two sides cannot drift.
class TFiler {
 public:
  using TReadProc = std::function<void(TReader& Reader)>;
  using TWriteProc = std::function<void(TWriter& Writer)>;
  virtual ~TFiler();
  // Write writes one value (usually one list), or nothing when it finds nothing to store
  // after all (HasData is a cheap first answer).
  virtual void DefineProperty(std::string_view Name, const TReadProc& Read, const TWriteProc& Write,
                              bool HasData) = 0;
};

// The hook of a class: Instance is of that class.  Hooks of the ancestors run first.
using TDefinePropertiesProc = void (*)(TObject& Instance, TFiler& Filer);
void RegisterDefineProperties(const TClass& Class, TDefinePropertiesProc Proc);
// A class whose owned components are its own business (it makes them itself) keeps them out
// of the stream: StoresOwned false.  The nearest registered class of the chain decides; by
// default owned components are stored.
void RegisterStoresOwned(const TClass& Class, bool StoresOwned);
// A collection whose items are stored by a class's own hook (or not at all) keeps them out of
// the stream: StoresItems false.  The nearest registered class of the chain decides; by
// default a collection's items are stored.
void RegisterStoresItems(const TClass& CollectionClass, bool StoresItems);
// After a failed read, each component the read put in the loading state and did not free
// leaves that state without Loaded; the hooks of its class (ancestors first) are told, so that
// a class that keeps what it read until Loaded can drop it.  They must not raise.
using TLoadingFailedProc = void (*)(TComponent& Instance) noexcept;
void RegisterLoadingFailed(const TClass& Class, TLoadingFailedProc Proc);

// The whole document for Component: JSON text, with indentation.
void WriteComponentStream(std::ostream& Stream, const TComponent& Component);
std::string WriteComponentStream(const TComponent& Component);
// Reads a document written by WriteComponentStream into Component (see the top of the file).
void ReadComponentStream(std::istream& Stream, TComponent& Component);
void ReadComponentStream(std::string_view Text, TComponent& Component);

// A persistent object that is not a component, by class name and a wrapper component whose
// single published property Inner holds the object.  ReadPersistent creates an object of the
// registered class of the stored name and reads the wrapper into it.
void WritePersistent(TWriter& Writer, const TPersistent& Object);
Ref<TPersistent> ReadPersistent(TReader& Reader);
// The same as a document of its own.
void WritePersistent(std::ostream& Stream, const TPersistent& Object);
Ref<TPersistent> ReadPersistent(std::istream& Stream);

// The wrapper WritePersistent writes a persistent object in.
class TOuterComponent final : public TComponent {
  PLATFORM_CLASS(TOuterComponent, TComponent)
 public:
  using TComponent::TComponent;
  TPersistent* GetInner() const noexcept { return Inner_; }
  void SetInner(TPersistent* Value) noexcept { Inner_ = Value; }
  static void DeclareProperties(TPropertyList<TOuterComponent>& P);

 private:
  TPersistent* Inner_ = nullptr;
};

}  // namespace platform
