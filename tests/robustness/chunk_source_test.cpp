// Inputs found by fuzzing the chunked point reader, kept as plain tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "workflow/point_scan.h"

using namespace zelk;

namespace {

struct Outcome {
    std::size_t points = 0;
    pointscan::ChunkParser::Result ending = pointscan::ChunkParser::Result::End;
    std::int64_t line = 0;
    std::string token;
};

// Reads text in chunks of the given block size, as a conversion does.
Outcome ReadInChunks(const std::string& text, bool withNames, std::size_t block) {
    std::FILE* in = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::rewind(in);
    pointscan::ChunkSource source(in, withNames, block);
    pointscan::Chunk chunk;
    Outcome outcome;
    std::int64_t lines = 0;
    while (source.Next(chunk) == pointscan::ChunkSource::Status::Chunk) {
        pointscan::ChunkParser parser(chunk);
        std::string_view name;
        double values[3];
        pointscan::ChunkParser::Result result;
        while ((result = parser.Next(withNames, name, values)) ==
               pointscan::ChunkParser::Result::Point) {
            ++outcome.points;
        }
        if (result != pointscan::ChunkParser::Result::End) {
            outcome.ending = result;
            outcome.line = lines + parser.ProblemLinesBefore() + 1;
            outcome.token = std::string(parser.ProblemToken());
            break;
        }
        lines += parser.LinesPassed();
    }
    std::fclose(in);
    return outcome;
}

// Only the first three bytes of a file can be a byte-order mark. After a
// line end the same bytes are a token like any other, whatever the block
// size: they must not vanish and let the numbers after them pass as a point.
TEST(ChunkSourceRegressionTest, ByteOrderMarkAfterALineEndIsAToken) {
    const std::string text = "\r\xEF\xBB\xBF 1 2 3\n";
    for (std::size_t block : {1u, 2u, 3u, 4u, 4096u}) {
        SCOPED_TRACE(block);
        const Outcome got = ReadInChunks(text, false, block);
        EXPECT_EQ(got.points, 0u);
        EXPECT_EQ(got.ending, pointscan::ChunkParser::Result::Unreadable);
        EXPECT_EQ(got.line, 2);
        EXPECT_EQ(got.token, "\xEF\xBB\xBF");
    }
}

}  // namespace
