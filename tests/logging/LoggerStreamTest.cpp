// The stream side of log statements: what the UTF-16 stream renders, and
// the singleton helper. Level 0 keeps the records themselves out of files.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "logging/Logger.h"

namespace {

enum Plain { kPlainSeven = 7 };
enum class Scoped : uint8_t { kNine = 9 };

TEST(LoggerStreamW, TakesUtf16NarrowTextAndNumbersLikeAnOstream) {
  QLXSdk::CLoggerStreamW stream(0);
  const char16_t* text = u"\u4e2d\u6587";
  stream << text << std::u16string(u" u16") << u'!' << " utf8 \xE4\xB8\xAD " << std::string("s")
         << ' ' << 42 << ' ' << -7L << ' ' << 18446744073709551615ull << ' ' << 3.5 << ' ' << 1e20
         << ' ' << true << ' ' << static_cast<const char16_t*>(nullptr)
         << static_cast<const void*>(nullptr) << ' ' << kPlainSeven << Scoped::kNine;
  std::ostringstream expected;
  expected << 42 << ' ' << -7L << ' ' << 18446744073709551615ull << ' ' << 3.5 << ' ' << 1e20 << ' '
           << true << ' ' << static_cast<const void*>(nullptr) << " 79";
  const std::string rendered = expected.str();
  const std::u16string numbers(rendered.begin(), rendered.end());
  EXPECT_EQ(stream.str(), u"\u4e2d\u6587 u16! utf8 \u4e2d s " + numbers);
}

struct Counted {
  Counted() { ++constructed; }
  static inline std::atomic<int> constructed{0};
};

TEST(CSingleton, ConcurrentFirstUseCreatesOneInstance) {
  std::vector<std::thread> threads;
  std::vector<Counted*> seen(8);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = QLXSdk::CSingleton<Counted>::Instance(); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(Counted::constructed, 1);
  for (Counted* instance : seen) EXPECT_EQ(instance, seen[0]);
}

}  // namespace
