#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "kavo_ops/matrix/batched_matmul.h"
#include "kavo_ops/matrix/generic_kernel.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "platform/invariant_failure.h"
#include "support/tier_fixture.h"

namespace kavo_ops {
namespace {

using tier_testing::TierTest;

// A matrix in a storage of its own, addressed through any strides.
template <class T>
struct Strided {
  std::vector<T> storage;
  kavo::Layout<2> layout;

  T& at(std::uint64_t i, std::uint64_t j) {
    return storage[layout.offset + i * layout.strides[0] + j * layout.strides[1]];
  }
  T get(std::uint64_t i, std::uint64_t j) const {
    return storage[layout.offset + i * layout.strides[0] + j * layout.strides[1]];
  }
  kavo::View<T, 2> view() const { return {storage.data(), storage.size(), layout}; }
  kavo::MutView<T, 2> mut_view() { return {storage.data(), storage.size(), layout, false}; }
};

enum class Order { Row, Column, Padded };  // Padded: row-major rows with a gap of 3

template <class T>
Strided<T> make(std::uint64_t rows, std::uint64_t cols, Order order, std::uint32_t seed, T fill = T(0)) {
  Strided<T> m;
  switch (order) {
    case Order::Row: m.layout = {{rows, cols}, {std::int64_t(cols), 1}, 0}; break;
    case Order::Column: m.layout = {{rows, cols}, {1, std::int64_t(rows)}, 0}; break;
    case Order::Padded: m.layout = {{rows, cols}, {std::int64_t(cols + 3), 1}, 2}; break;
  }
  m.storage.assign(order == Order::Padded ? 2 + rows * (cols + 3) : rows * cols, fill);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<T> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-8, 8);
  for (std::uint64_t i = 0; i < rows; ++i) {
    for (std::uint64_t j = 0; j < cols; ++j) m.at(i, j) = std::ldexp(mantissa(rng), exponent(rng));
  }
  return m;
}

// The tiled kernel's arithmetic: each element one fused chain over p from
// what the output held.
template <class T>
std::vector<T> chain_product(const Strided<T>& a, const Strided<T>& b, std::vector<T> start, bool skip_zeros) {
  const std::uint64_t m = a.layout.shape[0], k = a.layout.shape[1], n = b.layout.shape[1];
  for (std::uint64_t i = 0; i < m; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      T acc = start[i * n + j];
      for (std::uint64_t p = 0; p < k; ++p) {
        if (skip_zeros && a.get(i, p) == T(0)) continue;
        acc = std::fma(a.get(i, p), b.get(p, j), acc);
      }
      start[i * n + j] = acc;
    }
  }
  return start;
}

// The dot route's arithmetic: the dot slice kernel per element.
template <class T>
std::vector<T> dot_product(const Strided<T>& a, const Strided<T>& b) {
  const std::uint64_t m = a.layout.shape[0], k = a.layout.shape[1], n = b.layout.shape[1];
  std::vector<T> out(m * n), row(k), col(k);
  for (std::uint64_t i = 0; i < m; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      for (std::uint64_t p = 0; p < k; ++p) row[p] = a.get(i, p), col[p] = b.get(p, j);
      out[i * n + j] = dot_slice(std::span<const T>(row), std::span<const T>(col));
    }
  }
  return out;
}

template <class T>
std::vector<T> dense(Strided<T>& out) {
  std::vector<T> values;
  for (std::uint64_t i = 0; i < out.layout.shape[0]; ++i) {
    for (std::uint64_t j = 0; j < out.layout.shape[1]; ++j) values.push_back(out.at(i, j));
  }
  return values;
}

template <class T>
bool same_bits(const std::vector<T>& x, const std::vector<T>& y) {
  return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(T)) == 0);
}

struct RouteCase {
  const char* name;
  Order a, b;
  std::uint64_t m, k, n;
  enum { Chain, Dot, RowUpdate } arithmetic;
};

