// The JSON form of the component stream.  A component is one object:
//   {"class": "TName", "name": "Name", "properties": {...}, "components": [...]}
// ("name", "properties" and "components" left out when empty).  Property values: integers and
// floats as numbers (a float that is not finite as the string "NaN", "Infinity" or
// "-Infinity"), text as strings, booleans as true/false, enumerations by enumerator name, sets
// as lists of enumerator names, a persistent object as an object of its own properties, a
// collection as {"properties": {...}, "items": [{...}, ...]} (each left out when empty; an
// item is the object of its properties), a component reference as the list of names leading
// to it from the stream's root.  Text that is
// not UTF-8 (the system's text is 8-bit) is written as {"latin1": "..."}: each byte as the
// character of that code, so that it reads back byte for byte.
//
// Sections: hook registry - text and numbers - writing - reading - entry points.
#include "ComponentStream.h"

#include <cmath>
#include <istream>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "Collection.h"
#include "Format.h"
#include "Properties.h"

namespace platform {

using TJson = nlohmann::ordered_json;

TWriter::~TWriter() = default;
TReader::~TReader() = default;
TFiler::~TFiler() = default;

void TWriter::WriteStrings(const std::vector<std::string>& Values) {
  WriteListBegin();
  for (const std::string& Value : Values) WriteString(Value);
  WriteListEnd();
}

std::vector<std::string> TReader::ReadStrings() {
  std::vector<std::string> Values;
  ReadListBegin();
  while (!EndOfList()) Values.push_back(ReadString());
  ReadListEnd();
  return Values;
}

void TOuterComponent::DeclareProperties(TPropertyList<TOuterComponent>& P) {
  P.Add("Inner", &TOuterComponent::GetInner, &TOuterComponent::SetInner);
}

// =============================================================================================
// Hook registry
// =============================================================================================

namespace {

struct THooks {
  std::mutex Lock;
  std::map<const TClass*, TDefinePropertiesProc> Define;
  std::map<const TClass*, bool> StoresOwned;
  std::map<const TClass*, bool> StoresItems;
  std::map<const TClass*, TLoadingFailedProc> Failed;
};

THooks& Hooks() {
  static THooks H;
  return H;
}

// The hooks of Class and its ancestors, the most distant ancestor's first.
std::vector<TDefinePropertiesProc> DefineChain(const TClass& Class) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  std::vector<TDefinePropertiesProc> Chain;
  for (const TClass* C = &Class; C; C = C->Parent) {
    auto It = H.Define.find(C);
    if (It != H.Define.end()) Chain.insert(Chain.begin(), It->second);
  }
  return Chain;
}

// A component of a failed read leaves the loading state; its classes' hooks are told.
void EndFailedLoading(TComponent& Component) noexcept {
  Component.TComponent::Loaded();
  std::vector<TLoadingFailedProc> Chain;
  {
    THooks& H = Hooks();
    std::lock_guard<std::mutex> G(H.Lock);
    for (const TClass* C = &Component.ClassType(); C; C = C->Parent) {
      auto It = H.Failed.find(C);
      if (It != H.Failed.end()) Chain.insert(Chain.begin(), It->second);
    }
  }
  for (TLoadingFailedProc Proc : Chain) Proc(Component);
}

// The setting of the nearest class of the chain that has one; true by default.
bool NearestSetting(const std::map<const TClass*, bool>& Settings, const TClass& Class) {
  for (const TClass* C = &Class; C; C = C->Parent) {
    auto It = Settings.find(C);
    if (It != Settings.end()) return It->second;
  }
  return true;
}

bool StoresOwned(const TClass& Class) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  return NearestSetting(H.StoresOwned, Class);
}

bool StoresItems(const TClass& Class) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  return NearestSetting(H.StoresItems, Class);
}

// Components inside components and objects inside objects: a stream nested deeper than this
// is refused (every level is a level of recursion here).
constexpr int MaxDepth = 100;

}  // namespace

void RegisterDefineProperties(const TClass& Class, TDefinePropertiesProc Proc) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  if (Proc)
    H.Define[&Class] = Proc;
  else
    H.Define.erase(&Class);
}

void RegisterLoadingFailed(const TClass& Class, TLoadingFailedProc Proc) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  if (Proc)
    H.Failed[&Class] = Proc;
  else
    H.Failed.erase(&Class);
}

void RegisterStoresOwned(const TClass& Class, bool Value) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  H.StoresOwned[&Class] = Value;
}

void RegisterStoresItems(const TClass& CollectionClass, bool Value) {
  THooks& H = Hooks();
  std::lock_guard<std::mutex> G(H.Lock);
  H.StoresItems[&CollectionClass] = Value;
}

// =============================================================================================
// Text and numbers
// =============================================================================================

