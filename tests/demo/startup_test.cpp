// The demo's command line and its choice of ground.
#include <gtest/gtest.h>

#include <stdexcept>

#include "qzplatform/sim/sim_ground.h"
#include "startup.h"

namespace {

TEST(ParseOptions, KnownOptions) {
  demo::Options o;
  std::string error;
  ASSERT_TRUE(demo::ParseOptions({"--list", "--platform=sim", "--sim", "devices.json"}, o, error));
  EXPECT_TRUE(o.list);
  EXPECT_EQ(o.platform, "sim");
  EXPECT_EQ(o.simFile, "devices.json");
}

TEST(ParseOptions, RefusesWhatItDoesNotKnow) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--bogus"}, {"--sim"}, {"--platform="}, {"--sim", "f", "--platform=linux"}}) {
    demo::Options o;
    std::string error;
    EXPECT_FALSE(demo::ParseOptions(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(ParseOptions, RefusesAnEmptyDeviceFileName) {
  demo::Options o;
  std::string error;
  EXPECT_FALSE(demo::ParseOptions({"--sim", "", "--list"}, o, error));
  EXPECT_EQ(error, "--sim needs a device description file");
}

class Ground : public ::testing::Test {
 protected:
  void TearDown() override { qzplatform::SetGround(nullptr); }
};

TEST_F(Ground, SimIsChosenByOptionEnvironmentOrDeviceFile) {
  demo::Options o;
  o.platform = "sim";
  auto g = demo::InstallGround(o, "linux");
  EXPECT_EQ(g.name, "sim");
  EXPECT_TRUE(g.note.empty());
  ASSERT_NE(g.simMachine, nullptr);
  EXPECT_EQ(qzplatform::CurrentGround()->Name(), u"sim");
  EXPECT_EQ(demo::InstallGround(demo::Options{}, "sim").name, "sim");
}

TEST_F(Ground, UnknownPlatformAndUnreadableFileAreErrors) {
  demo::Options o;
  o.platform = "amiga";
  EXPECT_THROW(demo::InstallGround(o, nullptr), std::runtime_error);
  demo::Options f;
  f.simFile = "/nonexistent/devices.json";
  EXPECT_THROW(demo::InstallGround(f, nullptr), std::exception);
}

TEST_F(Ground, NativeGroundWithoutDevicesFallsBackToTheBuiltInSimulation) {
  demo::Options o;
  o.platform = "linux";
  if (!demo::NativeGroundAvailable()) {
    EXPECT_THROW(demo::InstallGround(o, nullptr), std::runtime_error);
    return;
  }
  const auto g = demo::InstallGround(o, nullptr);
  if (g.name == "linux") GTEST_SKIP() << "this machine has HID devices";
  EXPECT_EQ(g.name, "sim");
  EXPECT_NE(g.note.find(u"No HID device"), std::u16string::npos);
  EXPECT_EQ(qzplatform::CurrentGround()->Name(), u"sim");
}

}  // namespace
