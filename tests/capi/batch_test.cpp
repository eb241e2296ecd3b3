// Many strings in one call, checked against the per-record calls they stand
// for: every result, every status and the state the instance is left in
// equal those of loading the chosen IV and calling the string function once
// per record, in every mode, key size, string mode and IV use.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "quorin/quorin.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Handle = std::unique_ptr<quorin, decltype(&quorin_free)>;

struct Column {
  Bytes data;
  std::vector<std::int64_t> offsets{0};
};

// Records end to end; the first starts a few bytes in, as a slice of a
// larger array does.
Column ColumnOf(const std::vector<Bytes>& records) {
  Column c;
  c.data.assign(3, 0xEE);
  c.offsets[0] = 3;
  for (const Bytes& r : records) {
    c.data.insert(c.data.end(), r.begin(), r.end());
    c.offsets.push_back(static_cast<std::int64_t>(c.data.size()));
  }
  return c;
}

std::vector<Bytes> RecordsOf(const Bytes& data, const std::vector<std::int64_t>& offsets) {
  std::vector<Bytes> records;
  for (std::size_t i = 0; i + 1 < offsets.size(); ++i)
    records.emplace_back(data.begin() + offsets[i], data.begin() + offsets[i + 1]);
  return records;
}

Bytes Filled(std::size_t n, unsigned seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed * 131 + i * 29 + 7);
  return b;
}

// Lengths around the block and armour boundaries.
std::vector<Bytes> Plaintexts() {
  std::vector<Bytes> records;
  unsigned seed = 1;
  for (const std::size_t n :
       {0u, 1u, 2u, 3u, 15u, 16u, 17u, 31u, 32u, 33u, 47u, 48u, 49u, 100u, 4111u, 4112u, 4113u})
    records.push_back(Filled(n, seed++));
  return records;
}

using Case = std::tuple<quorin_mode, quorin_key_size, quorin_string_mode, quorin_iv_use>;

Handle Keyed(const Case& c) {
  Handle q(quorin_new(), quorin_free);
  const Bytes key = Filled(32, 99);
  EXPECT_EQ(quorin_set_mode(q.get(), std::get<0>(c)), QUORIN_OK);
  EXPECT_EQ(quorin_set_key_size(q.get(), std::get<1>(c)), QUORIN_OK);
  EXPECT_EQ(quorin_set_string_mode(q.get(), std::get<2>(c)), QUORIN_OK);
  EXPECT_EQ(quorin_initialise(q.get(), key.data(), key.size()), QUORIN_OK);
  return q;
}

// The next string on an instance: equal on two instances when they were
// left with the same chain.
Bytes Next(quorin* q) {
  const std::uint8_t next[20] = {1, 2, 3};
  std::size_t size = 64;
  Bytes out(size);
  EXPECT_EQ(quorin_encrypt_string(q, next, sizeof next, out.data(), &size), QUORIN_OK);
  out.resize(size);
  return out;
}

class Batches : public testing::TestWithParam<Case> {
 protected:
  quorin_iv_use IvUse() const { return std::get<3>(GetParam()); }

  // One IV, or one per record.
  Bytes Ivs(std::size_t records) const {
    return Filled(16 * (IvUse() == QUORIN_IV_PER_RECORD ? records : 1), 5);
  }

