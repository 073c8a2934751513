#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Collection.h"
#include "platform/ComponentStream.h"
#include "platform/Properties.h"

using namespace platform;
using TJson = nlohmann::ordered_json;

namespace {

PLATFORM_ENUM(TGadgetMode, gmIdle, gmRunning, gmStopped)
PLATFORM_ENUM(TGadgetFlag, gfRed, gfGreen, gfBlue)
using TGadgetFlags = TSet<TGadgetFlag, 3>;

std::vector<std::string>* LoadLog = nullptr;

// A persistent object a gadget holds as a property (as the engine holds its collections).
class TGadgetSettings : public TPersistent {
  PLATFORM_CLASS(TGadgetSettings, TPersistent)
 public:
  int32_t GetLevel() const noexcept { return Level_; }
  void SetLevel(int32_t Value) noexcept { Level_ = Value; }
  const std::string& GetNote() const noexcept { return Note_; }
  void SetNote(const std::string& Value) { Note_ = Value; }
  std::vector<std::string> Lines;  // stored as the named list "Lines"
  static void DeclareProperties(TPropertyList<TGadgetSettings>& P) {
    P.Add("Level", &TGadgetSettings::GetLevel, &TGadgetSettings::SetLevel, 0);
    P.Add("Note", &TGadgetSettings::GetNote, &TGadgetSettings::SetNote);
  }

 private:
  int32_t Level_ = 0;
  std::string Note_;
};

class TGadget : public TComponent {
  PLATFORM_CLASS(TGadget, TComponent)
 public:
  explicit TGadget(TComponent* Owner = nullptr) : TComponent(Owner) {}

  int32_t GetCount() const noexcept { return Count_; }
  void SetCount(int32_t Value) {
    if (Value < 0) throw Exception("Count must not be negative");
    Count_ = Value;
  }
  double GetRatio() const noexcept { return Ratio_; }
  void SetRatio(double Value) noexcept { Ratio_ = Value; }
  const std::string& GetLabel() const noexcept { return Label_; }
  void SetLabel(const std::string& Value) { Label_ = Value; }
  bool GetActive() const noexcept { return Active_; }
  void SetActive(bool Value) noexcept { Active_ = Value; }
  TGadgetMode GetMode() const noexcept { return Mode_; }
  void SetMode(TGadgetMode Value) noexcept { Mode_ = Value; }
  TGadgetFlags GetFlags() const noexcept { return Flags_; }
  void SetFlags(TGadgetFlags Value) noexcept { Flags_ = Value; }
  TGadget* GetPartner() const noexcept { return Partner_; }
  void SetPartner(TGadget* Value) noexcept { Partner_ = Value; }
  TGadgetSettings* GetSettings() const noexcept { return Settings_.get(); }
  std::function<void(TGadget*)> OnPing;

  // Stored as the named lists "Pairs" (each entry a name and a number) - what a package stores.
  std::vector<std::pair<std::string, int64_t>> Pairs;
  bool FailLoaded = false;
  int LoadedCount = 0;

  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCount;
    if (LoadLog) LoadLog->push_back(GetName());
    if (FailLoaded) throw Exception("cannot finish loading");
  }

  static void DeclareProperties(TPropertyList<TGadget>& P) {
    P.Add("Count", &TGadget::GetCount, &TGadget::SetCount, 3);
    P.Add("Ratio", &TGadget::GetRatio, &TGadget::SetRatio);
    P.Add("Label", &TGadget::GetLabel, &TGadget::SetLabel);
    P.Add("Active", &TGadget::GetActive, &TGadget::SetActive, true);
    P.Add("Mode", &TGadget::GetMode, &TGadget::SetMode, gmIdle);
    P.Add("Flags", &TGadget::GetFlags, &TGadget::SetFlags, TGadgetFlags{});
    P.Add("Partner", &TGadget::GetPartner, &TGadget::SetPartner);
    P.Add("Settings", &TGadget::GetSettings, nullptr);
    P.AddField("OnPing", &TGadget::OnPing);
  }

