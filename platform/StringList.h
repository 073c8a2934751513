// TStringList: ordered text entries, each carrying an optional object or number, and
// TOutlineNode: a tree of text nodes (what the editors draw as an outline).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Object.h"

namespace platform {

class TStringList : public TPersistent {
  PLATFORM_CLASS(TStringList, TPersistent)
 public:
  struct TEntry {
    std::string Text;
    TObject* Object = nullptr;  // not owned
    int64_t Data = 0;
  };

  int Count() const noexcept { return static_cast<int>(Items_.size()); }
  const std::string& Strings(int Index) const;
  void SetStrings(int Index, std::string Text);
  TObject* Objects(int Index) const;
  void SetObjects(int Index, TObject* Object);
  int64_t Data(int Index) const;
  void SetData(int Index, int64_t Value);

  int Add(std::string Text, TObject* Object = nullptr, int64_t Data = 0);
  void Insert(int Index, std::string Text, TObject* Object = nullptr, int64_t Data = 0);
  void Delete(int Index);
  void Clear() noexcept { Items_.clear(); }
  // First entry with this text (case-insensitive), or -1.
  int IndexOf(std::string_view Text) const noexcept;
  int IndexOfObject(const TObject* Object) const noexcept;
  // All entries joined, each followed by CR LF.
  std::string GetText() const;
  // Replaces the entries by the lines of Text (CR, LF or CR LF end a line).
  void SetText(std::string_view Text);
  // Appends the lines of Text.
  void AddText(std::string_view Text);

  void Assign(const TPersistent& Source) override;
  auto begin() const noexcept { return Items_.begin(); }
  auto end() const noexcept { return Items_.end(); }

 private:
  size_t Checked(int Index) const;
  std::vector<TEntry> Items_;
};

class TOutlineNode : public TPersistent {
  PLATFORM_CLASS(TOutlineNode, TPersistent)
 public:
  TOutlineNode() = default;
  explicit TOutlineNode(std::string Text) : Text(std::move(Text)) {}

  TOutlineNode& AddChild(std::string ChildText);
  int ChildCount() const noexcept { return static_cast<int>(Children.size()); }
  TOutlineNode& Child(int Index) const;

  std::string Text;
  std::vector<std::unique_ptr<TOutlineNode>> Children;
};

}  // namespace platform
