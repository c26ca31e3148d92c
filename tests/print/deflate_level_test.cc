// Which zlib callers the link's deflate level reaches. A zlib stream names
// the level it was made at in its header: the top two bits of its second
// byte (RFC 1950, 2.2, FLEVEL) are 0 for the fastest level, 1 for levels 2
// to 5, 2 for the default (6) and 3 for levels 7 to 9.
#include "print/deflate_level.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>

#include "print/cairo_page_surface.h"
#include "print_test_helpers.h"

namespace boleto {
namespace {

using testing::PdfPageInto;

#ifdef BOLETO_WRAP_DEFLATE
constexpr bool kWrapped = true;
#else
constexpr bool kWrapped = false;
#endif

// The FLEVEL of a zlib stream's header.
int StreamLevel(const std::string& stream) {
  return stream.size() < 2 ? -1 : static_cast<unsigned char>(stream[1]) >> 6;
}

const std::string kText(4096, 'b');

std::string Compress2(int level) {
  std::string out(compressBound(kText.size()), '\0');
  uLongf size = out.size();
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(kText.data()), kText.size(), level) != Z_OK) {
    return "";
  }
  out.resize(size);
  return out;
}

std::string Compress() {
  std::string out(compressBound(kText.size()), '\0');
  uLongf size = out.size();
  if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
               reinterpret_cast<const Bytef*>(kText.data()), kText.size()) != Z_OK) {
    return "";
  }
  out.resize(size);
  return out;
}

// The stream a deflate begun by `begin` makes of kText.
std::string Deflate(const std::function<int(z_stream&)>& begin) {
  z_stream stream{};
  if (begin(stream) != Z_OK) return "";
  std::string out(deflateBound(&stream, kText.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(kText.data()));
  stream.avail_in = static_cast<uInt>(kText.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int finished = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return finished == Z_STREAM_END ? out : "";
}

// The zlib streams of a one-page PDF with a text and a rule, as cairo
// compressed them: each "/FlateDecode" object's bytes after "stream".
std::vector<std::string> CairoPdfStreams() {
  std::string document;
  Result<std::unique_ptr<CairoPageSurface>> page = PdfPageInto(document);
  if (!page.ok()) return {};
  if (!(*page)->PrintText("Recibo do pagador").ok()) return {};
  if (!(*page)->DrawLine(0, 1440, 1440, 1440, kBlack).ok()) return {};
  if (!(*page)->CompletePage().ok()) return {};
  std::vector<std::string> streams;
  for (size_t at = document.find("/FlateDecode"); at != std::string::npos;
       at = document.find("/FlateDecode", at + 1)) {
    const size_t start = document.find("stream\n", at);
    if (start == std::string::npos) break;
    streams.push_back(document.substr(start + 7, 2));
  }
  return streams;
}

TEST(DeflateLevel, EveryStreamBegunByDeflateInitIsAtTheFastestLevel) {
  static const struct {
    const char* caller;
    std::function<std::string()> deflate;
    int level;          // of the stream, where the link does not wrap deflateInit_
    int wrapped_level;  // where it does
  } cases[] = {
      {"zlib's compress2 at level 9 (calls deflateInit_)", [] { return Compress2(9); }, 3, 0},
      {"zlib's compress2 at level 4", [] { return Compress2(4); }, 1, 0},
      {"zlib's compress, at the default level", [] { return Compress(); }, 2, 0},
      {"deflateInit at level 9",
       [] { return Deflate([](z_stream& s) { return deflateInit(&s, Z_BEST_COMPRESSION); }); }, 3,
       0},
      {"deflateInit2 at level 9 (libpng's and gzip's way in): its own level",
       [] {
         return Deflate([](z_stream& s) {
           return deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
         });
       },
       3, 3},
      {"deflateInit2 at the default level: its own level",
       [] {
         return Deflate([](z_stream& s) {
           return deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
         });
       },
       2, 2},
  };
  for (const auto& c : cases) {
    const std::string stream = c.deflate();
    ASSERT_FALSE(stream.empty()) << c.caller;
    EXPECT_EQ(StreamLevel(stream), kWrapped ? c.wrapped_level : c.level) << c.caller;
  }
}

TEST(DeflateLevel, CairoCompressesThePdfAtTheFastestLevel) {
  const std::vector<std::string> streams = CairoPdfStreams();
  // At least the page's content stream and its font's.
  ASSERT_GE(streams.size(), 2u);
  for (const std::string& stream : streams) {
    // Cairo asks for the default level.
    EXPECT_EQ(StreamLevel(stream), kWrapped ? 0 : 2);
  }
}

TEST(DeflateLevel, StreamsBegunByDeflateInitHaveTheSmallerHashTable) {
  if (!kWrapped) GTEST_SKIP() << "the drawing libraries are linked as shared libraries";
  // zlib's bound of a stream's output tells its memory level apart: it is
  // tight only for a stream at the default window and memory level.
  auto bound = [](const std::function<int(z_stream&)>& begin) -> uLong {
    z_stream stream{};
    if (begin(stream) != Z_OK) return 0;
    const uLong bound = deflateBound(&stream, kText.size());
    deflateEnd(&stream);
    return bound;
  };
  auto at_memory_level = [&](int level) {
    return bound([level](z_stream& s) {
      return deflateInit2(&s, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS, level, Z_DEFAULT_STRATEGY);
    });
  };
  ASSERT_NE(at_memory_level(8), at_memory_level(kDeflateMemoryLevel));
  EXPECT_EQ(bound([](z_stream& s) { return deflateInit(&s, Z_DEFAULT_COMPRESSION); }),
            at_memory_level(kDeflateMemoryLevel));
}

}  // namespace
}  // namespace boleto
