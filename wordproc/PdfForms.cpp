#include "wordproc/PdfForms.h"

#include <zlib.h>

#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace wordproc::pdfforms {

namespace {

constexpr auto npos = std::string_view::npos;

struct Object {
  std::string head;  // the value, or a stream's dictionary through "stream\n"
  std::string data;  // a stream's bytes as stored
  bool stream = false;
};

struct Pdf {
  std::string header;                          // what comes before the first object
  std::vector<std::optional<Object>> objects;  // by number; 0 is never used
  int root = 0;
  int info = 0;
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void SkipSpace(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
}

// The integer after pos and any white space; pos moves past it.
std::optional<long long> IntegerAt(std::string_view text, std::size_t& pos) {
  SkipSpace(text, pos);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;
  pos = std::size_t(end - text.data());
  return value;
}

// The object "/Key N 0 R" names.
std::optional<int> ReferenceAfter(std::string_view text, std::string_view key) {
  std::size_t pos = text.find(key);
  if (pos == npos) return std::nullopt;
  pos += key.size();
  const auto number = IntegerAt(text, pos);
  if (!number || *number <= 0 || *number > 100'000'000 || text.substr(pos, 4) != " 0 R")
    return std::nullopt;
  return int(*number);
}

const Object* Find(const Pdf& pdf, std::optional<int> number) {
  if (!number || std::size_t(*number) >= pdf.objects.size() || !pdf.objects[*number])
    return nullptr;
  return &*pdf.objects[*number];
}

// The object offsets of the cross-reference table, by number (0: not in use).
std::optional<std::vector<std::size_t>> XrefOffsets(std::string_view file, std::size_t& xref) {
  std::size_t pos = file.rfind("startxref");
  if (pos == npos) return std::nullopt;
  pos += 9;
  const auto at = IntegerAt(file, pos);
  if (!at || *at <= 0 || std::size_t(*at) >= file.size() || file.substr(*at, 4) != "xref")
    return std::nullopt;
  xref = std::size_t(*at);
  pos = xref + 4;
  const auto first = IntegerAt(file, pos);
  const auto count = IntegerAt(file, pos);
  if (first != 0 || !count || *count < 1 || *count > 10'000'000) return std::nullopt;
  std::vector<std::size_t> offsets(std::size_t(*count), 0);
  for (auto& offset : offsets) {
    const auto at = IntegerAt(file, pos);
    const auto generation = IntegerAt(file, pos);
    SkipSpace(file, pos);
    if (!at || !generation || pos >= file.size()) return std::nullopt;
    const char kind = file[pos++];
    if (kind == 'n' && *at > 0 && std::size_t(*at) < xref) {
      offset = std::size_t(*at);
    } else if (kind != 'f') {
      return std::nullopt;
    }
  }
  return offsets;
}

// An object's text between "N 0 obj" and "endobj", split into dictionary and stream.
std::optional<Object> ObjectOf(std::string_view chunk, int number) {
  const std::string opening = std::to_string(number) + " 0 obj";
  const std::size_t close = chunk.rfind("endobj");
  if (chunk.substr(0, opening.size()) != opening || close == npos) return std::nullopt;
  std::size_t begin = opening.size();
  SkipSpace(chunk, begin);
  if (close < begin) return std::nullopt;
  const std::string_view body = chunk.substr(begin, close - begin);
  Object object;
  const std::size_t keyword = body.substr(0, 2) == "<<" ? body.find(">>\nstream\n") : npos;
  if (keyword == npos) {
    object.head = body;
    return object;
  }
  const std::size_t dataBegin = keyword + 10;
  std::size_t dataEnd = body.rfind("endstream");
  if (dataEnd == npos || dataEnd < dataBegin) return std::nullopt;
  if (dataEnd > dataBegin && body[dataEnd - 1] == '\n') --dataEnd;
  object.head = body.substr(0, dataBegin);
  object.data = body.substr(dataBegin, dataEnd - dataBegin);
  object.stream = true;
  return object;
}

// A stream's stated length agrees with the bytes found, or the file is not as expected.
bool LengthAgrees(const Pdf& pdf, const Object& object) {
  std::size_t pos = object.head.find("/Length ");
  if (pos == npos) return false;
  std::string_view text = object.head;
  pos += 8;
  if (const Object* length = Find(pdf, ReferenceAfter(text, "/Length "))) {
    text = length->head;
    pos = 0;
  }
  const auto value = IntegerAt(text, pos);
  return value && std::size_t(*value) == object.data.size();
}

std::optional<Pdf> Read(std::string_view file) {
  std::size_t xref = 0;
  const auto offsets = XrefOffsets(file, xref);
  if (!offsets) return std::nullopt;
  std::vector<std::size_t> starts;
  for (std::size_t offset : *offsets)
    if (offset) starts.push_back(offset);
  if (starts.empty()) return std::nullopt;
  std::sort(starts.begin(), starts.end());
  starts.push_back(xref);
  Pdf pdf;
  pdf.header = file.substr(0, starts.front());
  pdf.objects.resize(offsets->size());
  for (std::size_t number = 1; number < offsets->size(); ++number) {
    const std::size_t start = (*offsets)[number];
    if (!start) continue;
    const std::size_t end = *std::upper_bound(starts.begin(), starts.end(), start);
    pdf.objects[number] = ObjectOf(file.substr(start, end - start), int(number));
    if (!pdf.objects[number]) return std::nullopt;
  }
  for (const auto& object : pdf.objects)
    if (object && object->stream && !LengthAgrees(pdf, *object)) return std::nullopt;
  const std::string_view trailer = file.substr(xref);
  const auto root = ReferenceAfter(trailer, "/Root ");
  if (!root || !Find(pdf, root)) return std::nullopt;
  pdf.root = *root;
  pdf.info = ReferenceAfter(trailer, "/Info ").value_or(0);
  return pdf;
}

std::string Write(const Pdf& pdf) {
  std::string out = pdf.header;
  std::vector<std::size_t> offsets(pdf.objects.size(), 0);
  for (std::size_t number = 1; number < pdf.objects.size(); ++number) {
    const auto& object = pdf.objects[number];
    if (!object) continue;
    offsets[number] = out.size();
    out += std::to_string(number) + " 0 obj\n" + object->head;
    if (object->stream) out += object->data + "\nendstream\n";
    out += "endobj\n";
  }
  const std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(pdf.objects.size()) + "\n";
  char line[32];
  for (std::size_t number = 0; number < offsets.size(); ++number) {
    if (offsets[number]) {
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[number]);
      out += line;
    } else {
      out += "0000000000 65535 f \n";
    }
  }
  out += "trailer\n<<\n/Size " + std::to_string(pdf.objects.size()) + "\n";
  if (pdf.info) out += "/Info " + std::to_string(pdf.info) + " 0 R\n";
  out += "/Root " + std::to_string(pdf.root) + " 0 R\n>>\nstartxref\n" + std::to_string(xref) +
         "\n%%EOF\n";
  return out;
}

// text with every reference "N 0 R" moved on by `by`.
std::string Renumbered(std::string_view text, int by) {
  std::string out;
  out.reserve(text.size() + 32);
  std::size_t i = 0;
  while (i < text.size()) {
    const bool starts = IsDigit(text[i]) && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n' ||
                                             text[i - 1] == '[' || text[i - 1] == '<');
    if (!starts) {
      out += text[i++];
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && IsDigit(text[end])) ++end;
    const bool reference =
        text.substr(end, 4) == " 0 R" &&
        (end + 4 == text.size() || !std::isalnum(static_cast<unsigned char>(text[end + 4])));
    if (reference) {
      out += std::to_string(std::stoll(std::string(text.substr(i, end - i))) + by) + " 0 R";
      end += 4;
    } else {
      out += text.substr(i, end - i);
    }
    i = end;
  }
  return out;
}

