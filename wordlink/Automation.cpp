#include "wordlink/Automation.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

namespace wordlink {

namespace {

std::string TypeName(VarType t) {
  switch (t) {
    case VarType::Empty:
      return "Empty";
    case VarType::Missing:
      return "Missing";
    case VarType::Bool:
      return "Boolean";
    case VarType::Int:
      return "Integer";
    case VarType::Single:
      return "Single";
    case VarType::Double:
      return "Double";
    case VarType::String:
      return "String";
    case VarType::Object:
      return "Object";
  }
  return "?";
}

[[noreturn]] void ConversionFailed(VarType from, const char* to) {
  throw AutomationError(
      "", "Could not convert variant of type (" + TypeName(from) + ") into type (" + to + ")");
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool ParseNumber(const std::string& text, double& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  for (char& c : t)
    if (c == ',') c = '.';
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::int32_t RoundToInt(double v) {
  double r = std::nearbyint(v);  // default rounding mode: half to even
  if (!(r >= double(std::numeric_limits<std::int32_t>::min()) &&
        r <= double(std::numeric_limits<std::int32_t>::max())))
    throw AutomationError("", "Arithmetic overflow converting to Integer");
  return std::int32_t(r);
}

std::map<std::string, Factory>& Factories() {
  static std::map<std::string, Factory> map;
  return map;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

}  // namespace

AutomationError::AutomationError(std::string member, std::string message)
    : std::runtime_error(member.empty() ? message : member + ": " + message),
      member_(std::move(member)),
      message_(std::move(message)) {}

Variant::Variant(bool v) : type_(VarType::Bool), bool_(v) {}
Variant::Variant(int v) : type_(VarType::Int), int_(v) {}
Variant::Variant(float v) : type_(VarType::Single), double_(v) {}
Variant::Variant(double v) : type_(VarType::Double), double_(v) {}
Variant::Variant(const char* v) : type_(VarType::String), string_(v ? v : "") {}
Variant::Variant(std::string v) : type_(VarType::String), string_(std::move(v)) {}
Variant::Variant(std::string_view v) : type_(VarType::String), string_(v) {}
Variant::Variant(DispatchPtr v)
    : type_(v ? VarType::Object : VarType::Empty), object_(std::move(v)) {}

Variant Variant::missing() {
  Variant v;
  v.type_ = VarType::Missing;
  return v;
}

bool Variant::toBool() const {
  switch (type_) {
    case VarType::Empty:
      return false;
    case VarType::Bool:
      return bool_;
    case VarType::Int:
      return int_ != 0;
    case VarType::Single:
    case VarType::Double:
      return double_ != 0;
    case VarType::String: {
      std::string t = Trim(string_);
      if (EqualsNoCase(t, "true")) return true;
      if (EqualsNoCase(t, "false")) return false;
      double d;
      if (ParseNumber(t, d)) return d != 0;
      ConversionFailed(type_, "Boolean");
    }
    default:
      ConversionFailed(type_, "Boolean");
  }
}

double Variant::toDouble() const {
  switch (type_) {
    case VarType::Empty:
      return 0;
    case VarType::Bool:
      return bool_ ? -1 : 0;
    case VarType::Int:
      return int_;
    case VarType::Single:
    case VarType::Double:
      return double_;
    case VarType::String: {
      double d;
      if (ParseNumber(string_, d)) return d;
      ConversionFailed(type_, "Double");
    }
    default:
      ConversionFailed(type_, "Double");
  }
}

float Variant::toFloat() const {
  double d = toDouble();
  if (std::fabs(d) > double(std::numeric_limits<float>::max()))
    throw AutomationError("", "Arithmetic overflow converting to Single");
  return float(d);
}

std::int32_t Variant::toInt() const {
  switch (type_) {
    case VarType::Int:
      return int_;
    case VarType::Object:
    case VarType::Missing:
      ConversionFailed(type_, "Integer");
    default:
      return RoundToInt(toDouble());
  }
}

std::string Variant::toString() const {
  switch (type_) {
    case VarType::Empty:
      return {};
    case VarType::Bool:
      return bool_ ? "True" : "False";
    case VarType::Int:
      return std::to_string(int_);
    case VarType::Single:
    case VarType::Double: {
      char buf[64];
      std::snprintf(buf, sizeof buf, type_ == VarType::Single ? "%.7g" : "%.15g", double_);
      return buf;
    }
    case VarType::String:
      return string_;
    default:
      ConversionFailed(type_, "String");
  }
}

DispatchPtr Variant::toObject() const {
  if (type_ != VarType::Object || !object_) ConversionFailed(type_, "Dispatch");
  return object_;
}

void Variant::put(std::string_view member, const Variant& value) const {
  Args list{value};
  invoke(member, InvokeKind::PropertyPut, list);
}

Variant Variant::invoke(std::string_view member, InvokeKind kind, Args& args) const {
  if (type_ != VarType::Object || !object_)
    throw AutomationError(std::string(member), "Variant does not reference an automation object");
  return object_->invoke(member, kind, args);
}

bool Variant::sameAs(const Variant& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case VarType::Empty:
    case VarType::Missing:
      return true;
    case VarType::Bool:
      return bool_ == other.bool_;
    case VarType::Int:
      return int_ == other.int_;
    case VarType::Single:
    case VarType::Double:
      return double_ == other.double_;
    case VarType::String:
      return string_ == other.string_;
    case VarType::Object:
      return object_ == other.object_;
  }
  return false;
}

std::optional<std::uint32_t> Dispatch::advise(std::string_view, std::shared_ptr<EventSink>) {
  return std::nullopt;
}

void Dispatch::unadvise(std::uint32_t) {}

void RegisterProgId(const std::string& progId, Factory factory) {
  Factories()[Lower(progId)] = std::move(factory);
}

void UnregisterProgId(const std::string& progId) {
  Factories().erase(Lower(progId));
}

bool IsProgIdRegistered(const std::string& progId) {
  return Factories().count(Lower(progId)) != 0;
}

Variant CreateOleObject(const std::string& progId) {
  auto it = Factories().find(Lower(progId));
  if (it == Factories().end())
    throw AutomationError(progId, "Invalid class string (the class is not registered)");
  DispatchPtr obj = it->second();
  if (!obj) throw AutomationError(progId, "Server execution failed");
  return Variant(obj);
}

bool SameMember(std::string_view a, std::string_view b) {
  return EqualsNoCase(a, b);
}

const Variant& ArgAt(const Args& args, std::size_t index) {
  static const Variant kMissing = Variant::missing();
  return index < args.size() ? args[index] : kMissing;
}

Variant& RefArgAt(Args& args, std::size_t index) {
  while (args.size() <= index) args.push_back(Variant::missing());
  return args[index];
}

}  // namespace wordlink
