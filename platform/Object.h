// The root of the object model: TObject with run-time class information and the intrusive
// reference count, TPersistent with assignment, and the process-wide class registry.
//
// Every object carries one atomic reference count.  Objects handled through Ref<T> (values,
// facts, lists, ...) are freed by their last release; objects that are never put in a Ref
// (components, nodes) simply never touch the count.  Depends on nothing but the standard library.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace platform {

class TObject;
class TComponent;
struct TPropInfo;
template <class C>
class TPropertyList;

// Run-time description of a class: its name, its parent and how to make an instance by name.
struct TClass {
  using TFactory = TObject* (*)(TComponent* Owner);
  using TDeclareProperties = void (*)(std::vector<TPropInfo>& Target);

  const char* Name;
  const TClass* Parent;
  TFactory Factory;  // nullptr for abstract classes and classes without a usable constructor
  TDeclareProperties DeclareProperties = nullptr;  // the class's own published properties

  bool InheritsFrom(const TClass& Other) const noexcept;
  // Creates an instance; components get Owner, other classes the plain constructor.
  TObject* CreateInstance(TComponent* Owner = nullptr) const;
};

namespace detail {
template <class T>
TClass::TFactory FactoryFor() noexcept {
  if constexpr (std::is_abstract_v<T>) {
    return nullptr;
  } else if constexpr (std::is_constructible_v<T, TComponent*>) {
    return [](TComponent* Owner) -> TObject* { return new T(Owner); };
  } else if constexpr (std::is_default_constructible_v<T>) {
    return [](TComponent*) -> TObject* { return new T(); };
  } else {
    return nullptr;
  }
}
// Defined in Properties.h, which every class that publishes properties includes.
template <class T>
void DeclarePropertiesThunk(std::vector<TPropInfo>& Target);

template <class T>
TClass::TDeclareProperties PropertiesFor() noexcept {
  if constexpr (requires(TPropertyList<T>& L) { T::DeclareProperties(L); })
    return &DeclarePropertiesThunk<T>;
  else
    return nullptr;
}
}  // namespace detail

// Declares the class information of a class derived from TObject.  Place it first in the class
// body; it leaves the access at private.
#define PLATFORM_CLASS(Self, ParentClass)                                                       \
 public:                                                                                       \
  static const ::platform::TClass& StaticClass() noexcept {                                    \
    static const ::platform::TClass Info{#Self, &ParentClass::StaticClass(),                   \
                                         ::platform::detail::FactoryFor<Self>(),               \
                                         ::platform::detail::PropertiesFor<Self>()};           \
    return Info;                                                                               \
  }                                                                                            \
  const ::platform::TClass& ClassType() const noexcept override { return StaticClass(); }     \
                                                                                               \
 private:

class TObject {
 public:
  TObject() noexcept = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();

  static const TClass& StaticClass() noexcept;
  virtual const TClass& ClassType() const noexcept { return StaticClass(); }
  std::string ClassName() const { return ClassType().Name; }
  bool InheritsFrom(const TClass& Class) const noexcept { return ClassType().InheritsFrom(Class); }
  template <class T>
  bool Is() const noexcept {
    return dynamic_cast<const T*>(this) != nullptr;
  }

  // --- reference counting (used through Ref<T>) ---
  // A count at or above ImmortalCount marks an object that lives for the whole process; adding
  // and releasing references to it writes nothing, so threads can share it freely.
  static constexpr int32_t ImmortalCount = 1 << 30;

  void AddRef() const noexcept {
    if (RefCount_.load(std::memory_order_relaxed) < ImmortalCount)
      RefCount_.fetch_add(1, std::memory_order_relaxed);
  }
  void Release() const noexcept {
    if (RefCount_.load(std::memory_order_relaxed) >= ImmortalCount) return;
    const int32_t Left = RefCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (Left == 0)
      DestroyCounted();
    else if (HasReleaseHook_)
      ReleaseHook(Left);
  }
  int32_t RefCount() const noexcept { return RefCount_.load(std::memory_order_relaxed); }
  bool IsImmortal() const noexcept { return RefCount() >= ImmortalCount; }
  // Marks this object as living until the process ends.
  void MakeImmortal() noexcept { RefCount_.store(ImmortalCount, std::memory_order_relaxed); }