  // The per-record calls a batch stands for.
  struct Outcome {
    std::vector<Bytes> results;
    std::vector<std::int32_t> statuses;
  };
  Outcome OneByOne(quorin* q, const std::vector<Bytes>& records, const Bytes& ivs,
                   bool encrypt) const {
    Outcome o;
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (IvUse() != QUORIN_IV_CHAIN || i == 0) {
        const std::size_t at = IvUse() == QUORIN_IV_PER_RECORD ? 16 * i : 0;
        EXPECT_EQ(quorin_load_iv(q, ivs.data() + at, 16), QUORIN_OK);
      }
      const Bytes& r = records[i];
      auto call = encrypt ? quorin_encrypt_string : quorin_decrypt_string;
      std::size_t size = 0;
      EXPECT_EQ(call(q, r.data(), r.size(), nullptr, &size), QUORIN_OK);
      Bytes out(size + 1);
      size = out.size();
      o.statuses.push_back(call(q, r.data(), r.size(), out.data(), &size));
      out.resize(o.statuses.back() == QUORIN_OK ? size : 0);
      o.results.push_back(out);
    }
    return o;
  }

  Outcome Batch(quorin* q, const std::vector<Bytes>& records, const Bytes& ivs,
                bool encrypt) const {
    const Column in = ColumnOf(records);
    auto call = encrypt ? quorin_encrypt_strings : quorin_decrypt_strings;
    std::size_t size = 0;
    std::vector<std::int32_t> statuses(records.size(), 1);
    EXPECT_EQ(call(q, in.data.data(), in.offsets.data(), records.size(), IvUse(), ivs.data(),
                   nullptr, &size, nullptr, statuses.data()),
              QUORIN_OK);
    Bytes out(size);
    std::vector<std::int64_t> offsets(records.size() + 1, -1);
    EXPECT_EQ(call(q, in.data.data(), in.offsets.data(), records.size(), IvUse(), ivs.data(),
                   out.data(), &size, offsets.data(), statuses.data()),
              QUORIN_OK);
    EXPECT_EQ(static_cast<std::size_t>(offsets.back()), size);
    return {RecordsOf(out, offsets), statuses};
  }
};