namespace {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view S) noexcept {
  size_t I = 0;
  while (I < S.size()) {
    const auto C = static_cast<unsigned char>(S[I]);
    if (C < 0x80) {
      ++I;
      continue;
    }
    size_t Length;
    uint32_t Code;
    if (C >= 0xC2 && C <= 0xDF) {
      Length = 2;
      Code = C & 0x1F;
    } else if (C >= 0xE0 && C <= 0xEF) {
      Length = 3;
      Code = C & 0x0F;
    } else if (C >= 0xF0 && C <= 0xF4) {
      Length = 4;
      Code = C & 0x07;
    } else {
      return false;
    }
    if (S.size() - I < Length) return false;
    for (size_t K = 1; K < Length; ++K) {
      const auto Next = static_cast<unsigned char>(S[I + K]);
      if ((Next & 0xC0) != 0x80) return false;
      Code = (Code << 6) | (Next & 0x3F);
    }
    if ((Length == 3 && (Code < 0x800 || (Code >= 0xD800 && Code <= 0xDFFF))) ||
        (Length == 4 && (Code < 0x10000 || Code > 0x10FFFF)))
      return false;
    I += Length;
  }
  return true;
}

TJson TextToJson(std::string_view S) {
  if (IsUtf8(S)) return TJson(std::string(S));
  std::string Encoded;
  Encoded.reserve(S.size() * 2);
  for (const char Ch : S) {
    const auto C = static_cast<unsigned char>(Ch);
    if (C < 0x80) {
      Encoded += Ch;
    } else {
      Encoded += static_cast<char>(0xC0 | (C >> 6));
      Encoded += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  TJson Object = TJson::object();
  Object["latin1"] = std::move(Encoded);
  return Object;
}

// The bytes of a {"latin1": ...} text, or nothing when the text holds a character above U+00FF
// (the parser has already checked that it is UTF-8).
std::optional<std::string> DecodeLatin1(const std::string& S) {
  std::string Bytes;
  Bytes.reserve(S.size());
  for (size_t I = 0; I < S.size(); ++I) {
    const auto C = static_cast<unsigned char>(S[I]);
    if (C < 0x80) {
      Bytes += S[I];
    } else if ((C == 0xC2 || C == 0xC3) && I + 1 < S.size()) {
      Bytes += static_cast<char>(((C & 0x03) << 6) | (static_cast<unsigned char>(S[++I]) & 0x3F));
    } else {
      return std::nullopt;
    }
  }
  return Bytes;
}

TJson FloatToJson(double Value) {
  if (std::isnan(Value)) return TJson("NaN");
  if (std::isinf(Value)) return TJson(Value > 0 ? "Infinity" : "-Infinity");
  return TJson(Value);
}

}  // namespace

// =============================================================================================
// Writing
// =============================================================================================

namespace {

class TJsonWriter final : public TWriter {
 public:
  explicit TJsonWriter(const TComponent* Root) : Root_(Root) {}

  // Values written go into List until the matching Close.
  void Open(TJson& List) { Open_.push_back(&List); }
  void Close() noexcept { Open_.pop_back(); }

  void WriteListBegin() override {
    Put(TJson::array());
    Open_.push_back(&Open_.back()->back());
  }
  void WriteListEnd() override {
    if (Open_.size() <= Base_) throw EStreamError("WriteListEnd without WriteListBegin");
    Open_.pop_back();
  }
  void WriteString(std::string_view Value) override { Put(TextToJson(Value)); }
  void WriteInteger(int64_t Value) override { Put(TJson(Value)); }
  void WriteFloat(double Value) override { Put(FloatToJson(Value)); }
  void WriteBoolean(bool Value) override { Put(TJson(Value)); }
  void WriteComponent(const TComponent& Component) override {
    TJsonWriter Inner(&Component);
    Inner.Depth_ = Depth_;
    Put(Inner.ComponentObject(Component));
  }

  bool Stores(const TComponent& Component) const noexcept override {
    for (const TComponent* C = &Component; C; C = C->GetOwner()) {
      if (C == Root_) return true;
      const TComponent* Owner = C->GetOwner();
      if (Owner && !StoresOwned(Owner->ClassType())) return false;
    }
    return false;
  }

  TJson ComponentObject(const TComponent& Component) {
    TDepth Level(*this);
    TJson Object = TJson::object();
    Object["class"] = TextToJson(Component.ClassName());
    if (!Component.GetName().empty()) Object["name"] = TextToJson(Component.GetName());
    TJson Properties = PropertiesObject(Component);
    if (!Properties.empty()) Object["properties"] = std::move(Properties);
    if (StoresOwned(Component.ClassType())) {
      TJson Owned = TJson::array();
      for (int I = 0; I < Component.GetComponentCount(); ++I) Owned.push_back(ComponentObject(*Component.GetComponent(I)));
      if (!Owned.empty()) Object["components"] = std::move(Owned);
    }
    return Object;
  }

  // The published properties worth storing, then the class's own stored data.
  TJson PropertiesObject(const TObject& Instance) {
    TDepth Level(*this);
    TJson Properties = TJson::object();
    for (const TPropInfo* P : GetPropList(Instance)) {
      if (P->Kind == pkEvent || IsOpaqueKind(P->Kind)) continue;
      if (P->Kind == pkObject) {
        TObject* Value = std::get<TObject*>(P->Get(Instance));
        if (!Value) continue;
        if (const auto* Component = dynamic_cast<const TComponent*>(Value)) {
          // A component outside the stream, or one without a name, cannot be found again
          // when the stream is read: the reference is not written.
          if (!P->Set) continue;
          if (std::optional<TJson> Path = PathOf(*Component)) Properties[P->Name] = std::move(*Path);
        } else if (const auto* Collection = dynamic_cast<const TCollection*>(Value)) {
          TJson Nested = CollectionObject(*Collection);
          if (!Nested.empty()) Properties[P->Name] = std::move(Nested);
        } else if (const auto* Object = dynamic_cast<const TPersistent*>(Value)) {
          TJson Nested = PropertiesObject(*Object);
          if (!Nested.empty()) Properties[P->Name] = std::move(Nested);
        }
        // Any other object has no properties to store.
        continue;
      }
      if (!P->Set || !Stored(*P, Instance)) continue;
      Properties[P->Name] = ValueToJson(*P, P->Get(Instance));
    }
    TWritingFiler Filer(*this, Properties);
    for (TDefinePropertiesProc Define : DefineChain(Instance.ClassType()))
      Define(const_cast<TObject&>(Instance), Filer);
    return Properties;
  }

  // A collection: its own properties, then its items.  Reading makes every item through the
  // collection, that is of its item class, so an item of another class could not come back as
  // it was: writing it fails instead of storing what cannot be read.
  TJson CollectionObject(const TCollection& Collection) {
    TDepth Level(*this);
    TJson Object = TJson::object();
    TJson Own = PropertiesObject(Collection);
    if (!Own.empty()) Object["properties"] = std::move(Own);
    if (!Collection.Empty() && StoresItems(Collection.ClassType())) {
      TJson Items = TJson::array();
      for (int I = 0; I < Collection.GetCount(); ++I) {
        const TCollectionItem& Item = *Collection.GetItem(I);
        if (&Item.ClassType() != &Collection.GetItemClass())
          throw EStreamError(
              Format("A %s in a collection of %s cannot be stored: reading makes items of the collection's class",
                     {Item.ClassName(), Collection.GetItemClass().Name}));
        Items.push_back(PropertiesObject(Item));
      }
      Object["items"] = std::move(Items);
    }
    return Object;
  }

 private:
  struct TDepth {
    explicit TDepth(TJsonWriter& W) : Writer(W) {
      if (++Writer.Depth_ > MaxDepth) {
        --Writer.Depth_;
        throw EStreamError("Component stream nested too deeply");
      }
    }
    ~TDepth() { --Writer.Depth_; }
    TJsonWriter& Writer;
  };

  class TWritingFiler final : public TFiler {
   public:
    TWritingFiler(TJsonWriter& W, TJson& Properties) : Writer_(W), Properties_(Properties) {}
    void DefineProperty(std::string_view Name, const TReadProc&, const TWriteProc& Write, bool HasData) override {
      if (!HasData || !Write) return;
      const std::string Key(Name);
      if (Properties_.contains(Key)) throw EStreamError(Format("Property %s is stored twice", {Key}));
      TJson Holder = TJson::array();
      const size_t SavedBase = Writer_.Base_;
      Writer_.Open(Holder);
      Writer_.Base_ = Writer_.Open_.size();
      struct TRestore {
        TJsonWriter& W;
        size_t Base;
        size_t Depth;
        ~TRestore() {
          W.Open_.resize(Depth);
          W.Base_ = Base;
        }
      } Restore{Writer_, SavedBase, Writer_.Open_.size() - 1};
      Write(Writer_);
      if (Writer_.Open_.size() != Writer_.Base_)
        throw EStreamError(Format("Property %s leaves a list open", {Key}));
      if (Holder.empty()) return;  // it found nothing to store after all
      if (Holder.size() != 1)
        throw EStreamError(Format("Property %s must be written as one value", {Key}));
      Properties_[Key] = std::move(Holder[0]);
    }

   private:
    TJsonWriter& Writer_;
    TJson& Properties_;
  };

  void Put(TJson Value) {
    if (Open_.empty()) throw EStreamError("Nothing is being written");
    Open_.back()->push_back(std::move(Value));
  }

  // A property without a stored default is stored when it is not empty, zero or false.
  static bool Stored(const TPropInfo& P, const TObject& Instance) {
    if (P.HasDefault) return P.IsStored(Instance);
    const TPropValue Value = P.Get(Instance);
    if (const auto* I = std::get_if<int64_t>(&Value)) return *I != 0;
    if (const auto* F = std::get_if<double>(&Value)) return *F != 0;
    if (const auto* S = std::get_if<std::string>(&Value)) return !S->empty();
    if (const auto* B = std::get_if<bool>(&Value)) return *B;
    return false;
  }

  static TJson ValueToJson(const TPropInfo& P, const TPropValue& Value) {
    switch (P.Kind) {
      case pkInteger:
      case pkInt64: return TJson(std::get<int64_t>(Value));
      case pkFloat: return FloatToJson(std::get<double>(Value));
      case pkChar:
      case pkString: return TextToJson(std::get<std::string>(Value));
      case pkBoolean: return TJson(std::get<bool>(Value));
      case pkEnumeration: {
        const std::string_view Name =
            P.EnumType ? P.EnumType->NameOf(static_cast<unsigned>(std::get<int64_t>(Value))) : std::string_view();
        if (Name.empty()) throw EStreamError(Format("Property %s holds a value without a name", {P.Name}));
        return TJson(std::string(Name));
      }
      case pkSet: {
        TJson Names = TJson::array();
        const auto Mask = static_cast<uint64_t>(std::get<int64_t>(Value));
        if (P.EnumType)
          for (unsigned I = 0; I < P.EnumType->Count() && I < 64; ++I)
            if (Mask & (uint64_t(1) << I)) Names.push_back(std::string(P.EnumType->NameOf(I)));
        return Names;
      }
      default: break;  // objects, events and the opaque kinds are not written as values
    }
    return TJson();
  }

  // The names from the root down to Component, or nothing when it cannot be found that way.
  std::optional<TJson> PathOf(const TComponent& Component) const {
    if (!Root_ || !Stores(Component)) return std::nullopt;
    std::vector<const TComponent*> Chain;
    for (const TComponent* C = &Component; C != Root_; C = C->GetOwner()) {
      if (C->GetName().empty()) return std::nullopt;
      Chain.push_back(C);
    }
    TJson Path = TJson::array();
    for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) Path.push_back(TextToJson((*It)->GetName()));
    return Path;
  }

  const TComponent* Root_;
  std::vector<TJson*> Open_;  // lists being written, the innermost last
  size_t Base_ = 0;           // lists below this belong to an enclosing property
  int Depth_ = 0;
};

}  // namespace

