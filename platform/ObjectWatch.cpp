#include "ObjectWatch.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct TWatch {
  void* Watcher;
  TObjectGoneProc Proc;
};

struct TWatchTable {
  std::mutex Lock;
  std::unordered_map<const TObject*, std::vector<TWatch>> ByObject;
};

TWatchTable& Watches() {
  static auto* Table = new TWatchTable;  // never destroyed: objects may die in static destructors
  return *Table;
}

}  // namespace

void WatchObject(const TObject& Object, void* Watcher, TObjectGoneProc Proc) {
  TWatchTable& Table = Watches();
  std::lock_guard Guard(Table.Lock);
  std::vector<TWatch>& List = Table.ByObject[&Object];
  for (const TWatch& W : List)
    if (W.Watcher == Watcher) return;
  List.push_back({Watcher, Proc});
  Object.Watched_ = true;
}

void UnwatchObject(const TObject& Object, void* Watcher) noexcept {
  TWatchTable& Table = Watches();
  std::lock_guard Guard(Table.Lock);
  const auto It = Table.ByObject.find(&Object);
  if (It == Table.ByObject.end()) return;
  std::erase_if(It->second, [Watcher](const TWatch& W) { return W.Watcher == Watcher; });
  if (It->second.empty()) Table.ByObject.erase(It);
}

int WatchCount(const TObject& Object) noexcept {
  TWatchTable& Table = Watches();
  std::lock_guard Guard(Table.Lock);
  const auto It = Table.ByObject.find(&Object);
  return It == Table.ByObject.end() ? 0 : static_cast<int>(It->second.size());
}

void detail::ObjectDestroyed(const TObject& Object) noexcept {
  TWatchTable& Table = Watches();
  std::lock_guard Guard(Table.Lock);
  const auto It = Table.ByObject.find(&Object);
  if (It == Table.ByObject.end()) return;
  // Taken out first: the address may be reused by the next object as soon as this one is gone.
  const std::vector<TWatch> List = std::move(It->second);
  Table.ByObject.erase(It);
  for (const TWatch& W : List) W.Proc(W.Watcher, Object);
}

}  // namespace platform
