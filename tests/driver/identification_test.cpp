// The engine's name as built from its command line.
#include <gtest/gtest.h>
#include "driver/engine.h"

TEST(Identification, NameFromCommandLine) {
  EXPECT_EQ(BuildEngineName("C:\\engines\\Blue Tolvo 2.exe"), "Blue Tolvo 2");
  EXPECT_EQ(BuildEngineName("tolvo.exe"), "Tolvo");
  EXPECT_EQ(BuildEngineName("engine.exe"), "Tolvo engine");
  EXPECT_EQ(BuildEngineName("/usr/local/bin/tolvo"), "Tolvo");
  EXPECT_EQ(BuildEngineName("./build/TOLVO"), "Tolvo");
  EXPECT_EQ(BuildEngineName("/tmp/x/engine"), "Tolvo engine");
  EXPECT_EQ(BuildEngineName("/opt/my  tolvo"), "my Tolvo");
  EXPECT_EQ(BuildEngineName(""), "Tolvo");
}
