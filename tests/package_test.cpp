// Loading both packages at run time through the framework's loader: package
// information, palette registration, the palette bitmap, unit order, and the
// errors for files that are not packages.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "SystemFacts.h"
#include "quorin/framework/Classes.h"
#include "quorin/framework/Package.h"

using namespace framework;

namespace {

struct PackageCase {
  const char* path;
  const char* name;
  const char* version;
  const char* framework;
};

const PackageCase kPackages[] = {
    {QUORIN_TAMBERLO_PATH, "tamberlo", "1.11", "framework 4.0"},
    {QUORIN_TAMBERCIN_PATH, "tambercin", "1.10", "framework 3.5"},
};

std::vector<std::string> Palette() {
  std::vector<std::string> out;
  for (const auto& page : PalettePages())
    for (const auto* c : page.Classes) out.push_back(page.Name + ": " + c->ClassName);
  return out;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8);
}

TEST(Packages, EachRegistersOneClassOnItsPageAndUnloadsCleanly) {
  for (const PackageCase& c : kPackages) {
    SCOPED_TRACE(c.name);
    auto package = LoadPackage(c.path);
    EXPECT_STREQ(package->Info().Name, c.name);
    EXPECT_STREQ(package->Info().Version, c.version);
    EXPECT_STREQ(package->Info().RequiredFramework, c.framework);
    EXPECT_EQ(package->Info().Flags & (pfDesignOnly | pfRunOnly), 0u)
        << "serves design and run time";
    EXPECT_TRUE(Palette().empty()) << "loading alone registers nothing";

    InstallPackage(*package);
    EXPECT_EQ(Palette(), std::vector<std::string>{"Vantrel: TQuorin"});
    ASSERT_EQ(package->RegisteredClasses().size(), 1u);
    const TComponentClass* cls = FindComponentClass("TQuorin");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->Properties.size(), 3u);
    {
      TComponent owner(nullptr);
      TComponent* q = cls->Create(&owner);
      cls->FindProperty("CipherMode")->SetOrd(*q, 2);
      EXPECT_EQ(cls->FindProperty("CipherMode")->GetOrd(*q), 2);
      EXPECT_EQ(ClassOf(*q), cls);
    }  // components are freed before their package goes
    UnloadPackage(std::move(package));
    EXPECT_TRUE(Palette().empty());
  }
}

TEST(Packages, BothLoadTogetherButOnlyOneCanBeInstalled) {
  auto lo = LoadPackage(kPackages[0].path);
  auto cin = LoadPackage(kPackages[1].path);
  InstallPackage(*lo);
  EXPECT_THROW(InstallPackage(*cin), EComponentError) << "two classes named TQuorin";
  EXPECT_FALSE(cin->Installed());
  EXPECT_EQ(Palette(), std::vector<std::string>{"Vantrel: TQuorin"});
  UnloadPackage(std::move(lo));
  InstallPackage(*cin);
  EXPECT_EQ(Palette(), std::vector<std::string>{"Vantrel: TQuorin"});
  EXPECT_EQ(cin->RegisteredClasses().front(), FindComponentClass("TQuorin"));
}

TEST(Packages, PaletteBitmapIsA20By20By8BitBmp) {
  for (const PackageCase& c : kPackages) {
    auto package = LoadPackage(c.path);
    const auto bmp = package->FindResource("TQuorin");
    ASSERT_EQ(bmp.size(), 14u + 40u + 1024u + 400u) << c.name;
    const std::uint8_t* p = bmp.data();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 2), "BM");
    EXPECT_EQ(Le32(p + 2), bmp.size()) << "file size field";
    EXPECT_EQ(Le32(p + 10), 1078u) << "pixel data offset";
    EXPECT_EQ(Le32(p + 14), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(Le32(p + 18), 20u) << "width";
    EXPECT_EQ(Le32(p + 22), 20u) << "height";
    EXPECT_EQ(Le16(p + 26), 1u) << "planes";
    EXPECT_EQ(Le16(p + 28), 8u) << "bits per pixel";
    EXPECT_EQ(Le32(p + 30), 0u) << "uncompressed";
    EXPECT_EQ(Le32(p + 46), 256u) << "colours used";
    // More than one colour is used: there is a picture.
    const std::set<std::uint8_t> colours(p + 1078, p + bmp.size());
    EXPECT_GE(colours.size(), 3u);
    EXPECT_TRUE(package->FindResource("TSomethingElse").empty());
  }
}