 private:
  int32_t Count_ = 3;
  double Ratio_ = 0;
  std::string Label_;
  bool Active_ = true;
  TGadgetMode Mode_ = gmIdle;
  TGadgetFlags Flags_;
  TGadget* Partner_ = nullptr;
  std::unique_ptr<TGadgetSettings> Settings_ = std::make_unique<TGadgetSettings>();
};

// Makes its owned parts itself: they stay out of the stream.
class TSealedGadget : public TGadget {
  PLATFORM_CLASS(TSealedGadget, TGadget)
 public:
  explicit TSealedGadget(TComponent* Owner = nullptr) : TGadget(Owner) { new TGadget(this); }
};

void DefineGadget(TObject& Instance, TFiler& Filer) {
  auto& G = static_cast<TGadget&>(Instance);
  Filer.DefineProperty(
      "Pairs",
      [&G](TReader& R) {
        G.Pairs.clear();
        R.ReadListBegin();
        while (!R.EndOfList()) {
          R.ReadListBegin();
          std::string Name = R.ReadString();
          const int64_t Value = R.ReadInteger();
          R.ReadListEnd();
          G.Pairs.emplace_back(std::move(Name), Value);
        }
        R.ReadListEnd();
      },
      [&G](TWriter& W) {
        W.WriteListBegin();
        for (const auto& [Name, Value] : G.Pairs) {
          W.WriteListBegin();
          W.WriteString(Name);
          W.WriteInteger(Value);
          W.WriteListEnd();
        }
        W.WriteListEnd();
      },
      !G.Pairs.empty());
}

void DefineSettings(TObject& Instance, TFiler& Filer) {
  auto& S = static_cast<TGadgetSettings&>(Instance);
  Filer.DefineProperty(
      "Lines", [&S](TReader& R) { S.Lines = R.ReadStrings(); }, [&S](TWriter& W) { W.WriteStrings(S.Lines); },
      !S.Lines.empty());
}

// A tree of parts: a collection whose items hold collections of their own.  An item publishes a
// label and a size and stores a named list "Notes".
class TParts;

class TPart : public TCollectionItem {
  PLATFORM_CLASS(TPart, TCollectionItem)
 public:
  TPart();
  ~TPart() override;
  const std::string& GetLabel() const noexcept { return Label_; }
  void SetLabel(const std::string& Value) { Label_ = Value; }
  int32_t GetSize() const noexcept { return Size_; }
  void SetSize(int32_t Value) { Size_ = Value; }
  TParts* GetChildren() const noexcept { return Children_.get(); }
  std::vector<std::string> Notes;
  static void DeclareProperties(TPropertyList<TPart>& P) {
    P.Add("Label", &TPart::GetLabel, &TPart::SetLabel);
    P.Add("Size", &TPart::GetSize, &TPart::SetSize, 1);
    P.Add("Children", &TPart::GetChildren, nullptr);
  }

 private:
  std::string Label_;
  int32_t Size_ = 1;
  std::unique_ptr<TParts> Children_;
};

class TBigPart : public TPart {
  PLATFORM_CLASS(TBigPart, TPart)
};

class TParts : public TCollection {
  PLATFORM_CLASS(TParts, TCollection)
 public:
  explicit TParts(TPersistent* Owner = nullptr) : TCollection(TPart::StaticClass(), Owner) {}
  TPart* Add(const std::string& Label, int32_t Size = 1) {
    auto* P = static_cast<TPart*>(TCollection::Add());
    P->SetLabel(Label);
    P->SetSize(Size);
    return P;
  }
  const std::string& GetTitle() const noexcept { return Title_; }
  void SetTitle(const std::string& Value) { Title_ = Value; }
  static void DeclareProperties(TPropertyList<TParts>& P) { P.Add("Title", &TParts::GetTitle, &TParts::SetTitle); }
  int WholeChanges = 0;