// =============================================================================================
// Reading
// =============================================================================================

namespace {

class TJsonReader final : public TReader {
 public:
  // --- the values a class's hook reads ---
  void ReadListBegin() override {
    const TJson& Value = NextValue("a list");
    if (!Value.is_array()) Fail("expected a list");
    if (Frames_.size() > static_cast<size_t>(MaxDepth)) Fail("lists nested too deeply");
    Frames_.push_back({&Value, 0});
  }
  bool EndOfList() const override { return Frames_.empty() || Frames_.back().Next >= Frames_.back().Size(); }
  void ReadListEnd() override {
    if (Frames_.size() <= Base_) Fail("no list is being read");
    if (!EndOfList()) Fail("unexpected items at the end of a list");
    Frames_.pop_back();
  }
  std::string ReadString() override { return JsonToText(NextValue("a string")); }
  int64_t ReadInteger() override { return JsonToInteger(NextValue("an integer")); }
  double ReadFloat() override { return JsonToFloat(NextValue("a number")); }
  bool ReadBoolean() override {
    const TJson& Value = NextValue("a boolean");
    if (!Value.is_boolean()) Fail("expected a boolean");
    return Value.get<bool>();
  }
  void ReadComponent(TComponent& Component) override {
    const TJson& Value = NextValue("a component");
    TJsonReader Inner;
    Inner.Depth_ = Depth_;
    Inner.Path_ = Path_;
    Inner.ReadRoot(Value, Component);
  }

