// Frames between the library and the host tools.
#include "feedlib/protocol.h"

#include <gtest/gtest.h>

namespace orbfeed::proto {
namespace {

TEST(Protocol, FieldsReadBackAsWritten) {
    const std::string frame = Writer(Type::Table)
                                  .Text("ABC")
                                  .F32(-60.0f)
                                  .I32(-7)
                                  .Text(std::string("a\0b", 3))
                                  .F64(37622.375)
                                  .I64(-1)
                                  .Done();
    FrameSplitter s;
    s.Feed(frame.data(), frame.size());
    auto f = s.Next();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, Type::Table);
    Reader r(f->payload);
    EXPECT_EQ(r.Text(), "ABC");
    EXPECT_EQ(r.F32(), -60.0f);
    EXPECT_EQ(r.I32(), -7);
    EXPECT_EQ(r.Text(), std::string("a\0b", 3));
    EXPECT_EQ(r.F64(), 37622.375);
    EXPECT_EQ(r.I64(), -1);
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(s.Next());
}

TEST(Protocol, FramesSplitAtAnyByteBoundary) {
    const std::string a = Writer(Type::Send).Text("first").Done();
    const std::string b = Writer(Type::Ping).Done();
    const std::string all = a + b;
    for (size_t cut = 0; cut <= all.size(); ++cut) {
        FrameSplitter s;
        std::vector<Type> got;
        s.Feed(all.data(), cut);
        while (auto f = s.Next()) got.push_back(f->type);
        s.Feed(all.data() + cut, all.size() - cut);
        while (auto f = s.Next()) got.push_back(f->type);
        EXPECT_EQ(got, (std::vector<Type>{Type::Send, Type::Ping})) << cut;
        EXPECT_FALSE(s.Broken());
    }
}

TEST(Protocol, BadLengthsBreakTheStream) {
    for (const std::string& bytes :
         {std::string("\0\0\0\0", 4), std::string("\x01\x00\x00\x01", 4)}) {
        FrameSplitter s;
        s.Feed(bytes.data(), bytes.size());
        EXPECT_FALSE(s.Next());
        EXPECT_TRUE(s.Broken());
    }
}

TEST(Protocol, ReadingPastTheEndFails) {
    Reader r(std::string_view("\x05\x00\x00\x00ab", 6));
    EXPECT_EQ(r.Text(), "");
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.U64(), 0u);
}

}  // namespace
}  // namespace orbfeed::proto
