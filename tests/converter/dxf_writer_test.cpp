// The group-code writer on its own: values, entities left out whole, failures, and the
// blocks that its threads format reaching the file in their order.

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter_fixture.h"
#include "dxf_structure.h"
#include "plugins/gressil/dxf_writer.h"

using namespace converter_test;

namespace {

TEST(DxfWriter, RealsReadBackExactlyAndHandlesAreHex)
{
    Work_Dir work("dxf_writer");
    const std::string path = work / "groups.txt";
    const double values[] = {0.1, -1e-300, 123456789.125, 1.0 / 3.0, 5.0, -0.0, NAN, INFINITY};
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        Dxf_Writer w(f);
        for (double v : values) w.real(10, v);
        w.handle(5, 0xABCDEF);
        w.text(1, "two\nlines");
        EXPECT_TRUE(w.ok());
        std::fclose(f);
    }
    std::vector<dxf_structure::Pair> pairs;
    std::vector<std::string> problems;
    ASSERT_TRUE(dxf_structure::read_pairs(path, pairs, problems));
    ASSERT_EQ(pairs.size(), 10u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(std::strtod(pairs[i].value.c_str(), nullptr), values[i] == 0 ? 0.0 : values[i]) << pairs[i].value;
        EXPECT_NE(pairs[i].value.find_first_of(".eE"), std::string::npos) << pairs[i].value;
    }
    EXPECT_EQ(pairs[5].value, "0.0");
    EXPECT_EQ(pairs[6].value, "0.0");
    EXPECT_EQ(pairs[7].value, "0.0");
    EXPECT_EQ(pairs[8].value, "ABCDEF");
    EXPECT_EQ(pairs[9].value, "two lines");
}

// An entity holding a value that is not finite is left out whole and counted; what surrounds
// it is written as it came.
TEST(DxfWriter, EntitiesWithValuesThatAreNotFiniteAreLeftOut)
{
    Work_Dir work("dxf_writer_entities");
    const std::string path = work / "entities.txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    {
        Dxf_Writer w(f);
        w.text(0, "SECTION");
        const double xs[] = {1.0, NAN, 2.0, -INFINITY, 3.0};
        for (double x : xs) {
            w.entity("POINT");
            w.point(10, x, 0.5, 0.0);
        }
        w.text(0, "ENDSEC");
        w.entity("LINE");
        w.real(40, INFINITY);
        w.end();
        EXPECT_TRUE(w.ok());
        EXPECT_EQ(w.entities(), 6);
        EXPECT_EQ(w.dropped(), 3);
    }
    std::fclose(f);
    std::vector<dxf_structure::Pair> pairs;
    std::vector<std::string> problems;
    ASSERT_TRUE(dxf_structure::read_pairs(path, pairs, problems));
    std::string written;
    for (const auto& p : pairs) written += std::to_string(p.code) + "=" + p.value + " ";
    EXPECT_EQ(written, "0=SECTION 0=POINT 10=1.0 20=0.5 30=0.0 0=POINT 10=2.0 20=0.5 30=0.0 0=POINT 10=3.0 20=0.5 "
                       "30=0.0 0=ENDSEC ");
}

// A failed write keeps the system's reason.
TEST(DxfWriter, AFailedWriteKeepsItsErrorNumber)
{
    std::FILE* f = std::fopen("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    std::setvbuf(f, nullptr, _IONBF, 0);
    Dxf_Writer w(f);
    w.text(0, "SECTION");
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.error(), ENOSPC);
    std::fclose(f);
}

// Many blocks' worth of entities, some left out, one of them after a flush that came while
// it was open, and one entity larger than a block: every group reaches the file once, in the
// order written.
TEST(DxfWriter, BlocksReachTheFileInOrderAndEntitiesLeftOutLeaveNoTrace)
{
    Work_Dir work("dxf_writer_blocks");
    const std::string path = work / "blocks.txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    constexpr int k_points = 200000;
    constexpr int k_big = 100000;
    auto x_of = [](int i) { return i + 0.25; };
    auto y_of = [](int i) { return -i * 1e-3; };
    auto left_out = [](int i) { return i % 7 == 3; };
    constexpr int k_flushed = k_points / 2 + 5;
    static_assert(k_flushed % 7 == 3, "the entity open at the flush is one left out");
    {
        Dxf_Writer w(f);
        w.text(0, "SECTION");
        for (int i = 0; i < k_points; ++i) {
            w.entity("POINT");
            w.handle(5, static_cast<std::uint64_t>(i));
            w.real(10, x_of(i));
            if (i == k_flushed) {
                EXPECT_TRUE(w.ok());  // hands over everything before this entity
            }
            w.point2(20, left_out(i) ? NAN : y_of(i), 0.0);
            if (i == k_points / 3) {
                w.entity("LWPOLYLINE");
                w.integer(90, k_big);
                for (int k = 0; k < k_big; ++k) w.point2(10, k, -k);
            }
        }
        w.text(0, "ENDSEC");
        EXPECT_TRUE(w.ok());
        EXPECT_EQ(w.entities(), k_points + 1);
        EXPECT_EQ(w.dropped(), (k_points + 3) / 7);
        std::fclose(f);
    }
    // Large enough for the blocks' writes to have handed parts of it to the disk on the way.
    EXPECT_GT(fs::file_size(path), std::uintmax_t{8} << 20);
    std::vector<dxf_structure::Pair> pairs;
    std::vector<std::string> problems;
    ASSERT_TRUE(dxf_structure::read_pairs(path, pairs, problems));
    std::size_t at = 0;
    auto next = [&](int code) -> std::string {
        if (at >= pairs.size() || pairs[at].code != code) {
            ADD_FAILURE() << "group " << code << " expected at pair " << at;
            return std::string();
        }
        return pairs[at++].value;
    };
    ASSERT_EQ(next(0), "SECTION");
    for (int i = 0; i < k_points && !HasFailure(); ++i) {
        if (left_out(i)) continue;
        EXPECT_EQ(next(0), "POINT");
        EXPECT_EQ(std::strtoull(next(5).c_str(), nullptr, 16), static_cast<unsigned long long>(i));
        EXPECT_EQ(std::strtod(next(10).c_str(), nullptr), x_of(i));
        EXPECT_EQ(std::strtod(next(20).c_str(), nullptr), y_of(i));
        EXPECT_EQ(next(30), "0.0");
        if (i == k_points / 3) {
            EXPECT_EQ(next(0), "LWPOLYLINE");
            EXPECT_EQ(next(90), std::to_string(k_big));
            for (int k = 0; k < k_big && !HasFailure(); ++k) {
                EXPECT_EQ(std::strtod(next(10).c_str(), nullptr), k);
                EXPECT_EQ(std::strtod(next(20).c_str(), nullptr), -k);
            }
        }
    }
    EXPECT_EQ(next(0), "ENDSEC");
    EXPECT_EQ(at, pairs.size());
}

}  // namespace
