// TFactSet: the deffacts construct as a component - a named list of fact texts, each line
// paired with the fact parsed from it, asserted into its engine on reset.
#pragma once

#include <cstdint>

#include <string>
#include <utility>
#include <vector>

#include "Fact.h"
#include "platform/Component.h"
#include "platform/Properties.h"

namespace platform {
class TFiler;
}

namespace rulecore {

class IFactsHost;
class TInferenceEngine;

// How often a set held by a fact-set list took another name, in the whole process.
uint64_t FactSetRenameCount() noexcept;

class TFactSet : public platform::TComponent {
  PLATFORM_CLASS(TFactSet, platform::TComponent)
 public:
  explicit TFactSet(platform::TComponent* Owner = nullptr);
  ~TFactSet() override;

  const TIEName& GetFactSetName() const noexcept { return FactSetName_; }
  void SetFactSetName(const TIEName& Value);
  const std::string& GetComment() const noexcept { return Comment_; }
  void SetComment(const std::string& Value) { Comment_ = Value; }
  TInferenceEngine* GetEngine() const noexcept { return Engine_; }
  // Kept by the fact-set list that holds the set: a listed set that takes another name counts
  // in FactSetRenameCount, so that the lists index their names afresh.
  void SetListed(bool Value) noexcept { Listed_ = Value; }
  // Joins the engine's fact sets (leaving the previous engine's); without an engine the lines
  // lose their parsed facts.
  void SetEngine(TInferenceEngine* Value);
  void SetEngineNoParse(TInferenceEngine* Value);
  // The published "Engine": the engine as a component (any other component counts as none).
  platform::TComponent* GetEngineComponent() const noexcept;
  void SetEngineComponent(platform::TComponent* Value);

  // --- the lines and their facts ---
  int GetCount() const noexcept { return static_cast<int>(Facts_.size()); }
  const std::string& GetLine(int Index) const;
  std::vector<std::string> GetLines() const;
  // The lines are taken over; their facts are parsed when first asked for.
  void SetFacts(const std::vector<std::string>& Lines);
  // Adds the fact's text as a line paired with the fact; returns its index.
  int AddFact(const IFact& Fact);
  // The fact paired with a line (nothing while the line is not parsed).
  IFact GetFact(int Index) const;
  void SetFact(int Index, const IFact& Fact);
  int IndexOf(const TFact* Fact) const noexcept;
  void Remove(const TFact* Fact);
  void Clear() noexcept { Facts_.clear(); }
  // Forgets the parsed facts of a template that is replaced or removed.
  void ForgetFactsOf(const TFactTemplate* Template) noexcept;

  void Assign(const platform::TPersistent& Source) override;
  TFactSet* Clone(platform::TComponent* Owner) const;
  std::string ToString() const;

  // Asserts a copy of each line's fact into the engine, its values evaluated in the engine's
  // context; a line the engine cannot read is left out.
  void Reset();

  // --- streaming ---
  // The lines are stored as "Facts"; a set read from a stream asserts its facts once loaded
  // (not while designed).  While loading, joining an engine does not read the lines yet: the
  // engine may not know their templates before it has loaded too.
  static void DeclareProperties(platform::TPropertyList<TFactSet>& P);
  static void DefineProperties(platform::TObject& Instance, platform::TFiler& Filer);
  void Loaded() override;

 protected:
  void Notification(platform::TComponent* Component, platform::TOperation Operation) override;

 private:
  size_t Checked(int Index) const;
  void Join(IFactsHost* Value);
  void SetHost(IFactsHost* Value, bool Parse);

  TIEName FactSetName_ = "FactSet";
  // Held by a fact-set list, which looks sets up by name (kept by the list).
  bool Listed_ = false;
  std::string Comment_;
  IFactsHost* Host_ = nullptr;
  TInferenceEngine* Engine_ = nullptr;  // Host_'s engine
  std::vector<std::pair<std::string, IFact>> Facts_;
};

}  // namespace rulecore