  // Reads from List as the items of an open list (the document of ReadPersistent).
  void ReadFrom(const TJson& List) {
    if (!List.is_array()) Fail("expected a list");
    Frames_.push_back({&List, 0});
    Base_ = Frames_.size();
  }

  // --- a whole tree ---
  void ReadRoot(const TJson& Document, TComponent& Root) {
    Root_ = &Root;
    try {
      ReadComponentObject(Document, Root, true);
      ResolveFixups();
    } catch (...) {
      Abandon();
      throw;
    }
    size_t I = 0;
    try {
      for (; I < Loading_.size(); ++I) Loading_[I]->Loaded();
    } catch (...) {
      // The rest leave the loading state without finishing their loading.
      for (; I < Loading_.size(); ++I) EndFailedLoading(*Loading_[I]);
      throw;
    }
  }

  [[noreturn]] void Fail(const std::string& Message) const {
    std::string Where;
    for (const std::string& Part : Path_) {
      const bool Index = !Part.empty() && Part.front() == '[';  // "Items[2]", not "Items.[2]"
      Where += (Where.empty() || Index ? "" : ".") + Part;
    }
    throw EStreamError(Where.empty() ? "Invalid component stream: " + Message
                                     : "Invalid component stream at " + Where + ": " + Message);
  }