 protected:
  // Objects that must act when their count falls to a particular value (to break a reference
  // cycle they own) enable the hook; it is called after each release that leaves Left > 0.
  void EnableReleaseHook() noexcept { HasReleaseHook_ = true; }
  virtual void ReleaseHook(int32_t Left) const noexcept { (void)Left; }

  struct TImmortal {};
  // Constant-initialisable form for objects defined as immortal globals.
  explicit constexpr TObject(TImmortal) noexcept : RefCount_(ImmortalCount) {}

 private:
  void DestroyCounted() const noexcept;
  friend void WatchObject(const TObject&, void*, void (*)(void*, const TObject&) noexcept);
  mutable std::atomic<int32_t> RefCount_{0};
  bool HasReleaseHook_ = false;
  // Set once someone watches this object (ObjectWatch.h): the destructor tells the watchers.
  mutable bool Watched_ = false;

 protected:
  // A byte of flags for the subclass's own use.  Declared after the count so that it sits where
  // the object would have padding: a subclass keeps a rare field in a side table, marked here,
  // at the cost of no byte of its own.
  uint8_t SubclassFlags_ = 0;
};

// An object that can copy its contents from another.  The default Assign asks the source to
// assign itself to this object, and AssignTo fails with the standard assignment error.
class TPersistent : public TObject {
  PLATFORM_CLASS(TPersistent, TObject)
 public:
  TPersistent() noexcept = default;
  virtual void Assign(const TPersistent& Source);
  virtual void AssignTo(TPersistent& Dest) const;

 protected:
  explicit constexpr TPersistent(TImmortal Tag) noexcept : TObject(Tag) {}
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// --- class registry -------------------------------------------------------------------------
// Filled at start-up by the libraries; look-ups are case-insensitive as class names are.
void RegisterClass(const TClass& Class);
void UnRegisterClass(const TClass& Class);
const TClass* FindClass(std::string_view Name) noexcept;
// As FindClass, but a missing class raises EClassNotFound.
const TClass& GetClass(std::string_view Name);
TObject* CreateObjectByName(std::string_view Name, TComponent* Owner = nullptr);

template <class T>
void RegisterClass() {
  RegisterClass(T::StaticClass());
}

// dynamic_cast for hot paths on which one dynamic type dominates (the evaluation context handed
// to every value and call): each thread remembers the last dynamic type it met and where To
// lies inside it, so a repeat costs a type compare instead of a walk of the class hierarchy.
// The offset is fixed for a complete object of a given type, as long as TObject is a single,
// unambiguous base of it - which holds for every class of the object model.
template <class To>
To* CachedCast(TObject* From) noexcept {
  if (!From) return nullptr;
  struct TLast {
    const std::type_info* Type = nullptr;
    std::ptrdiff_t Offset = 0;
    bool Matches = false;
  };
  // initial-exec: a plain offset from the thread pointer instead of a __tls_get_addr call per
  // cast (the libraries are linked by their hosts, not opened late).
  static thread_local TLast Last __attribute__((tls_model("initial-exec")));
  const std::type_info& Type = typeid(*From);
  char* const Base = reinterpret_cast<char*>(From);
  if (Last.Type == &Type) return Last.Matches ? reinterpret_cast<To*>(Base + Last.Offset) : nullptr;
  To* Result = dynamic_cast<To*>(From);
  Last = {&Type, Result ? reinterpret_cast<char*>(Result) - Base : 0, Result != nullptr};
  return Result;
}

}  // namespace platform
