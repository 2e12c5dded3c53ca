// The Debian package as a user gets it: made by cpack from this build, with its files where a
// Debian system looks for them, with the dependencies it needs, and with a stampora-batch that
// runs from an unpacked copy and finds what it ships.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "DesktopSupport.h"

namespace desktop_test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kId = "io.github.varnel.stampora";

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"}) {
      int status = 0;
      Shell(std::string("command -v ") + tool + " >/dev/null", &status);
      if (status != 0) GTEST_SKIP() << tool << " is not installed (packages cmake, dpkg-dev)";
    }
    char pattern[] = "/tmp/vsp-package-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
  }

  // The package built from this build, or empty.
  std::string Build() {
    int status = 0;
    const std::string log =
        Shell("cd '" VSP_BUILD_DIR "' && cpack -G DEB --config CPackConfig.cmake -B '" + scratch +
                  "/out' 2>&1",
              &status);
    EXPECT_EQ(status, 0) << log;
    for (const auto& entry : fs::directory_iterator(scratch + "/out"))
      if (entry.path().extension() == ".deb") return entry.path().string();
    ADD_FAILURE() << "cpack made no package:\n" << log;
    return {};
  }

  std::string Field(const std::string& deb, const char* name) {
    std::string value = Shell("dpkg-deb -f '" + deb + "' " + name);
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }

  std::string scratch;
};

std::set<std::string> Files(const std::string& listing) {
  std::set<std::string> files;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t path = line.find(" ./");
    if (path != std::string::npos) files.insert(line.substr(path + 2));
  }
  return files;
}

std::string GlyphTypesListing() {
  std::ifstream in(VSP_SOURCE_DIR "/data/glyph_types.ini");
  std::string listing;
  int position = 0;
  for (std::string line; std::getline(in, line); ++position) {
    std::string fields = line;
    for (char& c : fields)
      if (c == ',') c = '\t';
    listing += std::to_string(position) + "\t" + fields + "\n";
  }
  return listing;
}

TEST_F(Package, DebianPackageHoldsTheProgramAndRunsUnpacked) {
  const std::string deb = Build();
  ASSERT_FALSE(deb.empty());
  const std::set<std::string> files = Files(Shell("dpkg-deb -c '" + deb + "'"));
  std::vector<std::string> expected = {"/usr/bin/stampora",
                                       "/usr/bin/stampora-batch",
                                       "/usr/share/varnel-stampora/glyph_types.ini",
                                       "/usr/share/varnel-stampora/manual/index.html",
                                       "/usr/share/varnel-stampora/manual/panel.png",
                                       "/usr/share/varnel-stampora/manual/glyph-editor.png",
                                       "/usr/share/varnel-stampora/translations/qtbase_ru.qm",
                                       std::string("/usr/share/applications/") + kId + ".desktop",
                                       std::string("/usr/share/metainfo/") + kId + ".metainfo.xml"};
  for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"})
    expected.push_back(std::string("/usr/share/icons/hicolor/") + size + "/apps/" + kId + ".png");
  for (const std::string& file : expected) EXPECT_TRUE(files.count(file)) << file;
  for (const std::string& file : files)
    EXPECT_EQ(file.rfind("/usr/", 0), 0u) << file << " lies outside /usr";

  EXPECT_EQ(Field(deb, "Package"), "varnel-stampora");
  const std::string depends = Field(deb, "Depends");
  for (const char* library : {"libqt6widgets6", "libqt6gui6", "libqt6printsupport6", "libqt6core6",
                              "libzip4", "libpugixml1v5", "zlib1g", "fonts-dejavu-core"})
    EXPECT_NE(depends.find(library), std::string::npos) << library << " in " << depends;
  EXPECT_NE(Field(deb, "Recommends").find("libreoffice-writer"), std::string::npos);

  const std::string root = scratch + "/root";
  int status = 0;
  Shell("dpkg -x '" + deb + "' '" + root + "' 2>&1", &status);
  ASSERT_EQ(status, 0);
  const std::string types =
      Shell("env -u XDG_RUNTIME_DIR '" + root + "/usr/bin/stampora-batch' glyph-types 2>'" +
                scratch + "/err'",
            &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(types, GlyphTypesListing()) << "the types it ships, found from /usr/bin";
  EXPECT_EQ(Shell("cat '" + scratch + "/err'"), "");

  const std::string desktop = root + "/usr/share/applications/" + kId + ".desktop";
  std::string said = Shell("desktop-file-validate '" + desktop + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(said, "");
  const std::string metainfo = root + "/usr/share/metainfo/" + kId + ".metainfo.xml";
  said = Shell("appstreamcli validate --no-net '" + metainfo + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << said;
}

}  // namespace
}  // namespace desktop_test
