#include "Enum.h"

#include "Format.h"

namespace platform {

std::optional<unsigned> TEnumInfo::OrdinalOf(std::string_view Name) const noexcept {
  for (unsigned I = 0; I < Names.size(); ++I)
    if (SameText(Names[I], Name)) return I;
  return std::nullopt;
}

TEnumInfo MakeEnumInfo(std::string_view TypeName, std::string_view List) {
  TEnumInfo Info{TypeName, {}};
  size_t Pos = 0;
  while (Pos < List.size()) {
    size_t Comma = List.find(',', Pos);
    if (Comma == std::string_view::npos) Comma = List.size();
    std::string_view Item = List.substr(Pos, Comma - Pos);
    while (!Item.empty() && static_cast<unsigned char>(Item.front()) <= ' ') Item.remove_prefix(1);
    while (!Item.empty() && static_cast<unsigned char>(Item.back()) <= ' ') Item.remove_suffix(1);
    if (!Item.empty()) Info.Names.push_back(Item);
    Pos = Comma + 1;
  }
  return Info;
}

}  // namespace platform
