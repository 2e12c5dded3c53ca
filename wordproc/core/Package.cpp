#include "wordproc/core/Package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/Files.h"
#include "wordproc/core/OoxmlInternal.h"

namespace wordproc::package {

namespace {

std::string ZipErrorReason(int code) {
  switch (code) {
    case ZIP_ER_NOENT:
      return "файл не найден";
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
      return "файл не удаётся прочитать";
    case ZIP_ER_MEMORY:
      return "недостаточно памяти";
    case ZIP_ER_COMPNOTSUPP:
      return "пакет сжат неподдерживаемым методом";
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
      return "пакет зашифрован";
    default:
      return "файл не является пакетом OOXML или повреждён";
  }
}

// pugixml's allocations while a part is parsed on this thread, counted against what the reader's
// memory budget has left; an allocation beyond it fails, which ends the parse.
struct TreeAccount {
  std::uint64_t used = 0;
  std::uint64_t limit = 0;
  bool exceeded = false;
};
thread_local TreeAccount* parsing = nullptr;

void* CountedAllocate(std::size_t size) {
  if (TreeAccount* account = parsing) {
    if (size > account->limit - account->used) {
      account->exceeded = true;
      return nullptr;
    }
    account->used += size;
  }
  return std::malloc(size);
}

void Free(void* memory) {
  std::free(memory);
}

// pugixml's own functions are malloc and free too, so trees made before these were installed are
// freed alike.
void InstallCountedAllocation() {
  static const bool installed = [] {
    pugi::set_memory_management_functions(CountedAllocate, Free);
    return true;
  }();
  (void)installed;
}

// What a part's tree will take at least, from its markup: pugixml keeps 64 bytes for an element
// and 40 for an attribute on 64-bit systems.
struct MarkupCount {
  std::uint64_t items = 0;  // every '<'
  std::uint64_t treeBytes = 0;
};

MarkupCount CountMarkup(const std::string& text) {
  MarkupCount count;
  bool inTag = false;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '<') {
      ++count.items;
      inTag = true;
      const char next = i + 1 < text.size() ? text[i + 1] : 0;
      if (next != '/' && next != '?' && next != '!') count.treeBytes += 64;
    } else if (inTag) {
      if (c == '"' || c == '\'') quote = c;
      if (c == '=') count.treeBytes += 40;
      if (c == '>') inTag = false;
    }
  }
  return count;
}

std::string NotRegularReason(mode_t mode) {
  if (S_ISDIR(mode)) return "это папка, а не файл";
  if (S_ISFIFO(mode)) return "это канал, а не файл";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "это устройство, а не файл";
  if (S_ISSOCK(mode)) return "это сокет, а не файл";
  return "это не обычный файл";
}

std::string NormalizeName(const char* raw) {
  std::string name(raw);
  std::replace(name.begin(), name.end(), '\\', '/');
  while (!name.empty() && name.front() == '/') name.erase(name.begin());
  return AsciiLower(std::move(name));
}

}  // namespace

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int OpenRegularForReading(const std::string& path, std::string& reason) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    reason = errno == ENOENT || errno == ENOTDIR ? "файл не найден" : "файл не удаётся прочитать";
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = NotRegularReason(st.st_mode);
    return -1;
  }
  if (::access(path.c_str(), R_OK) != 0) {
    reason = "нет прав на чтение файла";
    return -1;
  }
  // The open file is checked again: the name may have been given to a pipe meanwhile.
  try {
    return platform::OpenRegularFile(path);
  } catch (const platform::FileError&) {
    reason = "файл не удаётся прочитать";
    return -1;
  }
}

bool StartsLikeZip(int fd) {
  char magic[4] = {};
  return ::pread(fd, magic, sizeof magic, 0) == 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0;
}

std::unique_ptr<ZipReader> ZipReader::OpenFile(const std::string& path,
                                               const std::string& displayName,
                                               const PackageLimits& limits) {
  std::string reason;
  const int fd = OpenRegularForReading(path, reason);
  if (fd < 0) throw DocumentError(ooxml::OpenErrorMessage(displayName, reason));
  return OpenDescriptor(fd, displayName, limits);
}

// libzip reads through a stream of the descriptor; it never opens the name again.
std::unique_ptr<ZipReader> ZipReader::OpenDescriptor(int fd, const std::string& displayName,
                                                     const PackageLimits& limits) {
  std::unique_ptr<ZipReader> reader(new ZipReader(displayName, limits));
  FILE* stream = ::fdopen(fd, "rb");
  if (!stream) {
    ::close(fd);
    reader->Fail("файл не удаётся прочитать");
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_filep_create(stream, 0, -1, &error);
  if (!source) {
    std::fclose(stream);
    zip_error_fini(&error);
    reader->Fail("недостаточно памяти");
  }
  reader->zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  const int code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  if (!reader->zip_) {
    zip_source_free(source);
    reader->Fail(ZipErrorReason(code));
  }
  reader->Index();
  return reader;
}

std::unique_ptr<ZipReader> ZipReader::OpenMemory(const void* data, std::size_t size,
                                                 const std::string& displayName,
                                                 const PackageLimits& limits) {
  std::unique_ptr<ZipReader> reader(new ZipReader(displayName, limits));
  zip_error_t error;
  zip_error_init(&error);
  // libzip refuses a null buffer even when it is empty.
  static const char kEmpty = 0;
  zip_source_t* source = zip_source_buffer_create(size ? data : &kEmpty, size, 0, &error);
  if (!source) {
    zip_error_fini(&error);
    reader->Fail("недостаточно памяти");
  }
  reader->zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!reader->zip_) {
    zip_source_free(source);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    reader->Fail(ZipErrorReason(code));
  }
  zip_error_fini(&error);
  reader->Index();
  return reader;
}

