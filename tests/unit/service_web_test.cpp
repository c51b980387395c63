// The service's small text rules: targets and queries, byte ranges, page text, tokens,
// download names, log lines, the command line, rate limits and the metrics text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/rate_limiter.h"
#include "service/request_target.h"
#include "service/service_metrics.h"
#include "service/service_options.h"
#include "service/web_exchange.h"
#include "service/web_text.h"

namespace {

TEST(SplitRequestTarget, OriginAndAbsoluteForms) {
  const struct { const char* target; bool ok; const char* path; const char* query; } cases[] = {
      {"/ringtones/upload2.php", true, "/ringtones/upload2.php", ""},
      {"http://quavella.example:80/ringtones/upload2.php", true, "/ringtones/upload2.php", ""},
      {"HTTP://Host/index.php?page=support", true, "/index.php", "page=support"},
      {"https://host", true, "/", ""},
      {"http://host?x=1", true, "/", "x=1"},
      {"/a?b=c#frag", true, "/a", "b=c"},
      {"/", true, "/", ""},
      {"*", false, "", ""},
      {"host:80", false, "", ""},
      {"ftp://host/x", false, "", ""},
      {"http:///x", false, "", ""},
      {"", false, "", ""},
      {"/a b", false, "", ""},
      {"/caf\xC3\xA9", false, "", ""},
  };
  for (const auto& c : cases) {
    RequestTarget t;
    ASSERT_EQ(SplitRequestTarget(c.target, t), c.ok) << c.target;
    if (!c.ok) continue;
    EXPECT_EQ(t.path, c.path) << c.target;
    EXPECT_EQ(t.query, c.query) << c.target;
  }
}

TEST(QueryParameter, FirstMatchDecoded) {
  EXPECT_EQ(QueryParameter("page=support", "page"), "support");
  EXPECT_EQ(QueryParameter("a=1&page=supported%5Fphones&page=x", "page"), "supported_phones");
  EXPECT_EQ(QueryParameter("p%61ge=a+b%2", "page"), "a b%2");
  EXPECT_EQ(QueryParameter("page", "page"), "");
  EXPECT_EQ(QueryParameter("pages=1", "page"), std::nullopt);
  EXPECT_EQ(QueryParameter("", "page"), std::nullopt);
}

TEST(ReadByteRange, SingleRangesAreServedAndTheRestIsWhole) {
  const struct { const char* header; RangeAnswer answer; uint64_t first, last; } cases[] = {
      {"bytes=0-99", RangeAnswer::Partial, 0, 99},
      {"bytes=100-", RangeAnswer::Partial, 100, 999},
      {"bytes=-50", RangeAnswer::Partial, 950, 999},
      {"bytes=-5000", RangeAnswer::Partial, 0, 999},
      {"bytes=990-5000", RangeAnswer::Partial, 990, 999},
      {"Bytes=5-5", RangeAnswer::Partial, 5, 5},
      {"bytes=1000-", RangeAnswer::Unsatisfiable, 0, 0},
      {"bytes=-0", RangeAnswer::Unsatisfiable, 0, 0},
      {"bytes=0-1,5-9", RangeAnswer::Whole, 0, 0},
      {"bytes=9-1", RangeAnswer::Whole, 0, 0},
      {"items=0-1", RangeAnswer::Whole, 0, 0},
      {"bytes=x-1", RangeAnswer::Whole, 0, 0},
      {"bytes=99999999999999999999-", RangeAnswer::Whole, 0, 0},
  };
  for (const auto& c : cases) {
    ByteRange r;
    ASSERT_EQ(ReadByteRange(c.header, 1000, r), c.answer) << c.header;
    if (c.answer != RangeAnswer::Partial) continue;
    EXPECT_EQ(r.first, c.first) << c.header;
    EXPECT_EQ(r.last, c.last) << c.header;
  }
  ByteRange r;
  EXPECT_EQ(ReadByteRange("bytes=0-", 0, r), RangeAnswer::Unsatisfiable);
}

TEST(WebText, EscapingAndTheCodePageOfWindowsTitles) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(DisplayText("Caf\xC3\xA9"), "Caf\xC3\xA9") << "UTF-8 stays";
  EXPECT_EQ(DisplayText("Caf\xE9 \x80 \x81"), "Caf\xC3\xA9 \xE2\x82\xAC \xEF\xBF\xBD") << "Windows-1252";
  EXPECT_EQ(DisplayText("a\tb\nc\x7F"), "a b c ");
  EXPECT_EQ(DisplayText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC") << "a surrogate is no UTF-8";
}

TEST(WebText, InvisibleFormatCharactersLeaveNamesAndDownloads) {
  // U+202E (right-to-left override) would show "gnp.exe" as "exe.png".
  const struct { const char* song; const char* shown; const char* file; } cases[] = {
      {"a\xE2\x80\xAEgnp.exe", "agnp.exe", "agnp.wav"},
      {"\xE2\x80\x8E\xE2\x80\x8Fx", "x", "x.wav"},                       // U+200E, U+200F
      {"\xE2\x80\xAA\xE2\x80\xABy\xE2\x80\xAC\xE2\x80\xAD", "y", "y.wav"},  // U+202A..U+202D
      {"\xE2\x81\xA6z\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "z", "z.wav"},  // U+2066..U+2069
      {"\xEF\xBB\xBF" "b\xE2\x80\x8B" "c", "bc", "bc.wav"},               // U+FEFF, U+200B
      {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9",
       "___________.wav"},  // a joiner stays
      {"\xE2\x80\xAE", "", "ringtone.wav"},
      {"a\xF3\xA0\x80\x81\xF3\xA0\x81\xBF" "b", "ab", "ab.wav"},  // tags U+E0001, U+E007F
      {"c\xE1\xA0\x8E" "d\xC2\x85" "e", "cde", "cde.wav"},            // U+180E, NEL
      {"f\xE2\x80\xA8\xE2\x80\xA9" "g", "fg", "fg.wav"},             // U+2028, U+2029
      {"\xE1\x85\x9F\xE1\x85\xA0\xE3\x85\xA4\xEF\xBE\xA0", "", "ringtone.wav"},  // Hangul fillers
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DisplayText(c.song), c.shown) << c.song;
    EXPECT_EQ(DownloadFileName(c.song, "wav"), c.file) << c.song;
  }
}

TEST(WebText, SongTitlesAsPagesShowThem) {
  const struct { const char* sent; const char* shown; } cases[] = {
      {"Beyonc\xC3\xA9_\xE2\x80\x93_D\xC3\xA9j\xC3\xA0_Vu.m4a", "Beyonc\xC3\xA9 \xE2\x80\x93 D\xC3\xA9j\xC3\xA0 Vu"},
      {"\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B.flac", "\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B"},
      {"My_Song___You.wav", "My Song You"},
      {"Track.No.5", "Track.No"},
      {"v1.2 mix", "v1.2 mix"},
      {"\xE3\x85\xA4\xE3\x85\xA4.mp3", "Ringtone"},
      {"", "Ringtone"},
  };
  for (const auto& c : cases) EXPECT_EQ(SongTitle(c.sent), c.shown) << c.sent;
}

TEST(WebText, DownloadDispositionCarriesTheNameInUtf8WithAnAsciiFallback) {
  const struct { const char* song; const char* word; const char* value; } cases[] = {
      {"Beyonc\xC3\xA9_\xE2\x80\x93_D\xC3\xA9j\xC3\xA0_Vu.m4a", "m4r",
       "attachment; filename=\"Beyonc_______D__j___Vu.m4r\"; "
       "filename*=UTF-8''Beyonc%C3%A9%20%E2%80%93%20D%C3%A9j%C3%A0%20Vu.m4r"},
      {"\xEB\x85\xB8\xEB\x9E\x98.mp3", "ogg",
       "attachment; filename=\"______.ogg\"; filename*=UTF-8''%EB%85%B8%EB%9E%98.ogg"},
      {"My_Song___You.wav", "wav",
       "attachment; filename=\"My_Song___You.wav\"; filename*=UTF-8''My%20Song%20You.wav"},
      {"a/b\\c \"d\";e%.mp3", "mp3",
       "attachment; filename=\"a_b_c__d__e_.mp3\"; filename*=UTF-8''a_b_c%20%22d%22%3Be%25.mp3"},
      {"", "amr", "attachment; filename=\"ringtone.amr\"; filename*=UTF-8''Ringtone.amr"},
  };
  for (const auto& c : cases) EXPECT_EQ(DownloadDisposition(c.song, c.word), c.value) << c.song;
}

TEST(WebExchange, ProxiedClientAndTransferCodings) {
  // The client is the last address of every X-Forwarded-For line together.
  const struct { HeaderList headers; const char* client; } forwarded[] = {
      {{}, ""},
      {{{"X-Forwarded-For", "203.0.113.7"}}, "203.0.113.7"},
      {{{"X-Forwarded-For", "1.1.1.1, 203.0.113.7 "}}, "203.0.113.7"},
      {{{"x-forwarded-for", "6.6.6.6"}, {"Host", "h"}, {"X-Forwarded-For", "203.0.113.7"}},
       "203.0.113.7"},
      {{{"X-Forwarded-For", "6.6.6.6"}, {"X-Forwarded-For", "7.7.7.7,2001:db8::1"}}, "2001:db8::1"},
  };
  for (const auto& c : forwarded) EXPECT_EQ(ForwardedClient(c.headers), c.client) << c.client;
  // A subscriber holds a whole IPv6 /64: the per-address caps count it as one address.
  const struct { const char* address; const char* key; } keys[] = {
      {"203.0.113.7", "203.0.113.7"},
      {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
      {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
      {"::ffff:203.0.113.7", "::ffff:203.0.113.7"},
      {"proxy-name", "proxy-name"},
  };
  for (const auto& k : keys) EXPECT_EQ(AddressKey(k.address), k.key) << k.address;
  const struct { std::vector<const char*> lines; bool readable; } codings[] = {
      {{}, true},           {{"chunked"}, true},         {{"Chunked "}, true},
      {{"chunked, gzip"}, false}, {{"gzip, chunked"}, false}, {{"xchunked"}, false},
      {{"identity"}, false}, {{"gzip"}, false},           {{"gzip", "chunked"}, false},
      {{"chunked", "chunked"}, false}, {{""}, false},
  };
  for (const auto& c : codings) {
    HeaderList headers = {{"Host", "h"}};
    std::string all;
    for (const char* line : c.lines) {
      headers.emplace_back("Transfer-Encoding", line);
      all += std::string(line) + "|";
    }
    EXPECT_EQ(TransferEncodingReadable(headers), c.readable) << all;
  }
}

TEST(WebText, TokensAre128BitsInTheUrlSafeAlphabet) {
  uint8_t zero[TokenBytes] = {};
  EXPECT_EQ(TokenText(zero), std::string(22, 'A'));
  uint8_t ones[TokenBytes];
  std::fill(std::begin(ones), std::end(ones), 0xFF);
  EXPECT_EQ(TokenText(ones), std::string(21, '_') + "w");
  uint8_t count[TokenBytes];
  for (size_t i = 0; i < TokenBytes; ++i) count[i] = static_cast<uint8_t>(i * 17);
  const std::string token = TokenText(count);
  EXPECT_EQ(token, "ABEiM0RVZneImaq7zN3u_w");  // base64url of the same bytes
  EXPECT_TRUE(IsTokenText(token));
  EXPECT_FALSE(IsTokenText(token.substr(1)));
  EXPECT_FALSE(IsTokenText(token.substr(1) + "="));
  EXPECT_FALSE(IsTokenText(token.substr(1) + "/"));
}

TEST(WebText, DownloadNamesAreSafeAndCarryTheFormat) {
  const struct { const char* song; const char* word; const char* name; } cases[] = {
      {"My_Song___You.wav", "amr", "My_Song___You.amr"},
      {"a/b\\c \"d\".mp3", "mp3", "a_b_c__d_.mp3"},
      {"", "qcp", "ringtone.qcp"},
      {"...", "mmf", "ringtone.mmf"},
      {"song.version2", "wav", "song.version2.wav"},
      {"Caf\xE9.wav", "wav", "Caf_.wav"},
  };
  for (const auto& c : cases) EXPECT_EQ(DownloadFileName(c.song, c.word), c.name) << c.song;
  EXPECT_EQ(DownloadFileName(std::string(200, 'x'), "amr").size(), 64u);
}

TEST(WebText, LogLinesHoldWhatWasAskedAndNothingElse) {
  const std::string line = RequestLogLine(0, "POST", "http://h:80/ringtones/upload2.php", 400, 5,
                                          1.25, "refused=number");
  EXPECT_EQ(line, "1970-01-01T00:00:00Z POST /ringtones/upload2.php 400 5 1.2ms refused=number\n");
  EXPECT_EQ(RequestLogLine(0, "G\nET", "/a%b\x01", 404, 0, 0, "x\ny"),
            "1970-01-01T00:00:00Z G%0AET /a%25b%01 404 0 0.0ms x y\n");
  std::string longTarget;
  while (longTarget.size() < 1000) longTarget += "/a";
  EXPECT_EQ(RequestLogLine(0, "GET", longTarget, 200, 0, 0, "").size(),
            std::string("1970-01-01T00:00:00Z GET  200 0 0.0ms\n").size() + 300);
  // A token is all it takes to fetch or delete a ringtone: six characters of it at most.
  const struct { const char* target; const char* logged; } tokens[] = {
      {"/r/AbCdEfGhIjKlMnOpQrStUv", "/r/AbCdEf..."},
      {"/r/AbCdEfGhIjKlMnOpQrStUv/My_Song.wav", "/r/AbCdEf.../My_Song.wav"},
      {"http://h/r/AbCdEfGhIjKlMnOpQrStUv/delete", "/r/AbCdEf.../delete"},
      {"/r/AbCdEfGhIjKlMnOpQrStUv?x=1", "/r/AbCdEf...?x=1"},
      {"/r/AbC", "/r/AbC"},
  };
  for (const auto& t : tokens)
    EXPECT_EQ(RequestLogLine(0, "GET", t.target, 200, 0, 0, ""),
              std::string("1970-01-01T00:00:00Z GET ") + t.logged + " 200 0 0.0ms\n");
}

TEST(ServiceOptions, CommandLine) {
  const char* full[] = {"quavella-service", "--listen", "0.0.0.0:80", "--data=/var/lib/q",
                        "--public-url", "http://ringtones.example.com/", "--installer", "i.exe",
                        "--retention-days", "7", "--uploads-per-hour=5", "--trust-forwarded-for",
                        "--threads", "4", "--ready-file", "r", "--metrics-listen",
                        "127.0.0.1:9100", "--body-memory=32"};
  ServiceOptions o;
  std::string error;
  ASSERT_TRUE(ParseServiceOptions(19, full, o, error)) << error;
  EXPECT_EQ(o.metricsHost, "127.0.0.1");
  EXPECT_EQ(o.metricsPort, 9100);
  EXPECT_EQ(o.bodyMemoryMiB, 32);
  EXPECT_EQ(o.listenHost, "0.0.0.0");
  EXPECT_EQ(o.listenPort, 80);
  EXPECT_EQ(o.dataFolder, "/var/lib/q");
  EXPECT_EQ(o.publicUrl, "http://ringtones.example.com");
  EXPECT_EQ(o.installer, "i.exe");
  EXPECT_EQ(o.retentionDays, 7);
  EXPECT_EQ(o.uploadsPerHour, 5u);
  EXPECT_TRUE(o.trustForwardedFor);
  EXPECT_EQ(o.threads, 4);
  EXPECT_EQ(o.readyFile, "r");

  const char* v6[] = {"q", "--listen", "[::1]:0", "--data", "d"};
  ServiceOptions six;
  ASSERT_TRUE(ParseServiceOptions(5, v6, six, error)) << error;
  EXPECT_EQ(six.listenHost, "::1");
  EXPECT_EQ(LocalUrl(six.listenHost, 8080), "http://[::1]:8080");
  EXPECT_EQ(LocalUrl("0.0.0.0", 80), "http://127.0.0.1:80");

  const char* pg[] = {"q", "--listen", "127.0.0.1:0", "--database",
                      "postgresql://quavella@db.example.com/quavella", "--database-connections",
                      "4", "--statement-timeout=2"};
  ServiceOptions shared;
  ASSERT_TRUE(ParseServiceOptions(8, pg, shared, error)) << error;
  EXPECT_EQ(shared.databaseUrl, "postgresql://quavella@db.example.com/quavella");
  EXPECT_TRUE(shared.dataFolder.empty());
  EXPECT_EQ(shared.databaseConnections, 4);
  EXPECT_EQ(shared.statementTimeout, 2);

  const std::vector<std::vector<const char*>> refused = {
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--database", "postgresql://h/q"},
      {"q", "--listen", "127.0.0.1:80", "--database", "host=h dbname=q"},
      {"q", "--listen", "127.0.0.1:80", "--database", "postgresql://h/q", "--database-connections", "1"},
      {"q", "--listen", "127.0.0.1:80", "--database", "postgresql://h/q", "--statement-timeout", "0"},
      {"q", "--data", "d"},
      {"q", "--listen", "127.0.0.1:80"},
      {"q", "--listen", "0.0.0.0:80", "--data", "d"},  // every address: needs the public URL
      {"q", "--listen", "127.0.0.1", "--data", "d"},
      {"q", "--listen", "127.0.0.1:65536", "--data", "d"},
      {"q", "--listen", "::1:80", "--data", "d"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--public-url", "ftp://x"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--public-url", "http://x/?a"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--retention-days", "0"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--uploads-per-hour", "-1"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--retention-days"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--colour"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--metrics-listen", "9100"},
      {"q", "--listen", "127.0.0.1:80", "--data", "d", "--body-memory", "1"},
  };
  for (const auto& args : refused) {
    ServiceOptions bad;
    error.clear();
    EXPECT_FALSE(ParseServiceOptions(static_cast<int>(args.size()), args.data(), bad, error))
        << args.back();
    EXPECT_FALSE(error.empty());
  }
  const char* help[] = {"q", "--help"};
  ASSERT_TRUE(ParseServiceOptions(2, help, o, error));
  EXPECT_TRUE(o.help);
  for (const char* name : {"--listen", "--data", "--database", "--database-connections",
                           "--statement-timeout", "--public-url", "--installer", "--retention-days",
                           "--uploads-per-hour", "--max-connections", "--connections-per-address",
                           "--trust-forwarded-for", "--threads", "--ready-file", "--help",
                           "--metrics-listen", "--body-memory"})
    EXPECT_NE(ServiceUsage().find(name), std::string::npos) << name;
}

TEST(RateLimiter, BurstThenRefillPerKeyAndAllOrNothing) {
  RateLimiter limiter(3, 42);
  const int64_t hour = 3600 * 1000;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.Take({"n:1", "a:x"}, 0)) << i;
  EXPECT_FALSE(limiter.Take({"n:1", "a:y"}, 0)) << "the number is spent";
  EXPECT_TRUE(limiter.Take({"n:2", "a:y"}, 0)) << "nothing was taken from a:y above";
  EXPECT_FALSE(limiter.Take({"n:3", "a:x"}, 0)) << "the address is spent";
  EXPECT_FALSE(limiter.Take({"n:1", "a:z"}, hour / 3 - 1));
  EXPECT_TRUE(limiter.Take({"n:1", "a:z"}, hour / 3)) << "one comes back every 20 minutes";
  EXPECT_FALSE(limiter.Take({"n:1", "a:z"}, hour / 3));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(limiter.Take({"n:1", "a:w"}, 10 * hour)) << i;
  EXPECT_FALSE(limiter.Take({"n:1", "a:w"}, 10 * hour)) << "a quiet day buys no more than N";
}

TEST(RateLimiter, MemoryStaysBounded) {
  RateLimiter limiter(5, 7, 100);
  for (int i = 0; i < 1000; ++i) limiter.Take({"n:" + std::to_string(i)}, i);
  EXPECT_LE(limiter.KeyCount(), 100u);
  EXPECT_TRUE(limiter.Take({"n:999"}, 1000)) << "recent keys are kept";
}

TEST(ServiceMetrics, PrometheusText) {
  ServiceMetrics m;
  m.UploadAccepted();
  m.UploadRefused(UploadRefusal::Number);
  m.UploadRefused(UploadRefusal::Number);
  m.Downloaded();
  m.RequestServed(0.0005);
  m.RequestServed(0.003);
  m.RequestServed(60);
  StoreTotals totals{4, 1234};
  const std::string text = m.Text(totals, true);
  for (const char* line : {"quavella_uploads_accepted_total 1\n",
                           "quavella_uploads_refused_total{reason=\"number\"} 2\n",
                           "quavella_uploads_refused_total{reason=\"bytes\"} 0\n",
                           "quavella_downloads_total 1\n",
                           "quavella_request_duration_seconds_bucket{le=\"0.001\"} 1\n",
                           "quavella_request_duration_seconds_bucket{le=\"0.005\"} 2\n",
                           "quavella_request_duration_seconds_bucket{le=\"10\"} 2\n",
                           "quavella_request_duration_seconds_bucket{le=\"+Inf\"} 3\n",
                           "quavella_request_duration_seconds_count 3\n",
                           "quavella_store_ringtones 4\n", "quavella_store_bytes 1234\n",
                           "# TYPE quavella_request_duration_seconds histogram\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("reason=\"none\""), std::string::npos);
  EXPECT_EQ(m.Text(totals, false).find("quavella_store_"), std::string::npos);
}

}  // namespace
