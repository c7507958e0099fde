#include <gtest/gtest.h>

#include <zlib.h>

#include <limits>
#include <random>
#include <string>

#include "package/ZLibHelpers.h"

namespace {

ByteString RandomBytes(std::size_t n) {
  std::mt19937 generator(12345);
  ByteString bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

ByteString Header(const ByteString& stream) { return stream.substr(0, 2); }

// A stream made with a preset dictionary, which DecompressBytes never supplies.
ByteString StreamWithDictionary() {
  z_stream stream{};
  EXPECT_EQ(deflateInit(&stream, Z_DEFAULT_COMPRESSION), Z_OK);
  const ByteString dictionary = "the dictionary words";
  deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
  ByteString input = "the dictionary words again and again";
  ByteString output(256, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(&input[0]);
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = reinterpret_cast<Bytef*>(&output[0]);
  stream.avail_out = static_cast<uInt>(output.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  output.resize(stream.total_out);
  deflateEnd(&stream);
  return output;
}

}  // namespace

TEST(CompressBytes, LevelIndexSelectsTheStreamHeader) {
  const ByteString text(5000, 'q');
  EXPECT_EQ(Header(CompressBytes(text, 1)), "\x78\x01");
  EXPECT_EQ(Header(CompressBytes(text, 2)), "\x78\x9C");
  EXPECT_EQ(Header(CompressBytes(text, 3)), "\x78\xDA");
  // Level 0 stores: the stream is larger than its input yet still valid.
  const ByteString stored = CompressBytes(text, 0);
  EXPECT_GT(stored.size(), text.size());
  EXPECT_EQ(DecompressBytes(stored), text);
}

TEST(CompressBytes, RejectsAnUnknownLevelIndex) {
  try {
    CompressBytes("abc", 4);
    FAIL() << "no error raised";
  } catch (const EZCompressionError& error) {
    EXPECT_EQ(error.Code(), Z_STREAM_ERROR);
    EXPECT_STREQ(error.what(), "stream error");
  }
  EXPECT_THROW(CompressBytes("abc", -1), EZCompressionError);
}

TEST(ZLibRoundTrip, EmptyZerosAndIncompressibleData) {
  const ByteString empty = CompressBytes("", 2);
  EXPECT_FALSE(empty.empty());
  EXPECT_EQ(DecompressBytes(empty), "");

  const ByteString zeros(1 << 20, '\0');
  const ByteString packedZeros = CompressBytes(zeros, 3);
  EXPECT_LT(packedZeros.size(), 2000u);
  EXPECT_EQ(DecompressBytes(packedZeros), zeros);

  // Random data grows a little when compressed; both directions must cope.
  for (int level = 0; level <= 3; ++level) {
    const ByteString noise = RandomBytes(300001);
    const ByteString packed = CompressBytes(noise, level);
    EXPECT_GT(packed.size(), noise.size()) << level;
    EXPECT_EQ(DecompressBytes(packed), noise) << level;
  }
  const ByteString one = "x";
  EXPECT_EQ(DecompressBytes(CompressBytes(one, 3)), one);
}

TEST(DecompressBytes, RaisesOnTruncatedStreams) {
  const ByteString packed = CompressBytes(RandomBytes(10000), 2);
  for (std::size_t keep : {std::size_t{1}, std::size_t{2}, std::size_t{100}, packed.size() - 4, packed.size() - 1}) {
    try {
      DecompressBytes(packed.substr(0, keep));
      FAIL() << "no error for a stream cut to " << keep << " bytes";
    } catch (const EZDecompressionError& error) {
      EXPECT_EQ(error.Code(), Z_BUF_ERROR) << keep;
      EXPECT_STREQ(error.what(), "buffer error");
    }
  }
  EXPECT_THROW(DecompressBytes(""), EZDecompressionError);
}

TEST(DecompressBytes, RaisesOnCorruptStreams) {
  ByteString packed = CompressBytes(ByteString(4000, 'a') + "tail", 2);
  ByteString badChecksum = packed;
  badChecksum.back() = static_cast<char>(badChecksum.back() ^ 0xFF);
  ByteString badHeader = packed;
  badHeader[0] = 0x12;
  for (const ByteString& bad : {badChecksum, badHeader, ByteString("not zlib at all")}) {
    try {
      DecompressBytes(bad);
      FAIL() << "no error raised";
    } catch (const EZDecompressionError& error) {
      EXPECT_EQ(error.Code(), Z_DATA_ERROR);
      EXPECT_STREQ(error.what(), "data error");
    }
  }
}

TEST(DecompressBytes, RaisesOnAPresetDictionaryStream) {
  try {
    DecompressBytes(StreamWithDictionary());
    FAIL() << "no error raised";
  } catch (const EZLibError& error) {
    EXPECT_EQ(error.Code(), Z_NEED_DICT);
    EXPECT_NE(dynamic_cast<const EZDecompressionError*>(&error), nullptr);
  }
}

TEST(DecompressBytes, ExpectedSizeIsOnlyAHint) {
  ByteString text;
  for (int i = 0; text.size() < 70000; ++i) text += "line " + std::to_string(i % 97) + " of the text\r\n";
  const ByteString noise = RandomBytes(65536);
  for (const ByteString& data : {text, noise, ByteString(4096, 'z')}) {
    const ByteString packed = CompressBytes(data, 3);
    for (std::size_t hint : {std::size_t{0}, std::size_t{1}, data.size() / 3, data.size() - 1, data.size(),
                             data.size() + 1, std::size_t{4096}, data.size() * 10,
                             std::numeric_limits<std::size_t>::max() / 2})
      EXPECT_EQ(DecompressBytes(packed, hint), data) << data.size() << " with hint " << hint;
  }
}

TEST(DecompressBytesInto, ReusesTheOutputWhateverItHeld) {
  const ByteString large = RandomBytes(200000);
  ByteString text;
  for (int i = 0; text.size() < 50000; ++i) text += "entry " + std::to_string(i) + "\r\n";
  const ByteString small = "small";
  ByteString output = "old contents that must not leak into the result";
  const ByteString* const order[] = {&large, &small, &text, &large, &text, &small};
  for (const ByteString* data : order) {
    for (std::size_t hint : {std::size_t{0}, data->size(), data->size() / 2}) {
      DecompressBytesInto(CompressBytes(*data, 3), output, hint);
      EXPECT_EQ(output, *data) << data->size() << " with hint " << hint;
    }
  }
  EXPECT_THROW(DecompressBytesInto("not zlib at all", output, 100), EZDecompressionError);
  DecompressBytesInto(CompressBytes(small, 2), output);
  EXPECT_EQ(output, small);
  DecompressBytesInto(CompressBytes("", 2), output, 0);
  EXPECT_EQ(output, "");
}

TEST(CheckDecompressBytes, AnswersTheSizeWithoutKeepingTheData) {
  EXPECT_EQ(CheckDecompressBytes(CompressBytes("", 2)), 0u);
  EXPECT_EQ(CheckDecompressBytes(CompressBytes(ByteString(1 << 20, '\0'), 3)), uint64_t{1} << 20);
  EXPECT_EQ(CheckDecompressBytes(CompressBytes(RandomBytes(300001), 2)), 300001u);
}

TEST(CheckDecompressBytes, RaisesWhereDecompressBytesRaises) {
  const ByteString packed = CompressBytes(RandomBytes(200000), 2);
  ByteString badChecksum = packed;
  badChecksum.back() = static_cast<char>(badChecksum.back() ^ 0xFF);
  const ByteString cases[] = {packed.substr(0, 1), packed.substr(0, 100), packed.substr(0, packed.size() - 1),
                              badChecksum, ByteString("not zlib at all"), StreamWithDictionary(), ByteString()};
  for (const ByteString& bad : cases) {
    int expected = 0;
    try {
      DecompressBytes(bad);
    } catch (const EZDecompressionError& error) {
      expected = error.Code();
    }
    ASSERT_NE(expected, 0);
    try {
      CheckDecompressBytes(bad);
      FAIL() << "no error raised for a stream of " << bad.size() << " bytes";
    } catch (const EZDecompressionError& error) {
      EXPECT_EQ(error.Code(), expected) << bad.size();
    }
  }
}

// Fed a byte at a time into a few bytes of room, the stream gives the same
// output, and raises with the same code, as the whole-buffer call; one
// stream, reset between inputs (also after it raised), serves them all.
TEST(InflateStream, PiecewiseEqualsWholeBuffer) {
  const ByteString good = CompressBytes(RandomBytes(5000) + ByteString(20000, 'a'), 2);
  ByteString flipped = good;
  flipped[flipped.size() - 3] ^= 0x40;
  InflateStream stream;
  for (const ByteString& input :
       {good, good.substr(0, good.size() / 2), flipped, ByteString("\x78\x9c\xff"), good}) {
    int wholeCode = 0, pieceCode = 0;
    ByteString whole, pieces;
    try {
      whole = DecompressBytes(input);
    } catch (const EZDecompressionError& error) {
      wholeCode = error.Code();
    }
    try {
      stream.Reset();
      char out[7];
      for (std::size_t at = 0; at <= input.size() && !stream.Ended(); ++at) {
        std::string_view piece = std::string_view(input).substr(at, 1);
        const bool last = at + 1 >= input.size();
        do {
          pieces.append(out, stream.Inflate(piece, out, sizeof out, last));
        } while (!stream.Ended() && (!piece.empty() || last));
      }
    } catch (const EZDecompressionError& error) {
      pieceCode = error.Code();
    }
    EXPECT_EQ(pieceCode, wholeCode);
    if (wholeCode == 0) {
      EXPECT_EQ(pieces, whole);
    }
  }
}