std::optional<std::vector<int>> PageObjects(const Pdf& pdf) {
  const Object* pages = Find(pdf, ReferenceAfter(pdf.objects[pdf.root]->head, "/Pages "));
  if (!pages) return std::nullopt;
  const std::string_view head = pages->head;
  const std::size_t kids = head.find("/Kids");
  const std::size_t open = head.find('[', kids);
  const std::size_t close = head.find(']', open);
  if (kids == npos || open == npos || close == npos) return std::nullopt;
  std::vector<int> numbers;
  std::size_t pos = open + 1;
  while (true) {
    const auto number = IntegerAt(head, pos);
    if (!number) break;
    if (head.substr(pos, 4) != " 0 R" || !Find(pdf, int(*number))) return std::nullopt;
    numbers.push_back(int(*number));
    pos += 4;
  }
  SkipSpace(head, pos);
  if (pos != close) return std::nullopt;
  return numbers;
}

std::optional<std::string> Inflate(std::string_view data) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  std::string out;
  char buffer[1 << 16];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (result == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (result != Z_STREAM_END) return std::nullopt;
  return out;
}

std::optional<std::string> Deflate(std::string_view text) {
  uLongf size = compressBound(uLong(text.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()),
                Z_BEST_SPEED) != Z_OK)
    return std::nullopt;
  out.resize(size);
  return out;
}