 private:
  // The items being read: those of a list, or a property's value as the one item of a list of
  // its own (Single), which is not copied: copying a JSON value recurses as deep as it nests.
  struct TFrame {
    const TJson* List;
    size_t Next;
    bool Single = false;
    size_t Size() const noexcept { return Single ? 1 : List->size(); }
    const TJson& Item(size_t I) const { return Single ? *List : (*List)[I]; }
  };
  struct TFixup {
    TObject* Instance;
    const TPropInfo* Property;
    std::vector<std::string> Path;
    std::vector<std::string> Where;
  };
  struct TDepth {
    explicit TDepth(TJsonReader& R) : Reader(R) {
      if (++Reader.Depth_ > MaxDepth) {
        --Reader.Depth_;
        Reader.Fail("nested too deeply");
      }
    }
    ~TDepth() { --Reader.Depth_; }
    TJsonReader& Reader;
  };
  struct TPathPart {
    TPathPart(TJsonReader& R, std::string Part) : Reader(R) { Reader.Path_.push_back(std::move(Part)); }
    ~TPathPart() { Reader.Path_.pop_back(); }
    TJsonReader& Reader;
  };

  const TJson& NextValue(const char* What) {
    if (EndOfList()) Fail(std::string("expected ") + What + ", found the end of the list");
    TFrame& F = Frames_.back();
    return F.Item(F.Next++);
  }

  std::string JsonToText(const TJson& Value) const {
    if (Value.is_string()) return Value.get<std::string>();
    if (Value.is_object() && Value.size() == 1 && Value.contains("latin1") && Value["latin1"].is_string())
      if (std::optional<std::string> Bytes = DecodeLatin1(Value["latin1"].get<std::string>())) return *Bytes;
    Fail("expected a string");
  }

  int64_t JsonToInteger(const TJson& Value) const {
    if (Value.is_number_integer() && !Value.is_number_unsigned()) return Value.get<int64_t>();
    if (Value.is_number_unsigned() && Value.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX))
      return static_cast<int64_t>(Value.get<uint64_t>());
    Fail("expected an integer");
  }

  double JsonToFloat(const TJson& Value) const {
    if (Value.is_number()) return Value.get<double>();
    if (Value.is_string()) {
      const std::string& S = Value.get_ref<const std::string&>();
      if (S == "NaN") return std::numeric_limits<double>::quiet_NaN();
      if (S == "Infinity") return std::numeric_limits<double>::infinity();
      if (S == "-Infinity") return -std::numeric_limits<double>::infinity();
    }
    Fail("expected a number");
  }


  void ReadComponentObject(const TJson& Object, TComponent& Component, bool IsRoot) {
    TDepth Level(*this);
    if (!Object.is_object()) Fail("expected a component object");
    for (const auto& [Key, Value] : Object.items())
      if (Key != "class" && Key != "name" && Key != "properties" && Key != "components")
        Fail("unknown entry \"" + Key + "\" in a component");
    auto Class = Object.find("class");
    if (Class == Object.end()) Fail("a component without a class");
    const std::string ClassName = JsonToText(*Class);
    bool Fits = false;
    for (const TClass* C = &Component.ClassType(); C && !Fits; C = C->Parent) Fits = SameText(C->Name, ClassName);
    if (!Fits) Fail("a " + ClassName + " cannot be read into a " + Component.ClassName());
    auto Name = Object.find("name");
    const std::string NameText = Name == Object.end() ? std::string() : JsonToText(*Name);
    TPathPart Part(*this, NameText.empty() ? ClassName : NameText);
    Component.BeginLoading();
    if (Seen_.insert(&Component).second) Loading_.push_back(&Component);
    if (IsRoot && Name != Object.end()) Component.SetName(NameText);

    if (auto Properties = Object.find("properties"); Properties != Object.end()) ReadProperties(*Properties, Component);
    if (auto Owned = Object.find("components"); Owned != Object.end()) {
      if (!Owned->is_array()) Fail("expected a list of components");
      if (!Owned->empty() && !StoresOwned(Component.ClassType()))
        Fail("a " + Component.ClassName() + " keeps no owned components in a stream");
      for (const TJson& Item : *Owned) ReadOwned(Item, Component);
    }
  }