TEST_P(Batches, EqualThePerRecordCallsAndRoundTrip) {
  const std::vector<Bytes> plain = Plaintexts();
  const Bytes ivs = Ivs(plain.size());
  Handle batch = Keyed(GetParam()), single = Keyed(GetParam());

  const Outcome sealed = Batch(batch.get(), plain, ivs, true);
  const Outcome expected = OneByOne(single.get(), plain, ivs, true);
  EXPECT_EQ(sealed.results, expected.results);
  EXPECT_EQ(sealed.statuses, std::vector<std::int32_t>(plain.size(), QUORIN_OK));
  EXPECT_EQ(Next(batch.get()), Next(single.get()));

  // Decryption, with records no string call decrypts among the good ones.
  std::vector<Bytes> cipher = sealed.results;
  const bool text = std::get<2>(GetParam()) == QUORIN_STRING_ENCODE;
  const std::vector<Bytes> bad = text ? std::vector<Bytes>{{}, {'A'}, {'A', 'B', 'C', 'D', 'E'}}
                                      : std::vector<Bytes>{{}, Filled(17, 3), Filled(1, 4)};
  cipher.insert(cipher.begin() + 2, bad.begin(), bad.end());
  cipher.push_back(bad[1]);
  const Bytes cipherIvs = Ivs(cipher.size());
  const Outcome opened = Batch(batch.get(), cipher, cipherIvs, false);
  const Outcome openedSingly = OneByOne(single.get(), cipher, cipherIvs, false);
  EXPECT_EQ(opened.results, openedSingly.results);
  EXPECT_EQ(opened.statuses, openedSingly.statuses);
  EXPECT_EQ(opened.statuses[2], QUORIN_BAD_CIPHERTEXT);
  EXPECT_EQ(Next(batch.get()), Next(single.get()));
  if (IvUse() != QUORIN_IV_PER_RECORD || std::get<0>(GetParam()) == QUORIN_ECB) {
    std::vector<Bytes> good = opened.results;
    good.erase(good.begin() + 2, good.begin() + 5);
    good.pop_back();
    EXPECT_EQ(good, plain);
  }
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  static const char* const modes[] = {"ECB", "CBC", "CFB", "OFB"};
  static const char* const uses[] = {"Restart", "PerRecord", "Chain"};
  return std::string(modes[std::get<0>(info.param)]) + std::to_string(std::get<1>(info.param)) +
         (std::get<2>(info.param) == QUORIN_STRING_ENCODE ? "Armour" : "Raw") +
         uses[std::get<3>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(
    EveryModeKeySizeStringModeAndIvUse, Batches,
    testing::Combine(testing::Values(QUORIN_ECB, QUORIN_CBC, QUORIN_CFB, QUORIN_OFB),
                     testing::Values(QUORIN_KEY_128, QUORIN_KEY_192, QUORIN_KEY_256),
                     testing::Values(QUORIN_STRING_ENCODE, QUORIN_STRING_NORMAL),
                     testing::Values(QUORIN_IV_RESTART, QUORIN_IV_PER_RECORD, QUORIN_IV_CHAIN)),
    CaseName);

// A refused batch writes nothing and leaves the instance as it was.
TEST(BatchRefusals, ChangeNothing) {
  const Column col = ColumnOf({Filled(5, 1), Filled(40, 2)});
  const Bytes iv = Filled(16, 5);
  const std::vector<std::int64_t> decreasing{3, 10, 8};
  struct Refusal {
    const char* what;
    quorin_mode mode;
    bool keyed, ivLoaded;
    const std::int64_t* offsets;
    int iv_use;
    const std::uint8_t* ivs;
    std::size_t room;
    bool withStatuses;
    int expected;
  };
  const Refusal refusals[] = {
      {"no key", QUORIN_ECB, false, false, col.offsets.data(), QUORIN_IV_RESTART, nullptr, 256,
       true, QUORIN_NO_KEY},
      {"no IV to chain from", QUORIN_CBC, true, false, col.offsets.data(), QUORIN_IV_CHAIN, nullptr,
       256, true, QUORIN_NO_IV},
      {"no IVs to restart from", QUORIN_CFB, true, true, col.offsets.data(), QUORIN_IV_RESTART,
       nullptr, 256, true, QUORIN_INVALID_ARGUMENT},
      {"no offsets", QUORIN_ECB, true, false, nullptr, QUORIN_IV_RESTART, nullptr, 256, true,
       QUORIN_INVALID_ARGUMENT},
      {"decreasing offsets", QUORIN_ECB, true, false, decreasing.data(), QUORIN_IV_RESTART, nullptr,
       256, true, QUORIN_INVALID_ARGUMENT},
      {"an unknown IV use", QUORIN_CBC, true, true, col.offsets.data(), 3, iv.data(), 256, true,
       QUORIN_INVALID_ARGUMENT},
      {"no statuses", QUORIN_ECB, true, false, col.offsets.data(), QUORIN_IV_RESTART, nullptr, 256,
       false, QUORIN_INVALID_ARGUMENT},
      {"too little room", QUORIN_OFB, true, true, col.offsets.data(), QUORIN_IV_RESTART, iv.data(),
       20, true, QUORIN_BUFFER_TOO_SMALL},
  };
  for (const Refusal& r : refusals) {
    for (const bool encrypt : {true, false}) {
      SCOPED_TRACE(std::string(r.what) + (encrypt ? ", encrypting" : ", decrypting"));
      if (encrypt && !r.withStatuses) continue;  // encryption may go without them
      const Case c{r.mode, QUORIN_KEY_128, QUORIN_STRING_NORMAL, QUORIN_IV_CHAIN};
      Handle q = Keyed(c), twin = Keyed(c);
      if (!r.keyed) quorin_burn(q.get()), quorin_burn(twin.get());
      if (r.ivLoaded) {
        quorin_load_iv(q.get(), iv.data(), iv.size());
        quorin_load_iv(twin.get(), iv.data(), iv.size());
      }
      Bytes dst(256, 0xAA);
      std::vector<std::int64_t> offsets(3, -7);
      std::vector<std::int32_t> statuses(2, 9);
      std::size_t size = r.room;
      auto call = encrypt ? quorin_encrypt_strings : quorin_decrypt_strings;
      EXPECT_EQ(
          call(q.get(), col.data.data(), r.offsets, 2, static_cast<quorin_iv_use>(r.iv_use), r.ivs,
               dst.data(), &size, offsets.data(), r.withStatuses ? statuses.data() : nullptr),
          r.expected);
      EXPECT_EQ(size, r.expected == QUORIN_BUFFER_TOO_SMALL ? (encrypt ? 16 + 48 : 45) : r.room);
      EXPECT_EQ(dst, Bytes(256, 0xAA));
      EXPECT_EQ(offsets, std::vector<std::int64_t>(3, -7));
      EXPECT_EQ(statuses, std::vector<std::int32_t>(2, 9));
      if (r.keyed && (r.ivLoaded || r.mode == QUORIN_ECB)) {
        EXPECT_EQ(Next(q.get()), Next(twin.get()));
      }
    }
  }
}

}  // namespace
