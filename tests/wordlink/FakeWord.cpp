#include "FakeWord.h"

#include <algorithm>

namespace fake {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::string Describe(std::string_view member, const Args& args) {
  std::string text(member);
  text += "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) text += ",";
    text += args[i].isMissing()                           ? "~"
            : args[i].type() == wordlink::VarType::Object ? "obj"
                                                          : args[i].toString();
  }
  return text + ")";
}

std::shared_ptr<FakeObject> MakeShapes(std::shared_ptr<FakeDoc> doc) {
  auto shapes = std::make_shared<FakeObject>();
  shapes->methods["count"] = [doc](Args&) -> Variant {
    if (doc->failShapes) throw wordlink::AutomationError("Count", "shapes unreadable");
    return int(doc->shapeNames.size());
  };
  shapes->methods["item"] = [doc](Args& a) -> Variant {
    std::size_t i = std::size_t(a.at(0).toInt() - 1);
    auto shape = std::make_shared<FakeObject>();
    shape->props["name"] = doc->shapeNames.at(i);
    shape->methods["visible"] = [doc, i](Args& v) -> Variant {
      if (!v.empty()) doc->shapeVisible.at(i) = v.back().toBool();
      return bool(doc->shapeVisible.at(i));
    };
    return Variant(std::static_pointer_cast<wordlink::Dispatch>(shape));
  };
  return shapes;
}

}  // namespace

Variant FakeObject::invoke(std::string_view member, InvokeKind kind, Args& args) {
  if (dead) throw wordlink::AutomationError(std::string(member), "The RPC server is unavailable");
  std::string key = Lower(member);
  if (kind == InvokeKind::Method) calls.push_back(Describe(member, args));
  auto m = methods.find(key);
  if (m != methods.end()) return m->second(args);
  if (kind == InvokeKind::PropertyPut) {
    props[key] = args.back();
    return {};
  }
  auto p = props.find(key);
  if (p != props.end()) return p->second;
  if (kind == InvokeKind::Method) return {};
  throw wordlink::AutomationError(std::string(member), "Unknown name");
}

std::optional<std::uint32_t> FakeApp::advise(std::string_view id,
                                             std::shared_ptr<wordlink::EventSink> sink) {
  advisedIds.emplace_back(id);
  sinks.push_back(sink);
  return std::uint32_t(sinks.size());
}

std::shared_ptr<FakeDoc> FakeApp::addDocument(const std::string& fullName) {
  auto doc = std::make_shared<FakeDoc>();
  doc->app = this;
  doc->props["fullname"] = fullName;
  doc->props["type"] = 0;
  FakeDoc* raw = doc.get();
  doc->methods["close"] = [this, raw](Args&) -> Variant {
    if (raw->refuseClose) throw wordlink::AutomationError("Close", "Command failed");
    raw->dead = true;
    std::erase_if(documents, [raw](auto& d) { return d.get() == raw; });
    return {};
  };
  doc->methods["shapes"] = [weak = std::weak_ptr<FakeDoc>(doc)](Args&) -> Variant {
    return Variant(std::static_pointer_cast<wordlink::Dispatch>(MakeShapes(weak.lock())));
  };
  doc->methods["printout"] = [raw](Args&) -> Variant {
    raw->visibilityAtPrint.push_back(raw->shapeVisible);
    if (raw->failPrint) throw wordlink::AutomationError("PrintOut", "Printer error");
    return {};
  };
  doc->methods["activewindow"] = [](Args&) -> Variant {
    return Variant(std::static_pointer_cast<wordlink::Dispatch>(std::make_shared<FakeObject>()));
  };
  doc->methods["application"] = [this](Args&) -> Variant { return Variant(shared_from_this()); };
  documents.push_back(doc);
  return doc;
}

World& TheWorld() {
  static World world;
  return world;
}

static std::shared_ptr<FakeApp> MakeApp() {
  auto app = std::make_shared<FakeApp>();
  FakeApp* raw = app.get();
  app->props["version"] = TheWorld().version;
  app->props["visible"] = false;
  app->props["screenupdating"] = true;
  app->methods["quit"] = [raw](Args&) -> Variant {
    raw->quit = true;
    raw->dead = true;
    return {};
  };
  auto options = std::make_shared<FakeObject>();
  app->props["options"] = Variant(std::static_pointer_cast<wordlink::Dispatch>(options));
  app->methods["documents"] = [raw](Args&) -> Variant {
    auto docs = std::make_shared<FakeObject>();
    docs->methods["count"] = [raw](Args&) -> Variant { return int(raw->documents.size()); };
    docs->methods["item"] = [raw](Args& a) -> Variant {
      return Variant(std::static_pointer_cast<wordlink::Dispatch>(
          raw->documents.at(std::size_t(a.at(0).toInt() - 1))));
    };
    auto open = [raw](std::string member) {
      return [raw, member](Args& a) -> Variant {
        raw->calls.push_back("Documents." + Describe(member, a));
        std::string name = a.empty() || a[0].isMissing() ? "Document" : a[0].toString();
        return Variant(std::static_pointer_cast<wordlink::Dispatch>(raw->addDocument(name)));
      };
    };
    docs->methods["open"] = open("Open");
    docs->methods["opennorepairdialog"] = open("OpenNoRepairDialog");
    docs->methods["add"] = open("Add");
    return Variant(std::static_pointer_cast<wordlink::Dispatch>(docs));
  };
  TheWorld().apps.push_back(app);
  return app;
}

Registration::Registration() {
  TheWorld() = World();
  wordlink::RegisterProgId("Word.Application", [] { return MakeApp(); });
}

Registration::~Registration() {
  wordlink::UnregisterProgId("Word.Application");
}

}  // namespace fake