 protected:
  void Update(TCollectionItem* Item) override {
    if (!Item) ++WholeChanges;
    TCollection::Update(Item);
  }

 private:
  std::string Title_;
};

TPart::TPart() : Children_(std::make_unique<TParts>(this)) {}
TPart::~TPart() = default;

// Its items are stored by some other means.
class TSealedParts : public TParts {
  PLATFORM_CLASS(TSealedParts, TParts)
 public:
  using TParts::TParts;
};

class TAssembly : public TComponent {
  PLATFORM_CLASS(TAssembly, TComponent)
 public:
  explicit TAssembly(TComponent* Owner = nullptr) : TComponent(Owner) {}
  TParts* GetParts() const noexcept { return Parts_.get(); }
  TSealedParts* GetSealed() const noexcept { return Sealed_.get(); }
  static void DeclareProperties(TPropertyList<TAssembly>& P) {
    P.Add("Parts", &TAssembly::GetParts, nullptr);
    P.Add("Sealed", &TAssembly::GetSealed, nullptr);
  }

 private:
  std::unique_ptr<TParts> Parts_ = std::make_unique<TParts>(this);
  std::unique_ptr<TSealedParts> Sealed_ = std::make_unique<TSealedParts>(this);
};

void DefinePart(TObject& Instance, TFiler& Filer) {
  auto& P = static_cast<TPart&>(Instance);
  Filer.DefineProperty(
      "Notes", [&P](TReader& R) { P.Notes = R.ReadStrings(); }, [&P](TWriter& W) { W.WriteStrings(P.Notes); },
      !P.Notes.empty());
}

struct TRegistration {
  TRegistration() {
    RegisterClass<TGadget>();
    RegisterClass<TGadgetSettings>();
    RegisterClass<TSealedGadget>();
    RegisterClass<TAssembly>();
    RegisterDefineProperties(TGadget::StaticClass(), DefineGadget);
    RegisterDefineProperties(TGadgetSettings::StaticClass(), DefineSettings);
    RegisterDefineProperties(TPart::StaticClass(), DefinePart);
    RegisterStoresOwned(TSealedGadget::StaticClass(), false);
    RegisterStoresItems(TSealedParts::StaticClass(), false);
  }
};
const TRegistration Registration;

TJson Json(const TComponent& C) { return TJson::parse(WriteComponentStream(C)); }

// A root holding two gadgets, the second owning a third that refers back to the first.
struct TTree {
  TComponent Root;
  TGadget* A = new TGadget(&Root);
  TGadget* B = new TGadget(&Root);
  TGadget* C = new TGadget(B);
  TTree() {
    Root.SetName("Form");
    A->SetName("A");
    B->SetName("B");
    C->SetName("C");
    A->SetCount(0);
    A->SetRatio(16.35641);
    A->SetLabel("say \"hi\"\\ \r\n");
    A->SetActive(false);
    A->SetMode(gmStopped);
    A->SetFlags({gfRed, gfBlue});
    A->GetSettings()->SetLevel(-7);
    A->GetSettings()->Lines = {"(one)", "(two \"2\")"};
    A->Pairs = {{"x", 1}, {"y", -9007199254740993}};
    A->OnPing = [](TGadget*) {};
    B->SetRatio(1e-300);
    C->SetPartner(A);
    C->SetLabel("C's");
  }
};

}  // namespace