  // An owned component: the one of that name when the owner has it, else a new one.
  void ReadOwned(const TJson& Object, TComponent& Owner) {
    if (!Object.is_object()) Fail("expected a component object");
    auto Name = Object.find("name");
    const std::string NameText = Name == Object.end() ? std::string() : JsonToText(*Name);
    if (TComponent* Existing = Owner.FindComponent(NameText)) {
      ReadComponentObject(Object, *Existing, false);
      return;
    }
    auto ClassEntry = Object.find("class");
    const std::string ClassName = ClassEntry == Object.end() ? std::string() : JsonToText(*ClassEntry);
    const TClass* Class = FindClass(ClassName);
    if (!Class) Fail("class " + (ClassName.empty() ? std::string("(none)") : ClassName) + " not found");
    if (!Class->InheritsFrom(TComponent::StaticClass()) || !Class->Factory)
      Fail("class " + ClassName + " is not a component class that can be created");
    TObject* Made = Class->CreateInstance(&Owner);
    auto* Component = dynamic_cast<TComponent*>(Made);
    if (!Component) {
      delete Made;
      Fail("class " + ClassName + " did not make a component");
    }
    if (!Created_.count(&Owner)) Outermost_.push_back(Component);
    Created_.insert(Component);
    if (Component->GetOwner() != &Owner) Owner.InsertComponent(Component);
    if (!NameText.empty()) Component->SetName(NameText);
    ReadComponentObject(Object, *Component, false);
  }

  void ReadProperties(const TJson& Properties, TObject& Instance) {
    TDepth Level(*this);
    if (!Properties.is_object()) Fail("expected an object of properties");
    std::vector<std::pair<const std::string*, const TJson*>> Entries;
    for (const auto& Item : Properties.items()) Entries.emplace_back(&Item.key(), &Item.value());
    std::vector<bool> Used(Entries.size(), false);
    auto Take = [&](std::string_view Name) -> const TJson* {
      for (size_t I = 0; I < Entries.size(); ++I)
        if (!Used[I] && SameText(*Entries[I].first, Name)) {
          Used[I] = true;
          return Entries[I].second;
        }
      return nullptr;
    };

    for (const TPropInfo* P : GetPropList(Instance)) {
      const TJson* Value = Take(P->Name);
      if (!Value) continue;
      TPathPart Part(*this, P->Name);
      ReadProperty(*P, *Value, Instance);
    }
    TReadingFiler Filer(*this, Take);
    for (TDefinePropertiesProc Define : DefineChain(Instance.ClassType())) Define(Instance, Filer);
    for (size_t I = 0; I < Entries.size(); ++I)
      if (!Used[I]) Fail("a " + Instance.ClassName() + " has no property " + *Entries[I].first);
  }

  void ReadProperty(const TPropInfo& P, const TJson& Value, TObject& Instance) {
    if (P.Kind == pkEvent) Fail("events are not stored");
    if (P.Kind == pkObject) {
      if (Value.is_object()) {
        TObject* Current = std::get<TObject*>(P.Get(Instance));
        auto* Object = dynamic_cast<TPersistent*>(Current);
        if (!Object || dynamic_cast<TComponent*>(Current)) Fail("expected a reference to a component");
        if (auto* Collection = dynamic_cast<TCollection*>(Object))
          ReadCollection(Value, *Collection);
        else
          ReadProperties(Value, *Object);
        return;
      }
      if (!Value.is_array()) Fail("expected an object or a component reference");
      if (!P.Set) Fail("the property is read-only");
      std::vector<std::string> Path;
      for (const TJson& Name : Value) Path.push_back(JsonToText(Name));
      Fixups_.push_back({&Instance, &P, std::move(Path), Path_});
      return;
    }
    if (!P.Set) Fail("the property is read-only");
    Assign(P, Instance, JsonToValue(P, Value));
  }

