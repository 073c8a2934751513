// Published properties: per class, a table of name, kind, getter, setter and stored default.
// Component streaming, the object package and SwapEvents work from these tables.
//
// A class publishes properties by defining
//     static void DeclareProperties(platform::TPropertyList<TMyClass>& P) {
//       P.Add("Salience", &TMyClass::GetSalience, &TMyClass::SetSalience, 0);
//       P.Add("OnFire", &TMyClass::GetOnFire, &TMyClass::SetOnFire);
//     }
// The kind follows from the getter's type: 32-bit and 64-bit integers, characters, floats, text,
// booleans, named enumerations, sets, object pointers and events (std::function members).  A
// property of any other type (a structure, an array, a vector, a variant, a counted reference)
// is published with a kind of its own and travels as std::any: its value can be read and written
// through the table, but there is no conversion to text or numbers for it.  Tables include the
// parent's properties first.
#pragma once

#include <any>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "Enum.h"
#include "Exceptions.h"
#include "Object.h"
#include "Set.h"

namespace platform {

PLATFORM_ENUM(TPropKind, pkInteger, pkInt64, pkChar, pkFloat, pkString, pkBoolean, pkEnumeration, pkSet, pkObject,
              pkEvent, pkVariant, pkArray, pkRecord, pkInterface, pkDynArray)

// Kinds that carry their value as std::any and have no conversion to text or numbers.
constexpr bool IsOpaqueKind(TPropKind Kind) noexcept { return Kind >= pkVariant; }

// A property value in transit.  Integers, enumerations and sets travel as int64_t (sets as their
// bit mask), characters as a string of one character, events and the opaque kinds as std::any.
using TPropValue = std::variant<std::monostate, int64_t, double, std::string, bool, TObject*, std::any>;

struct TPropInfo {
  std::string Name;
  TPropKind Kind = pkInteger;
  std::function<TPropValue(const TObject&)> Get;
  std::function<void(TObject&, const TPropValue&)> Set;  // empty for read-only properties
  bool HasDefault = false;
  TPropValue Default;
  const TEnumInfo* EnumType = nullptr;  // enumerations and sets
  const void* EventType = nullptr;      // identifies the std::function type of an event
  const TClass* ObjectClass = nullptr;  // object references: the class the property holds

  bool IsStored(const TObject& Instance) const;  // false when the value equals the default
};

namespace detail {
template <class T>
struct IsStdFunction : std::false_type {};
template <class R, class... A>
struct IsStdFunction<std::function<R(A...)>> : std::true_type {};
template <class T>
struct IsTSet : std::false_type {};
template <class E, unsigned N>
struct IsTSet<TSet<E, N>> : std::true_type {
  using Enum = E;
};
template <class T>
struct IsStdArray : std::false_type {};
template <class T, size_t N>
struct IsStdArray<std::array<T, N>> : std::true_type {};
template <class T>
struct IsStdVector : std::false_type {};
template <class T, class A>
struct IsStdVector<std::vector<T, A>> : std::true_type {};
template <class T>
struct IsStdVariant : std::false_type {};
template <class... T>
struct IsStdVariant<std::variant<T...>> : std::true_type {};
// Counted references (Ref<T>, shared pointers): whatever dereferences to an object through ->.
template <class T>
concept IsReference = requires(const T& R) { R.operator->(); };
// The class an object property holds, when its pointee declares its class information.
template <class V>
const TClass* ObjectClassOf() noexcept {
  using T = std::remove_cv_t<std::remove_pointer_t<V>>;
  if constexpr (requires { T::StaticClass(); })
    return &T::StaticClass();
  else
    return nullptr;
}
template <class T>
const void* TypeKey() noexcept {
  static const char Key = 0;
  return &Key;
}
}  // namespace detail

template <class C>
class TPropertyList {
 public:
  explicit TPropertyList(std::vector<TPropInfo>& Target) : Target_(Target) {}

