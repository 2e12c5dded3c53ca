#include <algorithm>
#include <new>

#include "wordproc/ObjectModel.h"
#include "wordproc/core/Ooxml.h"

namespace wordproc::om {

void Fail(const std::string& message) {
  throw AutomationError("", message);
}

void FailCancelled() {
  throw CancelledError("", "Команда не выполнена: действие отменено пользователем (ошибка 4198)");
}

void FailUnknownMember() {
  Fail("Объект не поддерживает это свойство или метод");
}

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return lower;
}

bool Given(const Args& args, std::size_t index) {
  return !wordlink::ArgAt(args, index).isAbsent();
}

int IntArg(const Args& args, std::size_t index, int fallback) {
  return Given(args, index) ? args[index].toInt() : fallback;
}

int RequiredInt(const Args& args, std::size_t index) {
  if (!Given(args, index)) Fail("Не задан обязательный аргумент " + std::to_string(index + 1));
  return args[index].toInt();
}

float FloatArg(const Args& args, std::size_t index, float fallback) {
  return Given(args, index) ? args[index].toFloat() : fallback;
}

float RequiredFloat(const Args& args, std::size_t index) {
  if (!Given(args, index)) Fail("Не задан обязательный аргумент " + std::to_string(index + 1));
  return args[index].toFloat();
}

bool BoolArg(const Args& args, std::size_t index, bool fallback) {
  return Given(args, index) ? args[index].toBool() : fallback;
}

std::string StringArg(const Args& args, std::size_t index, const std::string& fallback) {
  return Given(args, index) ? args[index].toString() : fallback;
}

std::string RequiredString(const Args& args, std::size_t index) {
  if (!Given(args, index)) Fail("Не задан обязательный аргумент " + std::to_string(index + 1));
  return args[index].toString();
}

void AtMost(const Args& args, std::size_t count) {
  if (args.size() > count) Fail("Неверное число аргументов");
}

int EnumArg(const Variant& value, std::initializer_list<int> allowed) {
  int n = value.toInt();
  if (std::find(allowed.begin(), allowed.end(), n) == allowed.end())
    Fail("Недопустимое значение аргумента: " + std::to_string(n));
  return n;
}

Variant ObjectBase::invoke(std::string_view member, InvokeKind kind, Args& args) {
  const std::string name(member);
  Editor::AutomationCall automation;
  try {
    checkAlive();
    Variant result = call(member, kind, args);
    afterCall();
    return result;
  } catch (const AutomationError& e) {
    if (!e.member().empty()) throw;
    throw AutomationError(name, e.message());
  } catch (const DocumentError& e) {
    throw AutomationError(name, e.what());
  } catch (const std::bad_alloc&) {
    throw AutomationError(name, "Недостаточно памяти");
  } catch (const std::exception& e) {
    throw AutomationError(name, e.what());
  }
}

std::unique_ptr<Document> LoadForAutomation(const std::string& path) {
  auto doc = LoadDocumentFile(path);
  if (!doc) Fail("Не удалось открыть файл «" + path + "»");
  NormalizeIds(*doc);
  return doc;
}

namespace {

std::uint32_t LargestShapeId(const Shape& shape) {
  std::uint32_t largest = shape.id;
  for (const auto& child : shape.children)
    if (child) largest = std::max(largest, LargestShapeId(*child));
  return largest;
}

}  // namespace

void NormalizeIds(Document& doc) {
  if (doc.paragraphs.empty()) doc.paragraphs.emplace_back();
  std::uint64_t paragraphs = 0;
  std::uint32_t shapes = 0;
  for (const Paragraph& p : doc.paragraphs) {
    paragraphs = std::max(paragraphs, p.id);
    for (const InlinePicture& picture : p.inlinePictures) shapes = std::max(shapes, picture.id);
  }
  for (const AnchoredShape& anchored : doc.shapes)
    if (anchored.shape) shapes = std::max(shapes, LargestShapeId(*anchored.shape));
  doc.nextParagraphId = std::max(doc.nextParagraphId, paragraphs + 1);
  doc.nextShapeId = std::max(doc.nextShapeId, shapes + 1);
  std::erase_if(doc.shapes, [](const AnchoredShape& s) { return !s.shape; });
  for (Paragraph& p : doc.paragraphs)
    if (p.id == 0) p.id = doc.newParagraphId();
}

}  // namespace wordproc::om