ZipReader::~ZipReader() {
  if (zip_) zip_discard(zip_);
}

void ZipReader::Fail(const std::string& reason) const {
  throw FormatError(ooxml::OpenErrorMessage(displayName_, reason));
}

void ZipReader::FailTooLarge() const {
  Fail("документ слишком велик: для его чтения нужно больше " +
       std::to_string(limits_.maxMemory >> 20) + " МБ памяти");
}

void ZipReader::Charge(std::uint64_t bytes) {
  if (bytes > MemoryLeft()) FailTooLarge();
  charged_ += bytes;
}

void ZipReader::Index() {
  const zip_int64_t count = zip_get_num_entries(zip_, 0);
  if (count <= 0) Fail("файл не является пакетом OOXML или повреждён");
  if (static_cast<std::uint64_t>(count) > limits_.maxEntries) {
    Fail("в пакете слишком много частей (" + std::to_string(count) + ")");
  }
  entries_.reserve(static_cast<std::size_t>(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(zip_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
    if (!name) continue;
    // The first entry of a name wins, as in the central directory order.
    const bool added = entries_.emplace(NormalizeName(name), static_cast<std::uint64_t>(i)).second;
    std::string spelled(name);
    std::replace(spelled.begin(), spelled.end(), '\\', '/');
    while (!spelled.empty() && spelled.front() == '/') spelled.erase(spelled.begin());
    if (added && !spelled.empty() && spelled.back() != '/') names_.push_back(std::move(spelled));
  }
}

bool ZipReader::Has(const std::string& partName) const {
  return entries_.count(AsciiLower(partName)) != 0;
}

std::string ZipReader::Read(const std::string& partName) {
  const auto found = entries_.find(AsciiLower(partName));
  if (found == entries_.end()) Fail("в пакете нет части \"" + partName + "\"");
  const zip_uint64_t index = found->second;
  const std::string quoted = "\"" + partName + "\"";

  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_, index, 0, &st) != 0) Fail("часть " + quoted + " повреждена");
  std::uint64_t declared = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  if (declared > limits_.maxPartSize) {
    Fail("часть " + quoted + " слишком велика (" + std::to_string(declared) +
         " байт при допустимых " + std::to_string(limits_.maxPartSize) + ")");
  }
  if (totalRead_ + declared > limits_.maxTotalSize) {
    Fail("распакованные части пакета превышают допустимый объём (" +
         std::to_string(limits_.maxTotalSize) + " байт)");
  }
  if (declared > MemoryLeft()) FailTooLarge();

  zip_file_t* file = zip_fopen_index(zip_, index, 0);
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(zip_));
    if (code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD) {
      Fail(ZipErrorReason(code));
    }
    Fail("часть " + quoted + " не удаётся распаковать");
  }
  std::string data;
  data.reserve(static_cast<std::size_t>(declared));
  // The declared size is only a claim: the data is counted as it comes, and reading stops one
  // chunk past what the header promised or the limits allow.
  const std::uint64_t allowed =
      std::min<std::uint64_t>(limits_.maxPartSize, limits_.maxTotalSize - totalRead_);
  char chunk[64 * 1024];
  for (;;) {
    const zip_int64_t got = zip_fread(file, chunk, sizeof chunk);
    if (got < 0) {
      zip_fclose(file);
      Fail("данные части " + quoted + " повреждены");
    }
    if (got == 0) break;
    if (data.size() + static_cast<std::uint64_t>(got) > allowed) {
      zip_fclose(file);
      Fail("часть " + quoted + " при распаковке превышает допустимый размер");
    }
    if (data.size() + static_cast<std::uint64_t>(got) > MemoryLeft()) {
      zip_fclose(file);
      FailTooLarge();
    }
    if ((st.valid & ZIP_STAT_SIZE) && data.size() + static_cast<std::uint64_t>(got) > declared) {
      zip_fclose(file);
      Fail("часть " + quoted + " больше, чем указано в пакете; пакет повреждён");
    }
    data.append(chunk, static_cast<std::size_t>(got));
  }
  const int closeError = zip_fclose(file);
  if (closeError != 0) Fail("данные части " + quoted + " повреждены");
  if ((st.valid & ZIP_STAT_SIZE) && data.size() != declared) {
    Fail("часть " + quoted + " обрывается; пакет повреждён");
  }
  totalRead_ += data.size();
  Charge(data.size());
  return data;
}