bool Compressed(const Object& object) {
  return object.head.find("/FlateDecode") != npos;
}

std::optional<std::string> Decoded(const Object& object) {
  return Compressed(object) ? Inflate(object.data) : std::optional<std::string>(object.data);
}

// The matrix a page's content begins with: device pixels to the page's points.
std::optional<QTransform> FirstMatrix(std::string_view content) {
  const std::size_t cm = content.find(" cm\n");
  if (cm == npos) return std::nullopt;
  const std::size_t line = content.rfind('\n', cm);
  std::size_t pos = line == npos ? 0 : line + 1;
  double m[6];
  for (double& value : m) {
    SkipSpace(content, pos);
    const auto [end, error] = std::from_chars(content.data() + pos, content.data() + cm, value);
    if (error != std::errc()) return std::nullopt;
    pos = std::size_t(end - content.data());
  }
  if (pos != cm) return std::nullopt;
  return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

std::string Number(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", std::abs(value) < 5e-7 ? 0.0 : value);
  return text;
}

std::string FormName(int form) {
  return "/VspForm" + std::to_string(form);
}

// The form object of a page of the forms file, whose objects were moved on by `by`: the page's
// content as the form's, under a matrix that takes the page's own one and the painter's scale
// off again, so that the form draws in the painter's units from its origin.
std::optional<Object> FormOf(const Pdf& forms, int page, int by, const QTransform& scale) {
  const std::string& head = forms.objects[page]->head;
  const auto resources = ReferenceAfter(head, "/Resources ");
  const Object* content = Find(forms, ReferenceAfter(head, "/Contents "));
  if (!resources || !content || !content->stream) return std::nullopt;
  const auto text = Decoded(*content);
  const auto pageMatrix = text ? FirstMatrix(*text) : std::nullopt;
  bool invertible = false;
  const QTransform m = pageMatrix ? (scale * *pageMatrix).inverted(&invertible) : QTransform();
  if (!invertible) return std::nullopt;
  Object form;
  form.stream = true;
  form.data = content->data;
  form.head =
      "<<\n/Type /XObject\n/Subtype /Form\n/BBox [-100000 -100000 100000 100000]\n"
      "/Matrix [" +
      Number(m.m11()) + " " + Number(m.m12()) + " " + Number(m.m21()) + " " + Number(m.m22()) +
      " " + Number(m.dx()) + " " + Number(m.dy()) + "]\n/Resources " +
      std::to_string(*resources + by) + " 0 R\n" +
      (Compressed(*content) ? "/Filter /FlateDecode\n" : "") + "/Length " +
      std::to_string(form.data.size()) + "\n>>\nstream\n";
  return form;
}

// content with each marker replaced by a use of its form; the forms used go into `used`.
std::optional<std::string> WithForms(std::string_view content, int forms, std::set<int>& used) {
  const std::string key = " cm\n" + std::to_string(kMarkerX) + " ";
  constexpr std::string_view rest = " 0 0 re\nf\nQ\n";
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = content.find(key); at != npos; at = content.find(key, from)) {
    const std::size_t line = content.rfind('\n', at);
    std::size_t pos = at + key.size();
    const auto form = IntegerAt(content, pos);
    if (line == npos || line < 1 || content[line - 1] != 'q' || !form || *form < 0 ||
        *form >= forms || content.substr(pos, rest.size()) != rest)
      return std::nullopt;
    out.append(content.substr(from, at - from));
    out += " cm\n" + FormName(int(*form)) + " Do\nQ\n";
    from = pos + rest.size();
    used.insert(int(*form));
  }
  out.append(content.substr(from));
  return out;
}