  // The stored items replace those the collection holds, all inside one update bracket, so
  // that its owner hears of one change.  A failure leaves what was read so far, as it leaves
  // the properties read before it.
  void ReadCollection(const TJson& Object, TCollection& Collection) {
    TDepth Level(*this);
    if (!Object.is_object()) Fail("expected a collection object");
    for (const auto& [Key, Value] : Object.items())
      if (Key != "properties" && Key != "items") Fail("unknown entry \"" + Key + "\" in a collection");
    if (auto Properties = Object.find("properties"); Properties != Object.end())
      ReadProperties(*Properties, Collection);
    auto Items = Object.find("items");
    if (Items == Object.end()) return;
    if (!Items->is_array()) Fail("expected a list of items");
    if (!StoresItems(Collection.ClassType())) Fail("a " + Collection.ClassName() + " keeps its items out of a stream");
    Collection.BeginUpdate();
    try {
      Collection.Clear();
      for (size_t I = 0; I < Items->size(); ++I) {
        TPathPart Part(*this, "[" + std::to_string(I) + "]");
        ReadProperties((*Items)[I], *Collection.Add());
      }
    } catch (...) {
      // The read's own error is the one to report; closing the bracket must not replace it.
      try {
        Collection.EndUpdate();
      } catch (...) {
      }
      throw;
    }
    Collection.EndUpdate();
  }

  TPropValue JsonToValue(const TPropInfo& P, const TJson& Value) const {
    switch (P.Kind) {
      case pkInteger: {
        // Integer properties are 32-bit throughout the system.
        const int64_t I = JsonToInteger(Value);
        if (I < INT32_MIN || I > INT32_MAX) Fail("integer out of range");
        return I;
      }
      case pkInt64: return JsonToInteger(Value);
      case pkFloat: return JsonToFloat(Value);
      case pkChar: {
        std::string Text = JsonToText(Value);
        if (Text.size() > 1) Fail("expected a single character");
        return Text;
      }
      case pkString: return JsonToText(Value);
      case pkBoolean:
        if (!Value.is_boolean()) Fail("expected true or false");
        return Value.get<bool>();
      case pkEnumeration: {
        if (!Value.is_string() || !P.EnumType) Fail("expected the name of a value");
        const std::optional<unsigned> Ordinal = P.EnumType->OrdinalOf(Value.get<std::string>());
        if (!Ordinal) Fail("no value is named " + Value.get<std::string>());
        return static_cast<int64_t>(*Ordinal);
      }
      case pkSet: {
        if (!Value.is_array() || !P.EnumType) Fail("expected a list of value names");
        uint64_t Mask = 0;
        for (const TJson& Item : Value) {
          if (!Item.is_string()) Fail("expected the name of a value");
          const std::optional<unsigned> Ordinal = P.EnumType->OrdinalOf(Item.get<std::string>());
          if (!Ordinal || *Ordinal >= 64) Fail("no value is named " + Item.get<std::string>());
          Mask |= uint64_t(1) << *Ordinal;
        }
        return static_cast<int64_t>(Mask);
      }
      default: break;
    }
    Fail("the property cannot be stored");
  }

  void Assign(const TPropInfo& P, TObject& Instance, const TPropValue& Value) {
    try {
      P.Set(Instance, Value);
    } catch (const std::bad_variant_access&) {
      Fail("invalid value");
    } catch (const std::bad_any_cast&) {
      Fail("invalid value");
    }
  }

  void ResolveFixups() {
    for (const TFixup& F : Fixups_) {
      const std::vector<std::string> Saved = std::exchange(Path_, F.Where);
      TComponent* Target = Root_;
      for (const std::string& Name : F.Path) {
        Target = Name.empty() ? nullptr : Target->FindComponent(Name);
        if (!Target) Fail("refers to a component the stream does not hold");
      }
      Assign(*F.Property, *F.Instance, TPropValue(static_cast<TObject*>(Target)));
      if (std::get<TObject*>(F.Property->Get(*F.Instance)) != static_cast<TObject*>(Target))
        Fail("refers to a " + Target->ClassName() + ", which the property cannot hold");
      Path_ = Saved;
    }
  }

  // A failed read: the components it made go, the others leave the loading state.
  void Abandon() noexcept {
    for (TComponent* C : Loading_)
      if (!Created_.count(C)) EndFailedLoading(*C);
    for (auto It = Outermost_.rbegin(); It != Outermost_.rend(); ++It) delete *It;
    Loading_.clear();
    Seen_.clear();
    Outermost_.clear();
    Created_.clear();
  }

  class TReadingFiler final : public TFiler {
   public:
    using TTake = std::function<const TJson*(std::string_view)>;
    TReadingFiler(TJsonReader& R, TTake Take) : Reader_(R), Take_(std::move(Take)) {}
    void DefineProperty(std::string_view Name, const TReadProc& Read, const TWriteProc&, bool) override {
      const TJson* Value = Take_(Name);
      if (!Value) return;
      TPathPart Part(Reader_, std::string(Name));
      if (!Read) Reader_.Fail("the property cannot be read");
      // The value is read as the one item of a list of its own.
      const std::vector<TFrame> SavedFrames = std::exchange(Reader_.Frames_, {TFrame{Value, 0, true}});
      const size_t SavedBase = std::exchange(Reader_.Base_, 1);
      struct TRestore {
        TJsonReader& R;
        const std::vector<TFrame>& Frames;
        size_t Base;
        ~TRestore() {
          R.Frames_ = Frames;
          R.Base_ = Base;
        }
      } Restore{Reader_, SavedFrames, SavedBase};
      Read(Reader_);
      if (Reader_.Frames_.size() != 1) Reader_.Fail("a list was left open");
      if (!Reader_.EndOfList()) Reader_.Fail("unexpected data");
    }

