// Late-bound automation: values, objects invoked by member name, creation by ProgID and
// connection points. The program reaches the word processor only through these types, the way
// it would reach an automation server through IDispatch, so a COM back end can replace the
// in-process registry later without touching the callers.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wordlink {

class Dispatch;
using DispatchPtr = std::shared_ptr<Dispatch>;

// An automation failure: the member that failed and what went wrong.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::string member, std::string message);
  const std::string& member() const { return member_; }
  const std::string& message() const { return message_; }

 private:
  std::string member_;
  std::string message_;
};

enum class VarType { Empty, Missing, Bool, Int, Single, Double, String, Object };

enum class InvokeKind { Method, PropertyGet, PropertyPut };

class Variant;
using Args = std::vector<Variant>;

// A variant value. Conversions behave like the automation runtime's: numbers convert among
// themselves (to integers with round-half-to-even, overflow fails), text converts to a number
// only when it is one, Boolean True is -1, and an object or a missing argument converts to
// nothing else. A variant that holds an object is also the handle for calling it by member name.
class Variant {
 public:
  Variant() = default;
  Variant(bool v);
  Variant(int v);
  Variant(std::int64_t v) = delete;
  Variant(float v);
  Variant(double v);
  Variant(const char* v);
  Variant(std::string v);
  Variant(std::string_view v);
  Variant(DispatchPtr v);

  static Variant missing();

  VarType type() const { return type_; }
  bool isEmpty() const { return type_ == VarType::Empty; }
  bool isMissing() const { return type_ == VarType::Missing; }
  bool isObject() const { return type_ == VarType::Object && object_ != nullptr; }
  // Empty or missing: the argument was not given.
  bool isAbsent() const { return isEmpty() || isMissing(); }

  bool toBool() const;
  std::int32_t toInt() const;
  float toFloat() const;
  double toDouble() const;
  std::string toString() const;
  // The object reference; fails unless the variant holds an object.
  DispatchPtr toObject() const;

  // Calls on the held object, as a late-bound caller writes them.
  template <typename... A>
  Variant get(std::string_view member, A&&... args) const {
    Args list{Variant(std::forward<A>(args))...};
    return invoke(member, InvokeKind::PropertyGet, list);
  }
  template <typename... A>
  Variant call(std::string_view member, A&&... args) const {
    Args list{Variant(std::forward<A>(args))...};
    return invoke(member, InvokeKind::Method, list);
  }
  // Puts a property; the value travels as the last argument.
  void put(std::string_view member, const Variant& value) const;
  // The general form: arguments in declaration order, by-reference ones written back.
  Variant invoke(std::string_view member, InvokeKind kind, Args& args) const;

  // Same type and value; objects compare by identity.
  bool sameAs(const Variant& other) const;

 private:
  VarType type_ = VarType::Empty;
  bool bool_ = false;
  std::int32_t int_ = 0;
  double double_ = 0;  // also holds Single values, rounded to float on storage
  std::string string_;
  DispatchPtr object_;
};

// An event receiver, seen by the source as its outgoing interface.
class EventSink {
 public:
  virtual ~EventSink() = default;
  // Arguments in declaration order; by-reference arguments are read back by the source after
  // the call. The return value is the sink's result code (0 = success).
  virtual std::int32_t Invoke(std::int32_t dispId, Args& args) = 0;
};

// An object reachable by member name. Member names are matched ignoring case.
class Dispatch : public std::enable_shared_from_this<Dispatch> {
 public:
  virtual ~Dispatch() = default;
  // Arguments in declaration order; a skipped optional argument is Variant::missing(). A
  // property put passes the value as the last argument. Failures throw AutomationError.
  virtual Variant invoke(std::string_view member, InvokeKind kind, Args& args) = 0;

  // Connection points of an event source; plain objects have none.
  virtual std::optional<std::uint32_t> advise(std::string_view interfaceId,
                                              std::shared_ptr<EventSink> sink);
  virtual void unadvise(std::uint32_t cookie);
};

// Object creation by ProgID, standing in for the system's class registration.
using Factory = std::function<DispatchPtr()>;

void RegisterProgId(const std::string& progId, Factory factory);
void UnregisterProgId(const std::string& progId);
bool IsProgIdRegistered(const std::string& progId);
// Creates an instance; throws AutomationError when the ProgID is unknown or creation fails.
Variant CreateOleObject(const std::string& progId);

// Helpers for servers implementing Dispatch.
bool SameMember(std::string_view a, std::string_view b);
// The argument at a position, or missing when the caller gave fewer.
const Variant& ArgAt(const Args& args, std::size_t index);
// A by-reference argument slot, growing the list so the caller sees what is written.
Variant& RefArgAt(Args& args, std::size_t index);

}  // namespace wordlink