TEST(ComponentStream, WritesClassNameStoredValuesAndOwnedComponents) {
  TGadget Plain;
  const TJson Empty = Json(Plain);
  EXPECT_EQ(Empty, (TJson{{"class", "TGadget"}})) << Empty.dump();

  TTree T;
  const TJson Doc = Json(T.Root);
  EXPECT_EQ(Doc["class"], "TComponent");
  EXPECT_EQ(Doc["name"], "Form");
  ASSERT_EQ(Doc["components"].size(), 2u);
  const TJson& A = Doc["components"][0];
  EXPECT_EQ(A["name"], "A");
  // Published properties in table order, then the class's own data; defaults and events left out.
  std::vector<std::string> Keys;
  for (const auto& Item : A["properties"].items()) Keys.push_back(Item.key());
  EXPECT_EQ(Keys, (std::vector<std::string>{"Count", "Ratio", "Label", "Active", "Mode", "Flags", "Settings", "Pairs"}));
  EXPECT_EQ(A["properties"]["Count"], 0);
  EXPECT_EQ(A["properties"]["Mode"], "gmStopped");
  EXPECT_EQ(A["properties"]["Flags"], TJson::array({"gfRed", "gfBlue"}));
  EXPECT_EQ(A["properties"]["Settings"], (TJson{{"Level", -7}, {"Lines", {"(one)", "(two \"2\")"}}}));
  EXPECT_FALSE(A.contains("components"));
  // A reference names the way from the root.
  EXPECT_EQ(Doc["components"][1]["components"][0]["properties"]["Partner"], TJson::array({"A"}));
  EXPECT_EQ(Doc["components"][1]["properties"], (TJson{{"Ratio", 1e-300}}));
}

TEST(ComponentStream, ReadingRebuildsTheTreeAndLoadsEachComponentOnce) {
  TTree T;
  const std::string Text = WriteComponentStream(T.Root);

  std::vector<std::string> Order;
  LoadLog = &Order;
  TComponent Root;
  ReadComponentStream(Text, Root);
  LoadLog = nullptr;
  EXPECT_EQ(Root.GetName(), "Form");
  ASSERT_EQ(Root.GetComponentCount(), 2);
  auto* A = dynamic_cast<TGadget*>(Root.GetComponent(0));
  auto* B = dynamic_cast<TGadget*>(Root.GetComponent(1));
  ASSERT_TRUE(A && B);
  ASSERT_EQ(B->GetComponentCount(), 1);
  auto* C = dynamic_cast<TGadget*>(B->GetComponent(0));
  ASSERT_TRUE(C);
  EXPECT_EQ(Order, (std::vector<std::string>{"A", "B", "C"}));
  for (TGadget* G : {A, B, C}) {
    EXPECT_EQ(G->LoadedCount, 1);
    EXPECT_FALSE(G->IsLoading());
  }
  EXPECT_FALSE(Root.IsLoading());

  EXPECT_EQ(A->GetCount(), 0);
  EXPECT_EQ(A->GetRatio(), 16.35641);
  EXPECT_EQ(A->GetLabel(), T.A->GetLabel());
  EXPECT_FALSE(A->GetActive());
  EXPECT_EQ(A->GetMode(), gmStopped);
  EXPECT_EQ(A->GetFlags(), (TGadgetFlags{gfRed, gfBlue}));
  EXPECT_EQ(A->GetSettings()->GetLevel(), -7);
  EXPECT_EQ(A->GetSettings()->Lines, T.A->GetSettings()->Lines);
  EXPECT_EQ(A->Pairs, T.A->Pairs);
  EXPECT_FALSE(A->OnPing);
  EXPECT_EQ(B->GetRatio(), 1e-300);
  EXPECT_EQ(B->GetCount(), 3);
  EXPECT_EQ(C->GetPartner(), A);
  EXPECT_EQ(WriteComponentStream(Root), Text);

  // Reading again into the same tree reuses the components of the stored names.
  ReadComponentStream(Text, Root);
  EXPECT_EQ(Root.GetComponentCount(), 2);
  EXPECT_EQ(Root.GetComponent(0), A);
  EXPECT_EQ(A->LoadedCount, 2);
}

