// KAVO_NUM_THREADS parsing: what is accepted and what keeps the default.

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "drovek/executor/thread_count_setting.h"

namespace {

TEST(ThreadCountSettingTest, AcceptsPositiveDecimalsAndIgnoresEverythingElse) {
  struct Case {
    std::string_view text;
    std::optional<std::uint64_t> expected;
  };
  const Case cases[] = {
      {"1", 1},         {"4", 4},          {" 8\t", 8},      {"007", 7},       {"1024", 1024},
      {"0", {}},        {"", {}},          {"  ", {}},       {"-2", {}},       {"+2", {}},
      {"2.5", {}},      {"3 4", {}},       {"four", {}},     {"1025", {}},     {"99999999999999999999999", {}},
      {"4x", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(drovek::parse_thread_count(c.text), c.expected) << "'" << c.text << "'";
}

TEST(ThreadCountSettingTest, AnIgnoredValueIsNamedWithTheCountUsedInstead) {
  EXPECT_EQ(drovek::ignored_thread_count_message("two", 2),
            "KAVO_NUM_THREADS=\"two\" ignored: not a whole number from 1 to 1024; using 2 worker threads\n");
  EXPECT_EQ(drovek::ignored_thread_count_message("0\n", 1),
            "KAVO_NUM_THREADS=\"0\\n\" ignored: not a whole number from 1 to 1024; using 1 worker thread\n");
}

}  // namespace
