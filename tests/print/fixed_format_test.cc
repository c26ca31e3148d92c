// The numbers cairo formats through snprintf, written by the link's wrapper
// of __snprintf_chk, against glibc's own formatting (vsnprintf, which the
// link does not wrap) over values where decimal formatting goes wrong:
// ties, carries, the 0.1 where cairo changes format, the extremes.
#include "print/fixed_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace boleto {
namespace {

#ifdef BOLETO_WRAP_SNPRINTF_CHK

struct Written {
  int length;
  std::string text;
  bool operator==(const Written&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Written& w) {
  return out << w.length << " \"" << w.text << '"';
}

// What glibc writes into `size` bytes.
Written Glibc(size_t size, const char* format, ...) {
  std::string text(size + 1, '#');
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text.data(), size, format, arguments);
  va_end(arguments);
  return Written{length, text};
}

// What the wrapper writes into `size` bytes, as a fortified snprintf calls it.
template <typename... Values>
Written Wrapped(size_t size, const char* format, Values... values) {
  std::string text(size + 1, '#');
  const int length = __wrap___snprintf_chk(text.data(), size, 1, size, format, values...);
  return Written{length, text};
}

TEST(FixedFormat, DoublesAreWrittenAsGlibcWritesThem) {
  static const struct {
    double value;
    const char* why;
  } cases[] = {
      {0.0, "zero"},
      {-0.0, "negative zero keeps its sign"},
      {0.5, "a tie at no decimals: to even, 0"},
      {1.5, "a tie: to even, 2"},
      {2.5, "a tie: to even, 2"},
      {-2.5, "a negative tie"},
      {0.125, "a tie at two decimals: 0.12"},
      {0.375, "a tie at two decimals: 0.38"},
      {1.0000005, "nearly a tie at six decimals (below it in binary)"},
      {2.0000025, "nearly a tie at six decimals"},
      {0.1, "where cairo changes from %f to %.18f"},
      {std::nextafter(0.1, 0.0), "just below 0.1"},
      {-0.1, "-0.1"},
      {0.09999999999999999, "0.1 less an ulp or so"},
      {0.0999995, "rounds up to 0.100000"},
      {9.9999995, "a carry into a new digit"},
      {999999.9999996, "a carry through every digit"},
      {-0.0000004, "a negative value that rounds to -0.000000"},
      {1e-7, "tiny"},
      {1.234567890123456789e-5, "tiny, many digits"},
      {DBL_MIN, "the smallest normal double"},
      {DBL_TRUE_MIN, "the smallest subnormal double"},
      {595.2755905511812, "an A4 width in points"},
      {841.8897637795277, "an A4 height in points"},
      {0.05, "a twip in points"},
      {1234567.890625, "exact in binary"},
      {9007199254740993.0, "beyond the doubles' exact integers"},
      {1e22, "large"},
      {-1.7976931348623157e308, "the largest double, negative: 309 digits"},
  };
  for (const auto& c : cases) {
    for (size_t size : {64, 400}) {
      EXPECT_EQ(Wrapped(size, "%f", c.value), Glibc(size, "%f", c.value)) << c.why;
      EXPECT_EQ(Wrapped(size, "%.18f", c.value), Glibc(size, "%.18f", c.value)) << c.why;
      for (int precision = 0; precision <= 18; ++precision) {
        EXPECT_EQ(Wrapped(size, "%.*f", precision, c.value),
                  Glibc(size, "%.*f", precision, c.value))
            << c.why << ", precision " << precision;
      }
    }
  }
}

TEST(FixedFormat, ThousandsOfDoublesAreWrittenAsGlibcWritesThem) {
  std::mt19937_64 random(20240611);  // any fixed seed: the same values each run
  std::vector<double> values;
  for (int i = 0; i < 1500; ++i) {
    // Any significand between 2^-80 and 2^70, either sign.
    const double significand = 1 + std::ldexp(static_cast<double>(random() >> 12), -52);
    const int exponent = static_cast<int>(random() % 151) - 80;
    values.push_back((random() & 1 ? -1 : 1) * std::ldexp(significand, exponent));
    // A binary fraction: an exact tie at some precisions.
    values.push_back(
        std::ldexp(static_cast<double>(random() % (1 << 24)), -static_cast<int>(random() % 40)));
    // A decimal tie k.5 at some precision, and the doubles beside it.
    const int decimals = static_cast<int>(random() % 19);
    const double tie = (static_cast<double>(random() % 1000000) + 0.5) / std::pow(10.0, decimals);
    values.push_back(tie);
    values.push_back(std::nextafter(tie, 0.0));
    values.push_back(std::nextafter(tie, 1e300));
  }
  int failures = 0;
  for (const double value : values) {
    for (int precision = 0; precision <= 18 && failures < 10; ++precision) {
      const Written wrapped = Wrapped(400, "%.*f", precision, value);
      const Written glibc = Glibc(400, "%.*f", precision, value);
      if (wrapped == glibc) continue;
      ++failures;
      ADD_FAILURE() << std::hexfloat << value << " at precision " << precision << ": " << wrapped
                    << " against " << glibc;
    }
  }
}

TEST(FixedFormat, IntegersAreWrittenAsGlibcWritesThem) {
  for (int value : {0, 7, -7, 10, 99, 100, 65535, 123456789, INT_MAX, INT_MIN}) {
    EXPECT_EQ(Wrapped(32, "%d", value), Glibc(32, "%d", value)) << value;
  }
}

TEST(FixedFormat, ATextLongerThanItsBufferIsCutAsGlibcCutsIt) {
  for (size_t size : {0, 1, 2, 5, 9}) {
    EXPECT_EQ(Wrapped(size, "%f", -12.5), Glibc(size, "%f", -12.5)) << size;
    EXPECT_EQ(Wrapped(size, "%.*f", 3, 1234.5678), Glibc(size, "%.*f", 3, 1234.5678)) << size;
    EXPECT_EQ(Wrapped(size, "%d", -123456), Glibc(size, "%d", -123456)) << size;
  }
}

TEST(FixedFormat, OtherFormatsAndValuesAreGlibcs) {
  EXPECT_EQ(Wrapped(64, "%f", NAN), Glibc(64, "%f", NAN));
  EXPECT_EQ(Wrapped(64, "%f", -INFINITY), Glibc(64, "%f", -INFINITY));
  EXPECT_EQ(Wrapped(64, "%.18f", INFINITY), Glibc(64, "%.18f", INFINITY));
  EXPECT_EQ(Wrapped(64, "%.*f", 19, 0.1), Glibc(64, "%.*f", 19, 0.1));
  EXPECT_EQ(Wrapped(64, "%.*f", 40, 0.1), Glibc(64, "%.*f", 40, 0.1));
  EXPECT_EQ(Wrapped(64, "%.*f", -1, 0.1), Glibc(64, "%.*f", -1, 0.1));
  EXPECT_EQ(Wrapped(64, "%5.2f", 3.14159), Glibc(64, "%5.2f", 3.14159));
  EXPECT_EQ(Wrapped(64, "%g", 0.0001), Glibc(64, "%g", 0.0001));
  EXPECT_EQ(Wrapped(64, "%f pt", 1.0), Glibc(64, "%f pt", 1.0));
  EXPECT_EQ(Wrapped(64, "%010ld", 42L), Glibc(64, "%010ld", 42L));
  EXPECT_EQ(Wrapped(64, "%03o", 8), Glibc(64, "%03o", 8));
  EXPECT_EQ(Wrapped(64, "CairoFont-%d-%d", 1, 2), Glibc(64, "CairoFont-%d-%d", 1, 2));
  EXPECT_EQ(Wrapped(64, "%s", "text"), Glibc(64, "%s", "text"));
}

#else

TEST(FixedFormat, OnlyALinkOfTheStaticArchivesWrapsSnprintf) {
  GTEST_SKIP() << "the drawing libraries are linked as shared libraries";
}

#endif  // BOLETO_WRAP_SNPRINTF_CHK

}  // namespace
}  // namespace boleto