   private:
    TJsonReader& Reader_;
    TTake Take_;
  };

  TComponent* Root_ = nullptr;
  std::vector<TFrame> Frames_;
  size_t Base_ = 0;
  int Depth_ = 0;
  std::vector<std::string> Path_;
  std::vector<TComponent*> Loading_;    // every component read, in reading order, once
  std::unordered_set<TComponent*> Seen_;
  std::vector<TComponent*> Outermost_;  // components made by this read whose owner was not
  std::unordered_set<TComponent*> Created_;
  std::vector<TFixup> Fixups_;
};

TJson Parse(std::string_view Text) {
  try {
    return TJson::parse(Text.begin(), Text.end());
  } catch (const TJson::exception& Error) {
    std::string Message = Error.what();
    // "[json.exception.parse_error.101] parse error at ...": the bracket says nothing to a host.
    if (!Message.empty() && Message.front() == '[') {
      const size_t End = Message.find("] ");
      if (End != std::string::npos) Message.erase(0, End + 2);
    }
    throw EStreamError("Invalid component stream: " + Message);
  }
}

std::string ReadAll(std::istream& Stream) {
  std::string Text((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
  if (Stream.bad()) throw EStreamError("Invalid component stream: the stream cannot be read");
  return Text;
}

std::string Dump(const TJson& Document) {
  try {
    return Document.dump(2);
  } catch (const TJson::exception& Error) {
    throw EStreamError(std::string("Component stream cannot be written: ") + Error.what());
  }
}

}  // namespace

// =============================================================================================
// Entry points
// =============================================================================================

std::string WriteComponentStream(const TComponent& Component) {
  TJsonWriter Writer(&Component);
  return Dump(Writer.ComponentObject(Component)) + "\n";
}

void WriteComponentStream(std::ostream& Stream, const TComponent& Component) {
  Stream << WriteComponentStream(Component);
}

void ReadComponentStream(std::string_view Text, TComponent& Component) {
  const TJson Document = Parse(Text);
  TJsonReader Reader;
  Reader.ReadRoot(Document, Component);
}

void ReadComponentStream(std::istream& Stream, TComponent& Component) {
  ReadComponentStream(std::string_view(ReadAll(Stream)), Component);
}

void WritePersistent(TWriter& Writer, const TPersistent& Object) {
  if (dynamic_cast<const TComponent*>(&Object))
    throw EStreamError(Format("A %s is a component: it is written as one", {Object.ClassName()}));
  Writer.WriteString(Object.ClassName());
  TOuterComponent Wrapper;
  Wrapper.SetInner(const_cast<TPersistent*>(&Object));
  Writer.WriteComponent(Wrapper);
}

Ref<TPersistent> ReadPersistent(TReader& Reader) {
  const std::string ClassName = Reader.ReadString();
  const TClass& Class = GetClass(ClassName);
  if (!Class.InheritsFrom(TPersistent::StaticClass()) || Class.InheritsFrom(TComponent::StaticClass()) ||
      !Class.Factory)
    throw EStreamError(Format("Invalid component stream: class %s is not a persistent object that can be created",
                              {ClassName}));
  TObject* Made = Class.CreateInstance();
  auto* Persistent = dynamic_cast<TPersistent*>(Made);
  if (!Persistent) {
    delete Made;
    throw EStreamError(Format("Invalid component stream: class %s did not make a persistent object", {ClassName}));
  }
  Ref<TPersistent> Object(Persistent);
  TOuterComponent Wrapper;
  Wrapper.SetInner(Object.get());
  Reader.ReadComponent(Wrapper);
  return Object;
}

void WritePersistent(std::ostream& Stream, const TPersistent& Object) {
  TJson Document = TJson::array();
  TJsonWriter Writer(nullptr);
  Writer.Open(Document);
  WritePersistent(Writer, Object);
  Writer.Close();
  Stream << Dump(Document) << "\n";
}

Ref<TPersistent> ReadPersistent(std::istream& Stream) {
  const TJson Document = Parse(ReadAll(Stream));
  TJsonReader Reader;
  Reader.ReadFrom(Document);
  Ref<TPersistent> Object = ReadPersistent(Reader);
  if (!Reader.EndOfList()) Reader.Fail("unexpected data after the object");
  return Object;
}

}  // namespace platform