TEST(Loader, RunsUnitInitialisationInOrderAndFinalisationInReverse) {
  const std::string logPath = (std::filesystem::temp_directory_path() /
                               ("quorin-fixture-log-" + std::to_string(std::random_device()())))
                                  .string();
  testsupport::SetEnvironment("QUORIN_FIXTURE_LOG", logPath.c_str());
  {
    auto package = LoadPackage(QUORIN_FIXTURE_PACKAGE_PATH);
    InstallPackage(*package);
    EXPECT_EQ(Palette(), std::vector<std::string>{"Fixtures: TFixture"});
  }
  testsupport::SetEnvironment("QUORIN_FIXTURE_LOG", nullptr);
  std::ifstream in(logPath);
  std::stringstream log;
  log << in.rdbuf();
  in.close();
  std::filesystem::remove(logPath);
  EXPECT_EQ(log.str(),
            "init First\ninit Second\ninit Third\nfinit Third\nfinit Second\nfinit First\n");
  EXPECT_TRUE(Palette().empty());
}

TEST(Loader, RefusesWhatIsNotAUsablePackageNamingThePath) {
  struct Case {
    std::string path;
    const char* reason;
  } cases[] = {
      {"/nonexistent/libnothing.so", "cannot load"},
      {QUORIN_FRAMEWORK_PATH, "GetPackageInfoTable"},
  };
  for (const Case& c : cases) {
    try {
      LoadPackage(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const EPackageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  testsupport::SetEnvironment("QUORIN_FIXTURE_FUTURISTIC", "1");
  EXPECT_THROW(LoadPackage(QUORIN_FIXTURE_PACKAGE_PATH), EPackageError);
  testsupport::SetEnvironment("QUORIN_FIXTURE_FUTURISTIC", nullptr);
}

// Loading, installing, unloading and palette look-ups from several threads at
// once. Each thread installs and unloads the tamberlo package in turn (only
// one install of a class name can hold at a time: the others are refused),
// while the others load the tambercin package and read the palette. Run
// under ThreadSanitizer, this proves the locking; here it proves that every
// outcome is one of the documented ones.
TEST(Loader, IsSafeFromFourThreads) {
  std::atomic<int> installed{0}, refused{0}, lookups{0};
  auto work = [&](int id) {
    for (int round = 0; round < 20; ++round) {
      if (id % 2 == 0) {
        auto package = LoadPackage(QUORIN_TAMBERLO_PATH);
        try {
          InstallPackage(*package);
          ++installed;
        } catch (const EComponentError&) {
          ++refused;
        }
        UnloadPackage(std::move(package));
      } else {
        auto package = LoadPackage(QUORIN_TAMBERCIN_PATH);
        EXPECT_STREQ(package->Info().Version, "1.10");
        // The class records belong to the package that registered them and go
        // when another thread unloads it, so only the copied names are read here.
        for (const auto& page : PalettePages()) {
          EXPECT_EQ(page.Name, "Vantrel");
          EXPECT_EQ(page.Classes.size(), 1U);
        }
        if (FindComponentClass("TQuorin") != nullptr) ++lookups;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int id = 0; id < 4; ++id) threads.emplace_back(work, id);
  for (auto& t : threads) t.join();
  EXPECT_EQ(installed + refused, 40);
  EXPECT_GT(installed, 0);
  EXPECT_TRUE(Palette().empty()) << "every install was undone";
}

}  // namespace