TEST(ComponentStream, TextNumbersAndReferencesSurviveExactly) {
  TComponent Root;
  auto* G = new TGadget(&Root);
  G->SetName("G");
  std::string Bytes;
  for (int I = 1; I < 256; ++I) Bytes += static_cast<char>(I);
  G->SetLabel(Bytes);  // not UTF-8: every byte must come back
  G->GetSettings()->Lines = {"caf\xc3\xa9", std::string("nul\0inside", 10), "\xff\xfe"};
  G->SetPartner(G);
  for (const double Value : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 0.1, -2.5e-308, 1.7976931348623157e308}) {
    G->SetRatio(Value);
    TComponent Copy;
    ReadComponentStream(WriteComponentStream(Root), Copy);
    auto* Read = dynamic_cast<TGadget*>(Copy.GetComponent(0));
    ASSERT_TRUE(Read);
    if (std::isnan(Value))
      EXPECT_TRUE(std::isnan(Read->GetRatio()));
    else
      EXPECT_EQ(Read->GetRatio(), Value);
    EXPECT_EQ(Read->GetLabel(), Bytes);
    EXPECT_EQ(Read->GetSettings()->Lines, G->GetSettings()->Lines);
    EXPECT_EQ(Read->GetPartner(), Read);
  }
  // Valid UTF-8 stays readable text in the document.
  EXPECT_EQ(Json(Root)["components"][0]["properties"]["Settings"]["Lines"][0], "caf\xc3\xa9");
}

TEST(ComponentStream, ComponentsThatBuildTheirOwnPartsKeepThemOut) {
  TComponent Root;
  auto* S = new TSealedGadget(&Root);
  S->SetName("S");
  EXPECT_FALSE(Json(Root)["components"][0].contains("components"));
  // A reference to such a part cannot be restored from the stream, so it is not written.
  auto* Other = new TGadget(&Root);
  Other->SetName("O");
  S->GetComponent(0)->SetName("Inner");
  Other->SetPartner(static_cast<TGadget*>(S->GetComponent(0)));
  EXPECT_FALSE(Json(Root)["components"][1].contains("properties"));

  TComponent Copy;
  ReadComponentStream(WriteComponentStream(Root), Copy);
  ASSERT_EQ(Copy.GetComponentCount(), 2);
  EXPECT_EQ(Copy.GetComponent(0)->GetComponentCount(), 1);  // the one its constructor made
  EXPECT_THROW(ReadComponentStream(R"({"class":"TComponent","components":[{"class":"TSealedGadget",
      "components":[{"class":"TGadget"}]}]})", Copy),
               EStreamError);
}

TEST(ComponentStream, CorruptInputRaisesAClearErrorAndLeavesTheTreeAsItWas) {
  const std::string Deep = std::string(200000, '[') + std::string(200000, ']');
  std::string DeepComponents = R"({"class":"TComponent")";
  for (int I = 0; I < 150; ++I) DeepComponents += R"(,"components":[{"class":"TGadget")";
  for (int I = 0; I < 150; ++I) DeepComponents += "}]";
  DeepComponents += "}";
  struct TCase {
    std::string Text;
    std::string Message;  // part of the error text
  };
  const std::vector<TCase> Cases = {
      {"", "parse error"},
      {Deep, "Invalid component stream"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Pairs":)" + Deep + "}}]}",
       "expected a string"},
      {DeepComponents, "nested too deeply"},
      {"[]", "expected a component object"},
      {R"({"name":"x"})", "without a class"},
      {R"({"class":"TGadget"})", "a TGadget cannot be read into a TComponent"},
      {R"({"class":"TComponent","extra":1})", "unknown entry"},
      {R"({"class":"TComponent","properties":{"Count":1}})", "has no property Count"},
      {R"({"class":"TComponent","components":{}})", "expected a list of components"},
      {R"({"class":"TComponent","components":[{"class":"TNoSuchGadget"}]})", "class TNoSuchGadget not found"},
      {R"({"class":"TComponent","components":[{"class":"TGadgetSettings"}]})", "not a component class"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Count":"7"}}]})",
       "TGadget.Count: expected an integer"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Count":4294967296}}]})",
       "integer out of range"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Mode":"gmFlying"}}]})",
       "no value is named gmFlying"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Flags":["gfRed",3]}}]})",
       "expected the name of a value"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Label":{"latin1":"\u0100"}}}]})",
       "expected a string"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"OnPing":1}}]})", "events are not stored"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Partner":["Nobody"]}}]})",
       "refers to a component the stream does not hold"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Partner":[]}}]})",
       "which the property cannot hold"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Settings":[]}}]})", "read-only"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Pairs":[["x",1,2]]}}]})",
       "unexpected items at the end of a list"},
      {R"({"class":"TComponent","components":[{"class":"TGadget","properties":{"Count":-1}}]})",
       "Count must not be negative"},
  };
  for (const TCase& Case : Cases) {
    TComponent Root;
    auto* Kept = new TGadget(&Root);
    Kept->SetName("G");
    try {
      ReadComponentStream(Case.Text, Root);
      ADD_FAILURE() << "accepted: " << Case.Text.substr(0, 200);
    } catch (const Exception& Error) {
      EXPECT_NE(std::string(Error.what()).find(Case.Message), std::string::npos)
          << Error.what() << "\n  for: " << Case.Text.substr(0, 200);
    }
    // What the failed read made is gone; what was there is no longer loading.
    EXPECT_EQ(Root.GetComponentCount(), 1) << Case.Text.substr(0, 200);
    EXPECT_FALSE(Root.IsLoading());
    EXPECT_FALSE(Kept->IsLoading());
  }
}