// Every route on both sides of the size rule (m >= 64 and m*k*n >= 262144);
// the large tiled cases run in parallel bands and must match the plain loop.
constexpr RouteCase route_cases[] = {
    {"tiled small", Order::Row, Order::Row, 20, 33, 27, RouteCase::Chain},
    {"tiled small wide m", Order::Row, Order::Row, 63, 100, 100, RouteCase::Chain},
    {"tiled small by its own rule", Order::Row, Order::Row, 64, 64, 64, RouteCase::Chain},
    {"tiled large parallel", Order::Row, Order::Row, 256, 128, 256, RouteCase::Chain},
    {"tiled large packed B", Order::Row, Order::Row, 200, 300, 250, RouteCase::Chain},
    {"tiled after copying padded A", Order::Padded, Order::Row, 70, 50, 40, RouteCase::Chain},
    {"tiled after copying padded B", Order::Row, Order::Padded, 9, 40, 33, RouteCase::Chain},
    {"dot small", Order::Row, Order::Column, 10, 37, 11, RouteCase::Dot},
    {"dot large parallel", Order::Row, Order::Column, 96, 70, 50, RouteCase::Dot},
    {"outer small", Order::Column, Order::Row, 10, 37, 11, RouteCase::RowUpdate},
    {"outer large parallel", Order::Column, Order::Row, 96, 70, 50, RouteCase::RowUpdate},
    {"both column-major, A copied", Order::Column, Order::Column, 8, 30, 40, RouteCase::Dot},
    {"both column-major, B copied", Order::Column, Order::Column, 40, 30, 8, RouteCase::RowUpdate},
    {"single row", Order::Row, Order::Row, 1, 50, 30, RouteCase::RowUpdate},
};

class MatmulRouteTest : public TierTest {};

template <class T>
void check_route(const RouteCase& c) {
  SCOPED_TRACE(::testing::Message() << c.name << ", " << sizeof(T) * 8 << "-bit");
  const auto a = make<T>(c.m, c.k, c.a, 1);
  const auto b = make<T>(c.k, c.n, c.b, 2);
  auto out = make<T>(c.m, c.n, Order::Row, 3);  // overwritten: start values must not matter
  ASSERT_TRUE(matmul_into(a.view(), b.view(), out.mut_view()));
  std::vector<T> expected;
  if (c.arithmetic == RouteCase::Dot) {
    expected = dot_product(a, b);
  } else {
    expected = chain_product(a, b, std::vector<T>(c.m * c.n, T(0)), c.arithmetic == RouteCase::RowUpdate);
  }
  EXPECT_TRUE(same_bits(out.storage, expected));
}

TEST_P(MatmulRouteTest, EachRouteReproducesItsPlainLoopBitForBit) {
  for (const RouteCase& c : route_cases) {
    check_route<float>(c);
    check_route<double>(c);
  }
}

TEST_P(MatmulRouteTest, AccumulateIntoAWindowLeavesTheRestOfTheStorage) {
  const auto a = make<double>(200, 90, Order::Row, 4);
  const auto b = make<double>(90, 200, Order::Row, 5);
  // A 200 x 200 window with row stride 1000 inside a larger matrix.
  Strided<double> out;
  out.layout = {{200, 200}, {1000, 1}, 7};
  out.storage.assign(7 + 199 * 1000 + 200 + 5, 0.0);
  for (std::size_t i = 0; i < out.storage.size(); ++i) out.storage[i] = double(i % 97) - 48.5;
  const auto before = out.storage;
  const auto expected = chain_product(a, b, dense(out), false);
  ASSERT_TRUE(matmul_routed(a.view(), b.view(), out.mut_view(), true));
  EXPECT_TRUE(same_bits(dense(out), expected));
  for (std::size_t pos = 0; pos < out.storage.size(); ++pos) {
    const bool inside = pos >= 7 && (pos - 7) % 1000 < 200 && (pos - 7) / 1000 < 200;
    if (!inside) {
      ASSERT_EQ(out.storage[pos], before[pos]) << pos;
    }
  }
}

