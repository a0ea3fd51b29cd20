#include <gtest/gtest.h>

#include "test_support.h"

using namespace tavrin;

// `tavrin-cli --version` prints the project's version (CMake's project()) and
// touches nothing: no data folder is created and no log is written.
TEST(Cli, VersionComesFromTheProjectAndLeavesTheRootAlone) {
  test::TempDir dir;
  const std::string root = (dir / "never-created").string();
  auto r = test::runCommand("TAVRIN_ROOT='" + root + "' " + test::cliPath() + " --version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "tavrin-cli " TAVRIN_EXPECTED_VERSION "\n");
  EXPECT_FALSE(std::filesystem::exists(root));

  auto help = test::runCommand(test::cliPath() + " --help");
  EXPECT_NE(help.out.find("tavrin-cli --version"), std::string::npos);
  // Only in front of a command: after one it is that command's argument.
  auto late = test::runCommand("TAVRIN_ROOT='" + root + "' " + test::cliPath() + " links --version 2>&1");
  EXPECT_EQ(late.status, 2);
}