// Puts the forms in place of a page's markers and names them in its resources.
bool PlaceOnPage(Pdf& pdf, int page, const std::vector<int>& formObjects,
                 std::map<int, std::set<int>>& named) {
  const std::string& head = pdf.objects[page]->head;
  const auto contentNumber = ReferenceAfter(head, "/Contents ");
  const auto resourcesNumber = ReferenceAfter(head, "/Resources ");
  const Object* content = Find(pdf, contentNumber);
  const Object* resources = Find(pdf, resourcesNumber);
  if (!content || !content->stream || !resources) return false;
  const auto text = Decoded(*content);
  if (!text) return false;
  std::set<int> used;
  const auto placed = WithForms(*text, int(formObjects.size()), used);
  if (!placed) return false;
  if (used.empty()) return true;
  const auto data = Deflate(*placed);
  if (!data) return false;
  Object& stream = *pdf.objects[*contentNumber];
  stream.data = *data;
  stream.head =
      "<<\n/Length " + std::to_string(data->size()) + "\n/Filter /FlateDecode\n>>\nstream\n";
  std::string names;
  for (int form : used) {
    if (named[*resourcesNumber].insert(form).second)
      names += "\n" + FormName(form) + " " + std::to_string(formObjects[form]) + " 0 R";
  }
  std::string& dictionary = pdf.objects[*resourcesNumber]->head;
  const std::size_t xobjects = dictionary.find("/XObject <<");
  if (xobjects == npos) return false;
  dictionary.insert(xobjects + 11, names);
  return true;
}

}  // namespace

void MarkForm(QPainter& painter, const QPointF& at, int form) {
  painter.save();
  painter.translate(at);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(1, 2, 3));
  painter.setOpacity(1);
  painter.drawRect(QRectF(kMarkerX, form, 0, 0));
  painter.restore();
}

std::optional<std::string> PlaceForms(std::string_view pages, std::string_view forms, double scaleX,
                                      double scaleY) {
  auto out = Read(pages);
  const auto drawings = Read(forms);
  if (!out || !drawings) return std::nullopt;
  const auto formPages = PageObjects(*drawings);
  const auto outPages = PageObjects(*out);
  if (!formPages || !outPages) return std::nullopt;
  const int by = int(out->objects.size()) - 1;
  for (std::size_t number = 1; number < drawings->objects.size(); ++number) {
    auto object = drawings->objects[number];
    if (object) object->head = Renumbered(object->head, by);
    out->objects.push_back(std::move(object));
  }
  const QTransform scale = QTransform::fromScale(scaleX, scaleY);
  std::vector<int> formObjects;
  for (int page : *formPages) {
    auto form = FormOf(*drawings, page, by, scale);
    if (!form) return std::nullopt;
    formObjects.push_back(int(out->objects.size()));
    out->objects.push_back(std::move(form));
  }
  std::map<int, std::set<int>> named;
  for (int page : *outPages)
    if (!PlaceOnPage(*out, page, formObjects, named)) return std::nullopt;
  return Write(*out);
}

}  // namespace wordproc::pdfforms