TEST(ComponentStream, AFailedLoadedStillEndsLoadingEverywhere) {
  TTree T;
  const std::string Text = WriteComponentStream(T.Root);
  TComponent Root;
  auto* A = new TGadget(&Root);
  A->SetName("A");
  A->FailLoaded = true;
  EXPECT_THROW(ReadComponentStream(Text, Root), Exception);
  ASSERT_EQ(Root.GetComponentCount(), 2);
  EXPECT_FALSE(Root.IsLoading());
  EXPECT_FALSE(Root.GetComponent(1)->IsLoading());
  EXPECT_FALSE(Root.GetComponent(1)->GetComponent(0)->IsLoading());
}

TEST(ComponentStream, PersistentObjectsTravelByClassNameInAWrapper) {
  TGadgetSettings Settings;
  Settings.SetLevel(12);
  Settings.SetNote("n");
  Settings.Lines = {"a", "b"};
  std::stringstream Stream;
  WritePersistent(Stream, Settings);
  const TJson Doc = TJson::parse(Stream.str());
  EXPECT_EQ(Doc[0], "TGadgetSettings");
  EXPECT_EQ(Doc[1]["class"], "TOuterComponent");
  EXPECT_EQ(Doc[1]["properties"]["Inner"]["Level"], 12);

  Ref<TPersistent> Read = ReadPersistent(Stream);
  auto* Copy = dynamic_cast<TGadgetSettings*>(Read.get());
  ASSERT_TRUE(Copy);
  EXPECT_EQ(Copy->GetLevel(), 12);
  EXPECT_EQ(Copy->GetNote(), "n");
  EXPECT_EQ(Copy->Lines, Settings.Lines);

  std::stringstream Unknown(R"(["TNoSuchSettings", {"class": "TOuterComponent"}])");
  EXPECT_THROW(ReadPersistent(Unknown), EClassNotFound);
  std::stringstream Component(R"(["TGadget", {"class": "TOuterComponent"}])");
  EXPECT_THROW(ReadPersistent(Component), EStreamError);
  std::stringstream Trailing(R"(["TGadgetSettings", {"class": "TOuterComponent"}, 1])");
  EXPECT_THROW(ReadPersistent(Trailing), EStreamError);
  TGadget G;
  EXPECT_THROW(WritePersistent(Stream, G), EStreamError);
}

// --- collections -------------------------------------------------------------------------------

