#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "session/unique_handle.h"

namespace {

constexpr int FailingHandle = 13;  // its close fails

struct FakeTraits {
  using Handle = int;
  static Handle Empty() { return -1; }
  static bool Close(Handle h) {
    closed.push_back(h);
    return h != FailingHandle;
  }
  static inline std::vector<int> closed;
};
using Fake = UniqueHandle<FakeTraits>;

TEST(UniqueHandle, ClosesEachHandleOnceWhateverWayItGoes) {
  struct Case {
    const char* what;
    std::function<int(Fake&)> act;  // on an owner of handle 1; says what the call returned
    int result;
    int held;                 // after the act
    std::vector<int> closed;  // once the owner has ended
  };
  const Case cases[] = {
      {"ends", [](Fake&) { return 0; }, 0, 1, {1}},
      {"reset", [](Fake& f) { f.reset(2); return 0; }, 0, 2, {1, 2}},
      {"reset to nothing", [](Fake& f) { f.reset(); return 0; }, 0, -1, {1}},
      {"release", [](Fake& f) { return f.release(); }, 1, -1, {}},
      {"put", [](Fake& f) { *f.put() = 3; return 0; }, 0, 3, {1, 3}},
      {"close", [](Fake& f) { return int{f.close()}; }, 1, -1, {1}},
      {"failing close", [](Fake& f) { f.reset(FailingHandle); return int{f.close()}; }, 0, -1,
       {1, FailingHandle}},
      {"close of nothing", [](Fake& f) { f.release(); return int{f.close()}; }, 1, -1, {}},
      {"moved from", [](Fake& f) { Fake other(std::move(f)); return other.get(); }, 1, -1, {1}},
      {"moved over", [](Fake& f) {
         Fake other(2);
         other = std::move(f);
         return other.get();
       }, 1, -1, {2, 1}},
  };
  for (const Case& c : cases) {
    FakeTraits::closed.clear();
    {
      Fake owner(1);
      EXPECT_EQ(c.act(owner), c.result) << c.what;
      EXPECT_EQ(owner.get(), c.held) << c.what;
      EXPECT_EQ(static_cast<bool>(owner), c.held != -1) << c.what;
    }
    EXPECT_EQ(FakeTraits::closed, c.closed) << c.what;
  }
}

}  // namespace