  // Getter: a const member function returning the value (or a const reference to it); Setter: a
  // member function taking it, or nullptr for a read-only property.
  template <class B, class G, class S>
  TPropInfo& Add(std::string Name, G (B::*Getter)() const, S Setter) {
    static_assert(std::is_base_of_v<B, C>);
    return AddImpl<std::remove_cvref_t<G>>(std::move(Name), Getter, Setter, false, {});
  }
  template <class B, class G, class S, class D>
  TPropInfo& Add(std::string Name, G (B::*Getter)() const, S Setter, D Default) {
    static_assert(std::is_base_of_v<B, C>);
    using V = std::remove_cvref_t<G>;
    return AddImpl<V>(std::move(Name), Getter, Setter, true, ToProp(static_cast<V>(Default)));
  }
  // A property stored in a data member (events are usually plain std::function members).
  template <class B, class V>
  TPropInfo& AddField(std::string Name, V B::*Member) {
    static_assert(std::is_base_of_v<B, C>);
    return AddAccess<V>(std::move(Name), [Member](C& O) -> V& { return O.*Member; });
  }
  // A property held elsewhere: Access leads from the instance to the storage (for example an
  // event of an object the instance owns).
  template <class V>
  TPropInfo& AddRef(std::string Name, V& (*Access)(C&)) {
    return AddAccess<V>(std::move(Name), Access);
  }

 private:
  template <class V, class A>
  TPropInfo& AddAccess(std::string Name, A Access) {
    TPropInfo Info;
    Info.Name = std::move(Name);
    Info.Kind = KindOf<V>();
    Info.Get = [Access](const TObject& O) -> TPropValue { return ToProp<V>(Access(const_cast<C&>(static_cast<const C&>(O)))); };
    Info.Set = [Access](TObject& O, const TPropValue& P) { Access(static_cast<C&>(O)) = FromProp<V>(P); };
    Describe<V>(Info);
    Target_.push_back(std::move(Info));
    return Target_.back();
  }

  // What a caller needs besides the value: the names of an enumeration or set, the handler type
  // of an event, the class an object property holds.
  template <class V>
  static void Describe(TPropInfo& Info) {
    if constexpr (std::is_enum_v<V> && !std::is_same_v<V, bool>) Info.EnumType = &EnumInfoOf(V{});
    if constexpr (detail::IsTSet<V>::value) Info.EnumType = &EnumInfoOf(typename detail::IsTSet<V>::Enum{});
    if constexpr (detail::IsStdFunction<V>::value) Info.EventType = detail::TypeKey<V>();
    if constexpr (std::is_pointer_v<V>) Info.ObjectClass = detail::ObjectClassOf<V>();
  }

  template <class V>
  static TPropValue ToProp(const V& Value) {
    if constexpr (std::is_same_v<V, bool>) return Value;
    else if constexpr (std::is_same_v<V, char>) return std::string(1, Value);
    else if constexpr (std::is_enum_v<V>) return static_cast<int64_t>(Value);
    else if constexpr (std::is_integral_v<V>) return static_cast<int64_t>(Value);
    else if constexpr (std::is_floating_point_v<V>) return static_cast<double>(Value);
    else if constexpr (std::is_convertible_v<V, std::string_view>) return std::string(Value);
    else if constexpr (detail::IsTSet<V>::value) return static_cast<int64_t>(Value.Mask());
    else if constexpr (std::is_pointer_v<V>) return static_cast<TObject*>(const_cast<std::remove_const_t<std::remove_pointer_t<V>>*>(Value));
    else return std::any(Value);  // events and the opaque kinds
  }

  template <class V>
  static V FromProp(const TPropValue& P) {
    if constexpr (std::is_same_v<V, bool>) return std::get<bool>(P);
    else if constexpr (std::is_same_v<V, char>) {
      const std::string& Text = std::get<std::string>(P);
      return Text.empty() ? '\0' : Text[0];
    } else if constexpr (std::is_enum_v<V>) return static_cast<V>(std::get<int64_t>(P));
    else if constexpr (std::is_integral_v<V>) return static_cast<V>(std::get<int64_t>(P));
    else if constexpr (std::is_floating_point_v<V>) return static_cast<V>(std::get<double>(P));
    else if constexpr (std::is_convertible_v<V, std::string_view>) return V(std::get<std::string>(P));
    else if constexpr (detail::IsTSet<V>::value) return V::FromMask(static_cast<typename V::TMask>(std::get<int64_t>(P)));
    else if constexpr (std::is_pointer_v<V>) return dynamic_cast<V>(std::get<TObject*>(P));
    else {
      const std::any& A = std::get<std::any>(P);
      return A.has_value() ? std::any_cast<V>(A) : V();
    }
  }

