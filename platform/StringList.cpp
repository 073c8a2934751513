#include "StringList.h"

#include "Exceptions.h"
#include "Format.h"

namespace platform {

size_t TStringList::Checked(int Index) const {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
  return static_cast<size_t>(Index);
}

const std::string& TStringList::Strings(int Index) const { return Items_[Checked(Index)].Text; }
void TStringList::SetStrings(int Index, std::string Text) { Items_[Checked(Index)].Text = std::move(Text); }
TObject* TStringList::Objects(int Index) const { return Items_[Checked(Index)].Object; }
void TStringList::SetObjects(int Index, TObject* Object) { Items_[Checked(Index)].Object = Object; }
int64_t TStringList::Data(int Index) const { return Items_[Checked(Index)].Data; }
void TStringList::SetData(int Index, int64_t Value) { Items_[Checked(Index)].Data = Value; }

int TStringList::Add(std::string Text, TObject* Object, int64_t Data) {
  Items_.push_back({std::move(Text), Object, Data});
  return Count() - 1;
}

void TStringList::Insert(int Index, std::string Text, TObject* Object, int64_t Data) {
  if (Index < 0 || Index > Count()) ListIndexError(Index);
  Items_.insert(Items_.begin() + Index, {std::move(Text), Object, Data});
}

void TStringList::Delete(int Index) { Items_.erase(Items_.begin() + static_cast<std::ptrdiff_t>(Checked(Index))); }

int TStringList::IndexOf(std::string_view Text) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (SameText(Items_[I].Text, Text)) return static_cast<int>(I);
  return -1;
}

int TStringList::IndexOfObject(const TObject* Object) const noexcept {
  for (size_t I = 0; I < Items_.size(); ++I)
    if (Items_[I].Object == Object) return static_cast<int>(I);
  return -1;
}

std::string TStringList::GetText() const {
  std::string Text;
  for (const TEntry& E : Items_) {
    Text += E.Text;
    Text += "\r\n";
  }
  return Text;
}

void TStringList::AddText(std::string_view Text) {
  size_t Start = 0;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] != '\r' && Text[I] != '\n') continue;
    Add(std::string(Text.substr(Start, I - Start)));
    if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    Start = I + 1;
  }
  if (Start < Text.size()) Add(std::string(Text.substr(Start)));
}

void TStringList::SetText(std::string_view Text) {
  Clear();
  AddText(Text);
}

void TStringList::Assign(const TPersistent& Source) {
  if (const auto* Other = dynamic_cast<const TStringList*>(&Source)) {
    if (Other != this) Items_ = Other->Items_;
    return;
  }
  TPersistent::Assign(Source);
}

TOutlineNode& TOutlineNode::AddChild(std::string ChildText) {
  Children.push_back(std::make_unique<TOutlineNode>(std::move(ChildText)));
  return *Children.back();
}

TOutlineNode& TOutlineNode::Child(int Index) const {
  if (Index < 0 || Index >= ChildCount()) ListIndexError(Index);
  return *Children[static_cast<size_t>(Index)];
}

}  // namespace platform
