#include "fabric/json.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace sw::json {
namespace {

Value MustParse(const std::string& text) {
  Value v;
  ParseError e;
  EXPECT_TRUE(Parse(text, &v, &e)) << text << " -> " << Describe(e);
  return v;
}

std::string ErrorOf(const std::string& text) {
  Value v;
  ParseError e;
  EXPECT_FALSE(Parse(text, &v, &e)) << text;
  return e.message;
}

TEST(JsonTest, ReadsNestedDocumentKeepingMemberOrder) {
  Value v = MustParse(R"( {"b": [1, -2.5e2, true, null], "a": {"x": "y"}, "c": false} )");
  ASSERT_TRUE(v.IsObject());
  const auto& members = v.AsObject();
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].first, "b");
  EXPECT_EQ(members[1].first, "a");
  const auto& arr = v.Find("b")->AsArray();
  ASSERT_EQ(arr.size(), 4u);
  EXPECT_EQ(arr[0].AsNumber(), 1.0);
  EXPECT_EQ(arr[1].AsNumber(), -250.0);
  EXPECT_TRUE(arr[2].AsBool());
  EXPECT_TRUE(arr[3].IsNull());
  EXPECT_EQ(v.Find("a")->Find("x")->AsString(), "y");
  EXPECT_EQ(v.Find("missing"), nullptr);
  EXPECT_FALSE(v.Find("c")->AsBool());
}

TEST(JsonTest, DecodesEscapesIncludingSurrogatePairsToUtf8) {
  Value v = MustParse(R"("a\"b\\c\/d\n\t\u00e9\u20ac\ud83d\ude00")");
  EXPECT_EQ(v.AsString(), "a\"b\\c/d\n\t\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // Raw UTF-8 passes through untouched (share names are UTF-8).
  EXPECT_EQ(MustParse("\"Vol\xC3\xBCme\"").AsString(), "Vol\xC3\xBCme");
}

TEST(JsonTest, RejectsMalformedDocumentsWithPosition) {
  for (const char* bad : {"", "{", "[1,]", "{\"a\":1,}", "{\"a\" 1}", "01", "1.", "-", "1e",
                          "tru", "\"abc", "\"\\x\"", "\"\\u12G4\"", "\"\\ud800\"", "\"\\udc00\"",
                          "\"a\nb\"", "[1] [2]", "{1:2}", "nul", "1e999"}) {
    Value v;
    ParseError e;
    EXPECT_FALSE(Parse(bad, &v, &e)) << bad;
    EXPECT_FALSE(e.message.empty()) << bad;
  }
  ParseError e;
  Value v;
  ASSERT_FALSE(Parse("{\n  \"a\": 1,\n  \"b\": ?\n}", &v, &e));
  EXPECT_EQ(e.line, 3u);
  EXPECT_EQ(e.column, 8u);
}

TEST(JsonTest, RejectsDuplicateMembers) {
  EXPECT_NE(ErrorOf(R"({"address": "1.2.3.4", "address": "5.6.7.8"})").find("duplicate"),
            std::string::npos);
}

TEST(JsonTest, BoundsNestingDepthInsteadOfExhaustingTheStack) {
  std::string ok(kMaxDepth, '[');
  ok += std::string(kMaxDepth, ']');
  MustParse(ok);
  std::string deep(100000, '[');
  EXPECT_EQ(ErrorOf(deep), "nesting too deep");
}

TEST(JsonTest, IntegerAccessorChecksFractionAndRange) {
  int64_t out = 0;
  EXPECT_TRUE(MustParse("255").AsInteger(0, 255, &out));
  EXPECT_EQ(out, 255);
  EXPECT_FALSE(MustParse("256").AsInteger(0, 255, &out));
  EXPECT_FALSE(MustParse("-1").AsInteger(0, 255, &out));
  EXPECT_FALSE(MustParse("1.5").AsInteger(0, 255, &out));
  EXPECT_FALSE(MustParse("1e300").AsInteger(INT64_MIN, INT64_MAX, &out));
  EXPECT_FALSE(MustParse("9223372036854775808").AsInteger(INT64_MIN, INT64_MAX, &out));
  EXPECT_FALSE(MustParse("\"7\"").AsInteger(0, 255, &out));
  EXPECT_EQ(out, 255);  // untouched by the failures
}

TEST(JsonTest, AccessorsOfTheWrongTypeAreNeutral) {
  Value v = MustParse("42");
  EXPECT_EQ(v.AsString(), "");
  EXPECT_TRUE(v.AsArray().empty());
  EXPECT_TRUE(v.AsObject().empty());
  EXPECT_FALSE(v.AsBool());
}

// A quadratic duplicate check takes seconds here (3.4 s at 40k members); a linear one milliseconds.
TEST(JsonTest, ObjectWithManyMembersParsesInLinearTime) {
  std::string text = "{";
  for (int i = 0; i < 100000; ++i) text += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":0";
  const auto start = std::chrono::steady_clock::now();
  Value v = MustParse(text + "}");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(v.AsObject().size(), 100000u);
  EXPECT_LT(seconds, 2.0);
  EXPECT_EQ(ErrorOf(text + ",\"k99999\":1}"), "duplicate member \"k99999\"");
}

}  // namespace
}  // namespace sw::json