TEST_P(MatmulRouteTest, ZeroCoefficientsAreSkippedOnlyByRowUpdates) {
  const float inf = std::numeric_limits<float>::infinity();
  for (Order a_order : {Order::Column, Order::Row}) {
    auto a = make<float>(70, 40, a_order, 6);
    for (std::uint64_t p = 0; p < 40; ++p) a.at(3, p) = 0.0f;  // row 3 of A is zero
    auto b = make<float>(40, 70, Order::Row, 7);
    b.at(5, 9) = inf;
    b.at(6, 10) = std::numeric_limits<float>::quiet_NaN();
    auto out = make<float>(70, 70, Order::Row, 8);
    ASSERT_TRUE(matmul_into(a.view(), b.view(), out.mut_view()));
    if (a_order == Order::Column) {  // outer kernel: row 3 stays exactly zero
      for (std::uint64_t j = 0; j < 70; ++j) EXPECT_EQ(out.at(3, j), 0.0f) << j;
    } else {  // tiled: 0 * inf and 0 * NaN are NaN, as in any BLAS
      EXPECT_TRUE(std::isnan(out.at(3, 9)));
      EXPECT_TRUE(std::isnan(out.at(3, 10)));
      EXPECT_EQ(out.at(3, 0), 0.0f);
    }
  }
}

TEST_P(MatmulRouteTest, NonRowMajorOutputsReceiveTheSameProduct) {
  const auto a = make<float>(33, 45, Order::Row, 9);
  const auto b = make<float>(45, 29, Order::Row, 10);
  auto row_out = make<float>(33, 29, Order::Row, 0, 0.0f);
  ASSERT_TRUE(matmul_into(a.view(), b.view(), row_out.mut_view()));
  auto column_out = make<float>(33, 29, Order::Column, 11);
  ASSERT_TRUE(matmul_into(a.view(), b.view(), column_out.mut_view()));
  EXPECT_TRUE(same_bits(dense(column_out), row_out.storage));

  // Rows in reverse order: a row stride below n takes the row updates.
  Strided<float> reversed;
  reversed.layout = {{33, 29}, {-29, 1}, 32 * 29};
  reversed.storage.assign(33 * 29, 5.0f);
  ASSERT_TRUE(matmul_routed(a.view(), b.view(), reversed.mut_view(), false));
  EXPECT_TRUE(same_bits(dense(reversed), chain_product(a, b, std::vector<float>(33 * 29, 0.0f), true)));
}