  template <class V>
  static constexpr TPropKind KindOf() {
    if constexpr (std::is_same_v<V, bool>) return pkBoolean;
    else if constexpr (std::is_same_v<V, char>) return pkChar;
    else if constexpr (std::is_enum_v<V>) return pkEnumeration;
    else if constexpr (std::is_integral_v<V>) return sizeof(V) > 4 ? pkInt64 : pkInteger;
    else if constexpr (std::is_floating_point_v<V>) return pkFloat;
    else if constexpr (std::is_convertible_v<V, std::string_view>) return pkString;
    else if constexpr (detail::IsTSet<V>::value) return pkSet;
    else if constexpr (std::is_pointer_v<V>) {
      static_assert(std::is_base_of_v<TObject, std::remove_cv_t<std::remove_pointer_t<V>>>,
                    "an object property points to a TObject");
      return pkObject;
    } else if constexpr (detail::IsStdFunction<V>::value) return pkEvent;
    else if constexpr (std::is_same_v<V, std::any> || detail::IsStdVariant<V>::value) return pkVariant;
    else if constexpr (std::is_array_v<V> || detail::IsStdArray<V>::value) return pkArray;
    else if constexpr (detail::IsStdVector<V>::value) return pkDynArray;
    else if constexpr (detail::IsReference<V>) return pkInterface;
    else {
      static_assert(std::is_class_v<V>, "unsupported property type");
      return pkRecord;
    }
  }

  template <class V, class G, class S>
  TPropInfo& AddImpl(std::string Name, G Getter, S Setter, bool HasDefault, TPropValue Default) {
    TPropInfo Info;
    Info.Name = std::move(Name);
    Info.Kind = KindOf<V>();
    Info.Get = [Getter](const TObject& O) -> TPropValue { return ToProp<V>((static_cast<const C&>(O).*Getter)()); };
    if constexpr (!std::is_same_v<S, std::nullptr_t>)
      Info.Set = [Setter](TObject& O, const TPropValue& P) { (static_cast<C&>(O).*Setter)(FromProp<V>(P)); };
    Info.HasDefault = HasDefault;
    Info.Default = std::move(Default);
    Describe<V>(Info);
    Target_.push_back(std::move(Info));
    return Target_.back();
  }

  std::vector<TPropInfo>& Target_;
};

namespace detail {
template <class T>
void DeclarePropertiesThunk(std::vector<TPropInfo>& Target) {
  TPropertyList<T> List(Target);
  T::DeclareProperties(List);
}
}  // namespace detail

// Every published property of Class, the parent's first.
const std::vector<const TPropInfo*>& GetPropList(const TClass& Class);
inline const std::vector<const TPropInfo*>& GetPropList(const TObject& Instance) {
  return GetPropList(Instance.ClassType());
}
// Case-insensitive look-up; nullptr when the class publishes no such property.
const TPropInfo* GetPropInfo(const TClass& Class, std::string_view Name);
TPropValue GetPropValue(const TObject& Instance, std::string_view Name);
// Raises EPropertyError for an unknown or read-only property.
void SetPropValue(TObject& Instance, std::string_view Name, const TPropValue& Value);
// Stores every property with a default into Instance.
void SetDefaults(TObject& Instance);

class EPropertyError : public Exception {
  using Exception::Exception;
};
// A text that names no value of an enumeration or set property.
class EPropertyConvertError : public Exception {
  using Exception::Exception;
};

// --- access by kind ---------------------------------------------------------------------------
// What a reflecting caller (the rule language's object functions, an editor) needs beyond the
// raw table: names in order, enumerations and sets as text.

// The names of every published property except events, sorted without regard to case.
std::vector<std::string> GetPropNames(const TClass& Class);
// "Invalid property type: pkRecord": the error for a kind a caller has no conversion for.
[[noreturn]] void RaiseInvalidPropertyType(TPropKind Kind);
// "Invalid property element: maybe" (EPropertyConvertError): a text naming no value.
[[noreturn]] void RaiseInvalidPropertyElement(std::string_view Text);
// The name of an enumeration property's value ("mdCalm").
std::string GetEnumProp(const TObject& Instance, const TPropInfo& Info);
// Sets an enumeration property by value name, in any case; an unknown name raises
// EPropertyConvertError.
void SetEnumProp(TObject& Instance, const TPropInfo& Info, std::string_view Name);
// A set property as "[a,b]": member names in ordinal order.
std::string GetSetProp(const TObject& Instance, const TPropInfo& Info);
// Sets a set property from member names separated by commas, with or without the brackets.
void SetSetProp(TObject& Instance, const TPropInfo& Info, std::string_view Text);
// The text form of a set mask and the mask of a text, for the enumeration Info names.
std::string SetToString(const TEnumInfo& Info, uint64_t Mask);
uint64_t StringToSet(const TEnumInfo& Info, std::string_view Text);

// Exchanges the values of every event property that both objects publish under the same name
// (and with the same handler type).
void SwapEvents(TObject& A, TObject& B);

}  // namespace platform