TEST(ComponentStream, CollectionsStoreTheirItemsNestedAndReadThemBack) {
  TAssembly A;
  TParts& Parts = *A.GetParts();
  Parts.SetTitle("main");
  Parts.Add("axle", 3)->Notes = {"steel", "\xff"};
  TParts& Wheel = *Parts.Add("wheel", 0)->GetChildren();
  Wheel.Add("rim");
  Wheel.Add("hub")->GetChildren()->Add("bearing", 8);
  Parts.Add("");  // everything at its default: an empty object keeps the item's place
  A.GetSealed()->Add("kept out");
  const std::string Text = WriteComponentStream(A);
  const TJson Doc = TJson::parse(Text);
  const TJson& Stored = Doc["properties"]["Parts"];
  EXPECT_EQ(Stored["properties"], (TJson{{"Title", "main"}}));
  ASSERT_EQ(Stored["items"].size(), 3u);
  EXPECT_EQ(Stored["items"][0], (TJson{{"Label", "axle"}, {"Size", 3}, {"Notes", {"steel", {{"latin1", "\xc3\xbf"}}}}}));
  EXPECT_EQ(Stored["items"][1]["Children"]["items"][1]["Children"]["items"][0],
            (TJson{{"Label", "bearing"}, {"Size", 8}}));
  EXPECT_EQ(Stored["items"][2], TJson::object());
  EXPECT_FALSE(Doc["properties"].contains("Sealed"));
  EXPECT_FALSE(Json(TAssembly()).contains("properties"));  // empty collections are left out

  // Read into an assembly that holds other parts: the stored ones replace them, in one change.
  TAssembly Copy;
  for (const char* Old : {"a", "b", "c", "d"}) Copy.GetParts()->Add(Old)->GetChildren()->Add("x");
  Copy.GetParts()->WholeChanges = 0;
  ReadComponentStream(Text, Copy);
  EXPECT_EQ(WriteComponentStream(Copy), Text);
  EXPECT_EQ(Copy.GetParts()->WholeChanges, 1);
}

TEST(ComponentStream, CollectionsRefuseWhatCannotComeBack) {
  // Reading makes items of the collection's class: an item of another class is not written.
  TAssembly A;
  Ref<TBigPart> Big(new TBigPart);
  Big->SetCollection(A.GetParts());
  EXPECT_THROW(WriteComponentStream(A), EStreamError);

  std::string Deep = R"({"class":"TAssembly","properties":{"Parts":)";
  for (int I = 0; I < 120; ++I) Deep += R"({"items":[{"Children":)";
  Deep += "{}";
  for (int I = 0; I < 120; ++I) Deep += "}]}";
  Deep += "}}";
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {R"({"class":"TAssembly","properties":{"Parts":{"items":{}}}})", "expected a list of items"},
      {R"({"class":"TAssembly","properties":{"Parts":{"items":[{}, 3]}}})",
       "Parts[1]: expected an object of properties"},
      {R"({"class":"TAssembly","properties":{"Parts":{"items":[{"Children":{"items":[{"Size":"big"}]}}]}}})",
       "Parts[0].Children[0].Size: expected an integer"},
      {R"({"class":"TAssembly","properties":{"Parts":{"Title":"t"}}})", "unknown entry \"Title\" in a collection"},
      {R"({"class":"TAssembly","properties":{"Sealed":{"items":[{}]}}})", "a TSealedParts keeps its items out"},
      {Deep, "nested too deeply"},
  };
  for (const auto& [Text, Message] : Cases) {
    TAssembly Target;
    try {
      ReadComponentStream(Text, Target);
      ADD_FAILURE() << "accepted: " << Text.substr(0, 200);
    } catch (const EStreamError& Error) {
      EXPECT_NE(std::string(Error.what()).find(Message), std::string::npos) << Error.what();
    }
    EXPECT_FALSE(Target.IsLoading());
    EXPECT_EQ(Target.GetParts()->GetUpdateCount(), 0);  // no bracket is left open
  }
}