INSTANTIATE_TEST_SUITE_P(AllTiers, MatmulRouteTest, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

TEST(MatmulSizeRule, LargeFrom64RowsAnd262144MultiplyAdds) {
  EXPECT_TRUE(is_large_product(64, 64, 64));
  EXPECT_FALSE(is_large_product(63, 100, 100));
  EXPECT_FALSE(is_large_product(64, 64, 63));
  EXPECT_TRUE(is_large_product(64, std::uint64_t(1) << 40, std::uint64_t(1) << 40));  // saturates
  // The tiled route: 2^23 float32 or 2^22 float64 multiply-adds.
  EXPECT_TRUE(is_large_tiled_product<float>(256, 128, 256));
  EXPECT_FALSE(is_large_tiled_product<float>(256, 128, 255));
  EXPECT_TRUE(is_large_tiled_product<double>(128, 128, 256));
  EXPECT_FALSE(is_large_tiled_product<double>(128, 127, 256));
  EXPECT_FALSE(is_large_tiled_product<float>(63, 1 << 20, 1 << 20));
  EXPECT_TRUE(is_large_tiled_product<double>(64, std::uint64_t(1) << 40, std::uint64_t(1) << 40));
}

TEST(MatmulErrors, ShapesStorageAndAliasing) {
  const auto a = make<float>(2, 3, Order::Row, 1);
  const auto b = make<float>(4, 2, Order::Row, 2);
  auto out = make<float>(2, 2, Order::Row, 3);
  auto mismatch = matmul_into(a.view(), b.view(), out.mut_view());
  ASSERT_FALSE(mismatch);
  EXPECT_EQ(mismatch.error().display(), "Shape mismatch: lhs [2, 3], rhs [4, 2]");

  const auto b3 = make<float>(3, 2, Order::Row, 4);
  auto wrong_out = make<float>(3, 2, Order::Row, 5);
  EXPECT_FALSE(matmul_into(a.view(), b3.view(), wrong_out.mut_view()));

  auto shared = out.mut_view();
  shared.shares_window = true;
  auto marked = matmul_into(a.view(), b3.view(), shared);
  ASSERT_FALSE(marked);
  EXPECT_TRUE(marked.error().display().starts_with("Storage error: matmul output must exclusively own its storage window"));

  auto aliased = out.mut_view();
  aliased.layout.strides = {0, 1};
  auto alias = matmul_into(a.view(), b3.view(), aliased);
  ASSERT_FALSE(alias);
  EXPECT_EQ(alias.error().display(), "Storage error: matmul output layout must be injective (no aliasing)");

  auto short_a = a.view();
  short_a.len = 5;
  EXPECT_FALSE(matmul_into(short_a, b3.view(), out.mut_view()));
}

TEST(MatmulEmpty, ZeroDepthGivesZerosAndNoRowsGiveNothing) {
  const auto a = make<float>(4, 0, Order::Row, 1);
  const auto b = make<float>(0, 5, Order::Row, 2);
  auto out = make<float>(4, 5, Order::Row, 3);
  ASSERT_TRUE(matmul_into(a.view(), b.view(), out.mut_view()));
  EXPECT_EQ(out.storage, std::vector<float>(20, 0.0f));
  const auto none = make<float>(0, 3, Order::Row, 1);
  const auto b35 = make<float>(3, 5, Order::Row, 2);
  auto empty = make<float>(0, 5, Order::Row, 3);
  EXPECT_TRUE(matmul_into(none.view(), b35.view(), empty.mut_view()));
}

TEST(GenericKernel, RejectsBlocksThatAreNotPowersOfTwoUpTo32) {
  const auto a = make<double>(4, 4, Order::Row, 1);
  const auto b = make<double>(4, 4, Order::Row, 2);
  auto out = make<double>(4, 4, Order::Row, 3);
  const MatmulRoute route = *route_matmul(a.view(), b.view(), out.mut_view());
  for (std::uint64_t block : {0, 3, 64}) {
    try {
      generic_kernel(route, a.storage.data(), b.storage.data(), out.storage.data(), 0, 4, block, false);
      ADD_FAILURE() << "block " << block << " accepted";
    } catch (const platform::InvariantFailure& failure) {
      EXPECT_EQ(failure.message(),
                "internal error: entered unreachable code: matmul tile policy must return a power-of-two block <= 32");
    }
  }
  for (std::uint64_t block : {1, 2, 4, 8, 16, 32}) generic_kernel(route, a.storage.data(), b.storage.data(), out.storage.data(), 0, 4, block, false);
}

// ---- batches --------------------------------------------------------------

TEST(BatchedMatmul, BatchCountsBroadcastOneSidedly) {
  const struct {
    std::uint64_t a, b;
    std::int64_t batches;  // -1: mismatch
  } cases[] = {{4, 4, 4}, {1, 4, 4}, {4, 1, 4}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {2, 3, -1}, {0, 3, -1}};
  for (const auto& c : cases) {
    auto count = batched_batch_count({c.a, 2, 3}, {c.b, 3, 5});
    if (c.batches < 0) {
      ASSERT_FALSE(count);
      EXPECT_EQ(count.error().display(), "Shape mismatch: lhs [" + std::to_string(c.a) + ", 2, 3], rhs [" +
                                             std::to_string(c.b) + ", 3, 5]");
    } else {
      ASSERT_TRUE(count) << c.a << " " << c.b;
      EXPECT_EQ(*count, std::uint64_t(c.batches));
    }
  }
}

template <class T>
kavo::View<T, 3> batch_view(const std::vector<T>& data, std::uint64_t batches, std::uint64_t rows, std::uint64_t cols) {
  return {data.data(), data.size(),
          {{batches, rows, cols}, {std::int64_t(rows * cols), std::int64_t(cols), 1}, 0}};
}

TEST(BatchedMatmul, ParallelBatchesMatchOneProductEach) {
  const std::uint64_t batches = kParallelBatches + 7, m = 4, k = 5, n = 3;
  const auto a = make<float>(batches * m, k, Order::Row, 1).storage;
  const auto b = make<float>(k, n, Order::Row, 2).storage;  // one matrix for every batch
  std::vector<float> out(batches * m * n, 0.0f);
  kavo::MutView<float, 3> out_view{out.data(), out.size(), {{batches, m, n}, {std::int64_t(m * n), std::int64_t(n), 1}, 0}};
  ASSERT_TRUE(batched_matmul_into(batch_view(a, batches, m, k), batch_view(b, 1, k, n), out_view));
  for (std::uint64_t t = 0; t < batches; t += 97) {
    std::vector<float> one(m * n, 0.0f);
    kavo::View<float, 2> a_t{a.data(), a.size(), {{m, k}, {std::int64_t(k), 1}, t * m * k}};
    kavo::View<float, 2> b_t{b.data(), b.size(), {{k, n}, {std::int64_t(n), 1}, 0}};
    ASSERT_TRUE(matmul_into(a_t, b_t, kavo::MutView<float, 2>{one.data(), one.size(), {{m, n}, {std::int64_t(n), 1}, 0}, false}));
    EXPECT_TRUE(same_bits(std::vector<float>(out.begin() + t * m * n, out.begin() + (t + 1) * m * n), one)) << t;
  }
}

// Small compact batches take the register loop; every batch must equal its
// own matmul_into bit for bit on each tier, broadcast operands, signed
// zeros and infinities (a zero times an infinity is NaN in the tiled chain)
// and a parallel split included.
class SmallBatchedMatmulTest : public TierTest {};

TEST_P(SmallBatchedMatmulTest, EachBatchEqualsItsOwnProductBitForBit) {
  const struct {
    std::uint64_t a_batches, b_batches, m, k, n;
  } cases[] = {{5, 5, 4, 4, 4},  {3, 3, 2, 2, 2},  {4, 1, 7, 3, 13}, {1, 6, 16, 16, 16}, {2, 2, 13, 16, 9},
               {3, 3, 6, 5, 12}, {3, 3, 16, 2, 5}, {600, 600, 16, 16, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.a_batches << " x " << c.m << "x" << c.k << " . " << c.b_batches << " x "
                                      << c.k << "x" << c.n);
    const std::uint64_t batches = std::max(c.a_batches, c.b_batches);
    auto a = make<float>(c.a_batches * c.m, c.k, Order::Row, 5).storage;
    auto b = make<float>(c.b_batches * c.k, c.n, Order::Row, 6).storage;
    a[1] = -0.0f, a[c.k] = 0.0f, b[0] = std::numeric_limits<float>::infinity(), b[b.size() - 1] = -0.0f;
    std::vector<float> out(batches * c.m * c.n, 7.0f);  // overwritten
    kavo::MutView<float, 3> out_view{
        out.data(), out.size(), {{batches, c.m, c.n}, {std::int64_t(c.m * c.n), std::int64_t(c.n), 1}, 0}, false};
    ASSERT_TRUE(batched_matmul_into(batch_view(a, c.a_batches, c.m, c.k), batch_view(b, c.b_batches, c.k, c.n),
                                    out_view));
    for (std::uint64_t t = 0; t < batches; ++t) {
      std::vector<float> one(c.m * c.n, 0.0f);
      const std::uint64_t ta = c.a_batches == 1 ? 0 : t, tb = c.b_batches == 1 ? 0 : t;
      kavo::View<float, 2> a_t{a.data(), a.size(), {{c.m, c.k}, {std::int64_t(c.k), 1}, ta * c.m * c.k}};
      kavo::View<float, 2> b_t{b.data(), b.size(), {{c.k, c.n}, {std::int64_t(c.n), 1}, tb * c.k * c.n}};
      ASSERT_TRUE(matmul_into(a_t, b_t,
                              kavo::MutView<float, 2>{one.data(), one.size(), {{c.m, c.n}, {std::int64_t(c.n), 1}, 0}, false}));
      ASSERT_TRUE(same_bits(std::vector<float>(out.begin() + t * c.m * c.n, out.begin() + (t + 1) * c.m * c.n), one))
          << "batch " << t;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTiers, SmallBatchedMatmulTest, ::testing::ValuesIn(tier_testing::all_tiers),
                         tier_testing::TierName());

TEST(BatchedMatmul, FirstErrorStopsTheBatches) {
  for (std::uint64_t batches : {std::uint64_t(3), kParallelBatches + 1}) {
    const std::vector<float> a(batches * 4, 1.0f), b(batches * 4, 1.0f);
    std::vector<float> out(batches * 4, 0.0f);
    kavo::MutView<float, 3> marked{out.data(), out.size(), {{batches, 2, 2}, {4, 2, 1}, 0}, true};
    auto done = batched_matmul_into(batch_view(a, batches, 2, 2), batch_view(b, batches, 2, 2), marked);
    ASSERT_FALSE(done) << batches;
    EXPECT_TRUE(done.error().display().starts_with("Storage error: matmul output must exclusively own")) << batches;
    EXPECT_EQ(out, std::vector<float>(batches * 4, 0.0f));
  }
}

// A's storage ends where batch `first_bad` begins, so that batch and every
// later one fail, each naming its own offsets. Whichever order the threads
// meet them in, the lowest failing batch is the one reported, as in the
// sequential driver.
TEST(BatchedMatmul, ParallelDriverReportsTheLowestFailingBatch) {
  constexpr std::uint64_t kSide = 8, kElements = kSide * kSide;
  const std::uint64_t batches = 2 * kParallelBatches;
  const std::vector<float> a(batches * kElements, 1.0f), b(kElements, 1.0f);
  const kavo::Layout<2> square{{kSide, kSide}, {std::int64_t(kSide), 1}, 0};
  for (std::uint64_t first_bad : {std::uint64_t(1), std::uint64_t(120), std::uint64_t(127), std::uint64_t(130),
                                  std::uint64_t(191), std::uint64_t(1500), batches - 1}) {
    const std::uint64_t a_len = first_bad * kElements;
    const kavo::View<float, 3> short_a{a.data(), a_len, {{batches, kSide, kSide}, {std::int64_t(kElements), std::int64_t(kSide), 1}, 0}};
    std::vector<float> one(kElements, 0.0f);
    kavo::Layout<2> bad_batch = square;
    bad_batch.offset = a_len;
    const auto expected = matmul_into(kavo::View<float, 2>{a.data(), a_len, bad_batch},
                                      kavo::View<float, 2>{b.data(), b.size(), square},
                                      kavo::MutView<float, 2>{one.data(), one.size(), square, false});
    ASSERT_FALSE(expected);
    for (int run = 0; run < 40; ++run) {
      std::vector<float> out(batches * kElements, 0.0f);
      kavo::MutView<float, 3> out_view{out.data(), out.size(), {{batches, kSide, kSide}, {std::int64_t(kElements), std::int64_t(kSide), 1}, 0}, false};
      auto done = batched_matmul_into(short_a, batch_view(b, 1, kSide, kSide), out_view);
      ASSERT_FALSE(done);
      EXPECT_EQ(done.error().display(), expected.error().display()) << "first bad batch " << first_bad << ", run " << run;
    }
  }
}

TEST(BatchedMatmul, EmptyResultsReturnAtOnce) {
  const std::vector<float> a(6, 1.0f), b(15, 1.0f);
  std::vector<float> out;
  kavo::MutView<float, 3> none{out.data(), 0, {{0, 2, 5}, {10, 5, 1}, 0}, false};
  EXPECT_TRUE(batched_matmul_into(batch_view(a, 1, 2, 3), kavo::View<float, 3>{b.data(), 0, {{0, 3, 5}, {15, 5, 1}, 0}}, none));
}

}  // namespace
}  // namespace kavo_ops
