#pragma once
// The trees the command-line tool finds, compared with the dumps stored
// under tests/cli/trees.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/Absent.h"
#include "support/Files.h"

namespace clitest {

// Expects `found` to be the stored dump `name`; `differs` begins the
// message when it is not. With QUARNEL_WRITE_TREE_DUMPS set the dump is
// rewritten instead and the test skipped (a failure under CI).
inline void ExpectStoredDump(const std::string& found, const std::string& name, const std::string& differs) {
  const std::string stored = std::string(QUARNEL_CLI_TESTS_DIR) + "/trees/" + name;
  if (std::getenv("QUARNEL_WRITE_TREE_DUMPS") != nullptr) {
    // Rewriting is a step of a reviewed change, never a pass: CI compares.
    if (testsupport::AbsenceIsAnError(testsupport::Absence::kTool)) FAIL() << "QUARNEL_WRITE_TREE_DUMPS under CI";
    std::ofstream(stored, std::ios::binary) << found;
    GTEST_SKIP() << "rewrote " << stored;
  }
  const std::string expected = testsupport::ReadFileText(stored);
  ASSERT_FALSE(expected.empty()) << stored << " is missing";
  EXPECT_EQ(found, expected) << differs << " " << stored;
}

}  // namespace clitest
