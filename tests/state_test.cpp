// Which keyed operations run in each of the four key/IV states, in ECB and in
// the chaining modes: every operation gates on the same two flags.
#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "quorin/framework/Classes.h"

using namespace testsupport;
using Rc6::TCipherMode;
using Rc6::TQuorin;

namespace {

constexpr std::int32_t kRuns = 1;  // any status but -1 and -4

struct Operation {
  const char* name;
  std::function<std::int32_t(TQuorin&, const TempDir&)> call;
};

std::vector<Operation> Operations() {
  return {
      {"EncryptBlock",
       [](TQuorin& q, const TempDir&) {
         Rc6::TBlock o;
         return q.EncryptBlock({}, o);
       }},
      {"DecryptBlock",
       [](TQuorin& q, const TempDir&) {
         Rc6::TBlock o;
         return q.DecryptBlock({}, o);
       }},
      {"EncryptBuffer", [](TQuorin& q, const TempDir&) { return q.EncryptBuffer(16); }},
      {"DecryptBuffer", [](TQuorin& q, const TempDir&) { return q.DecryptBuffer(16); }},
      {"EncryptString",
       [](TQuorin& q, const TempDir&) {
         std::string o;
         return q.EncryptString("x", o);
       }},
      {"DecryptString",
       [](TQuorin& q, const TempDir&) {
         std::string o;
         return q.DecryptString(std::string(22, 'A'), o);
       }},
      {"EncryptStream",
       [](TQuorin& q, const TempDir&) {
         framework::TMemoryStream s, d;
         return q.EncryptStream(s, d);
       }},
      {"DecryptStream",
       [](TQuorin& q, const TempDir&) {
         framework::TMemoryStream s, d;
         s.Write(std::string(16, 'c').data(), 16);
         s.SetPosition(0);
         return q.DecryptStream(s, d);
       }},
      {"EncryptFile",
       [](TQuorin& q, const TempDir& t) { return q.EncryptFile(t.File("p"), t.File("o")); }},
      {"DecryptFile",
       [](TQuorin& q, const TempDir& t) { return q.DecryptFile(t.File("c"), t.File("o")); }},
  };
}

TEST(States, KeyedOperationsGateOnKeyThenIV) {
  struct State {
    bool key, iv;
    std::int32_t ecb, chained;
  } states[] = {{false, false, -1, -1},
                {false, true, -1, -1},
                {true, false, kRuns, -4},
                {true, true, kRuns, kRuns}};
  TempDir dir;
  WriteFileBytes(dir.File("p"), AsBytes("plain"));
  WriteFileBytes(dir.File("c"), Bytes(16, 0));
  for (const State& s : states) {
    for (TCipherMode mode : kAllModes) {
      for (const Operation& op : Operations()) {
        TQuorin q(nullptr);
        q.SetCipherMode(mode);
        if (s.key) q.InitialiseString("key");
        if (s.iv) q.LoadIVString("iv");
        const std::int32_t expected = mode == TCipherMode::ECB ? s.ecb : s.chained;
        const std::int32_t got = op.call(q, dir);
        SCOPED_TRACE(std::string(op.name) + " in " + ModeName(mode) +
                     (s.key ? " with key" : " no key") + (s.iv ? " with IV" : " no IV"));
        if (expected == kRuns)
          EXPECT_TRUE(got != -1 && got != -4) << got;
        else
          EXPECT_EQ(got, expected);
      }
    }
  }
}

TEST(States, BurnReturnsEveryOperationToNoKey) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), AsBytes("plain"));
  WriteFileBytes(dir.File("c"), Bytes(16, 0));
  for (const Operation& op : Operations()) {
    TQuorin q(nullptr);
    q.SetCipherMode(TCipherMode::CBC);
    q.InitialiseString("key");
    q.LoadIVString("iv");
    q.Burn();
    EXPECT_EQ(op.call(q, dir), -1) << op.name;
  }
}

}  // namespace