namespace {

// The tree is refused from its markup before anything is allocated for it; the estimate leaves
// text nodes out, so the parse is counted as well.
pugi::xml_parse_result ParseCounted(ZipReader& reader, const std::string& quoted, XmlPart& part) {
  const MarkupCount markup = CountMarkup(part.text);
  if (markup.items > reader.Limits().maxXmlNodes) {
    reader.Fail("часть " + quoted + " содержит слишком много элементов XML");
  }
  if (markup.treeBytes > reader.MemoryLeft()) reader.FailTooLarge();
  InstallCountedAllocation();
  TreeAccount account{0, reader.MemoryLeft(), false};
  parsing = &account;
  const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_doctype;
  const pugi::xml_parse_result result = part.doc.load_buffer_inplace(
      part.text.data(), part.text.size(), options, pugi::encoding_auto);
  parsing = nullptr;
  if (account.exceeded) reader.FailTooLarge();
  reader.Charge(account.used);
  return result;
}

}  // namespace

void ParseXml(ZipReader& reader, const std::string& partName, XmlPart& part) {
  const PackageLimits& limits = reader.Limits();
  const std::string quoted = "\"" + partName + "\"";
  const pugi::xml_parse_result result = ParseCounted(reader, quoted, part);
  if (!result) {
    if (result.status == pugi::status_out_of_memory) reader.Fail("недостаточно памяти");
    reader.Fail("часть " + quoted + " повреждена (ошибка XML в позиции " +
                std::to_string(result.offset) + ")");
  }
  // Walks the tree without recursion: the depth is what is being checked.
  std::uint32_t depth = 0;
  pugi::xml_node node = part.doc.first_child();
  while (node) {
    if (node.type() == pugi::node_doctype) {
      reader.Fail("часть " + quoted + " содержит объявление DTD, что в пакетах OOXML запрещено");
    }
    pugi::xml_node child = node.first_child();
    if (child) {
      if (++depth >= limits.maxXmlDepth) {
        reader.Fail("часть " + quoted + " вложена слишком глубоко");
      }
      node = child;
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      if (!node || node == part.doc) {
        node = pugi::xml_node();
        break;
      }
      --depth;
    }
    if (node) node = node.next_sibling();
  }
}

void ZipWriter::Add(std::string name, std::string data, bool compress) {
  parts_.emplace_back(std::move(name), std::move(data));
  compress_.push_back(compress);
}

std::vector<std::uint8_t> ZipWriter::Finish() {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!buffer) throw std::runtime_error("недостаточно памяти");
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(buffer);
    throw std::runtime_error("не удалось создать архив");
  }
  zip_source_keep(buffer);
  auto fail = [&](const char* reason) {
    zip_discard(archive);
    zip_source_free(buffer);
    throw std::runtime_error(reason);
  };
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    const auto& [name, data] = parts_[i];
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    if (!source) fail("недостаточно памяти");
    const zip_int64_t index =
        zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
      zip_source_free(source);
      fail("не удалось добавить часть в архив");
    }
    // Big parts get the fast level: saving a thousand-page document must stay quick.
    const zip_uint32_t level = data.size() > (4u << 20) ? 1 : 6;
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             compress_[i] ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                             compress_[i] ? level : 0);
  }
  if (zip_close(archive) != 0) fail("не удалось сжать пакет");

  std::vector<std::uint8_t> bytes;
  if (zip_source_open(buffer) != 0) {
    zip_source_free(buffer);
    throw std::runtime_error("не удалось сжать пакет");
  }
  zip_source_seek(buffer, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(buffer);
  zip_source_seek(buffer, 0, SEEK_SET);
  if (size > 0) {
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const zip_int64_t got = zip_source_read(buffer, bytes.data() + done, bytes.size() - done);
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
  }
  zip_source_close(buffer);
  zip_source_free(buffer);
  parts_.clear();
  compress_.clear();
  return bytes;
}

void RefuseUnwritableTarget(const std::string& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) != 0) return;
  if (S_ISDIR(existing.st_mode)) throw std::runtime_error("по этому пути находится папка");
  if (!(existing.st_mode & S_IWUSR)) throw std::runtime_error("файл доступен только для чтения");
}

std::string FileErrorReason(const std::exception& error, const std::string& path) {
  const std::string message = error.what();
  const std::string naming = "Не удалось записать файл " + platform::Quoted(path) + ": ";
  return message.compare(0, naming.size(), naming) == 0 ? message.substr(naming.size()) : message;
}

void ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  RefuseUnwritableTarget(path);
  try {
    platform::WriteFileAtomically(path, bytes.data(), bytes.size());
  } catch (const platform::FileError& error) {
    throw std::runtime_error(FileErrorReason(error, path));
  }
}

}  // namespace wordproc::package
