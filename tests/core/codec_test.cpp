// Stream scrambler, frame header and text body.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "protocol/frame.h"
#include "protocol/scrambler.h"
#include "test_support.h"

namespace kolmara {
namespace {

using test::Bytes;
using test::RandomBytes;
using ::testing::ElementsAre;
using ::testing::Each;

TEST(Scrambler, RoundTripOfRandomRuns) {
  for (std::size_t length : {0u, 1u, 3u, 4u, 7u, 8u, 124u, 368u, 12524u}) {
    SCOPED_TRACE(length);
    const Bytes plain = RandomBytes(length, static_cast<std::uint32_t>(length) + 1);
    Bytes wire(length), back(length);
    ScrambleBytes(plain.data(), wire.data(), length);
    UnscrambleBytes(wire.data(), back.data(), length);
    EXPECT_EQ(back, plain);
    if (length >= 8) {
      EXPECT_NE(wire, plain);
    }
  }
}

TEST(Scrambler, EmptyRunWritesNothing) {
  std::uint8_t guard[2] = {0xA5, 0x5A};
  ScrambleBytes(guard, guard + 1, 0);
  UnscrambleBytes(guard, guard + 1, 0);
  EXPECT_THAT(guard, ElementsAre(0xA5, 0x5A));
}

TEST(Scrambler, InPlaceEqualsOutOfPlace) {
  const Bytes plain = RandomBytes(1001, 7);
  Bytes wire(plain.size());
  ScrambleBytes(plain.data(), wire.data(), plain.size());
  Bytes inPlace = plain;
  ScrambleBytes(inPlace.data(), inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, wire);
  UnscrambleBytes(inPlace.data(), inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, plain);
}

// A header and its body are separate runs: damage to one wire byte of the
// header garbles that byte (and in general later bytes of the header) but
// never anything before it, and never the body.
TEST(Scrambler, AlteredWireByteStaysInsideItsRun) {
  const Bytes headerPlain = RandomBytes(8, 11);
  const Bytes bodyPlain = RandomBytes(124, 12);
  Bytes headerWire = test::Scrambled(headerPlain);
  const Bytes bodyWire = test::Scrambled(bodyPlain);

  for (std::size_t at = 0; at < headerWire.size(); ++at) {
    SCOPED_TRACE(at);
    Bytes damaged = headerWire;
    damaged[at] ^= 0x40;
    const Bytes decoded = test::Unscrambled(damaged.data(), damaged.size());
    for (std::size_t i = 0; i < at; ++i) EXPECT_EQ(decoded[i], headerPlain[i]) << "byte " << i;
    EXPECT_NE(decoded[at], headerPlain[at]);
    EXPECT_EQ(test::Unscrambled(bodyWire.data(), bodyWire.size()), bodyPlain);
  }
  // A later byte of the run depends on the damaged one.
  Bytes damaged = headerWire;
  damaged[0] ^= 0x01;
  const Bytes decoded = test::Unscrambled(damaged.data(), damaged.size());
  EXPECT_FALSE(std::equal(decoded.begin() + 1, decoded.end(), headerPlain.begin() + 1));
}

// UnscrambleBytes goes through chunks of two sizes, a padded last chunk and
// a byte loop for what is left; it must equal the plain loop for every length
// across all of those boundaries, for the largest runs the protocol carries,
// for any alignment of the buffers and in place.
TEST(Scrambler, FoldedUnscrambleEqualsReference) {
  auto check = [](const Bytes& wire, std::size_t offset) {
    const std::size_t length = wire.size();
    Bytes expected(length);
    UnscrambleBytesReference(wire.data(), expected.data(), length);
    Bytes in(offset + length), out(offset + length);
    std::copy(wire.begin(), wire.end(), in.begin() + static_cast<std::ptrdiff_t>(offset));
    UnscrambleBytes(in.data() + offset, out.data() + offset, length);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin() + static_cast<std::ptrdiff_t>(offset)))
        << "length " << length << ", offset " << offset;
    UnscrambleBytes(in.data() + offset, in.data() + offset, length);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), in.begin() + static_cast<std::ptrdiff_t>(offset)))
        << "in place, length " << length << ", offset " << offset;
  };
  // Every length up to a little over two large chunks, each at two alignments.
  for (std::size_t length = 0; length <= 1100; ++length) {
    const Bytes wire = RandomBytes(length, static_cast<std::uint32_t>(100 + length));
    check(wire, 0);
    check(wire, 1 + length % 15);
  }
  // The long runs, at their own lengths and just off them; bytes all 0 or all
  // 0xFF take the 16-bit sums through their extremes.
  for (std::size_t length : {12524u, 39188u, 90112u, 198656u, 198656u + 3u, 198656u + 47u, 198656u + 48u}) {
    check(RandomBytes(length, static_cast<std::uint32_t>(length)), 0);
  }
  check(Bytes(4096, 0x00), 0);
  check(Bytes(4096, 0xFF), 3);
}

TEST(FrameHeader, ByteZeroIsScrambledToo) {
  const WireHeader wire = EncodeHeader(1, 124);
  EXPECT_THAT(wire, ElementsAre(0x3a, 0x23, 0xcb, 0xf3, 0x79, 0xa5, 0x0a, 0xab));
  // No nonce or counter: the same header always gives the same bytes.
  EXPECT_EQ(EncodeHeader(1, 124), wire);
}

TEST(FrameHeader, MinusOneIsAllOnesInPlainForm) {
  const WireHeader wire = EncodeHeader(6, -1);
  const Bytes plain = test::Unscrambled(wire.data(), wire.size());
  EXPECT_THAT(plain, ElementsAre(6, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF));
  const FrameHeader h = DecodeHeader(wire.data());
  EXPECT_EQ(h.code, 6);
  EXPECT_EQ(h.value, -1);
  EXPECT_EQ(static_cast<std::uint32_t>(h.value), 4294967295u);
}

TEST(FrameHeader, RoundTripOfCodesAndValues) {
  struct Case {
    std::uint8_t code;
    std::int32_t value;
  };
  for (const Case c : {Case{0, 0}, Case{1, 124}, Case{4, 600}, Case{24, 1700000000}, Case{41, INT32_MAX},
                       Case{255, INT32_MIN}, Case{18, 6001}}) {
    const WireHeader wire = EncodeHeader(c.code, c.value);
    const FrameHeader h = DecodeHeader(wire.data());
    EXPECT_EQ(h.code, c.code);
    EXPECT_EQ(h.value, c.value);
    const Bytes plain = test::Unscrambled(wire.data(), wire.size());
    EXPECT_THAT(Bytes(plain.begin() + 1, plain.begin() + 4), Each(0)) << "reserved bytes are sent as 0";
    EXPECT_EQ(plain[4], static_cast<std::uint8_t>(c.value)) << "value is little-endian";
  }
}

TEST(FrameHeader, ReservedBytesAreIgnoredOnDecode) {
  const Bytes plain = {13, 0xAA, 0xBB, 0xCC, 0x08, 0x00, 0x00, 0x00};
  const Bytes wire = test::Scrambled(plain);
  const FrameHeader h = DecodeHeader(wire.data());
  EXPECT_EQ(h.code, 13);
  EXPECT_EQ(h.value, 8);
}

TEST(TextBody, TextsAndTerminatorsAtTheirOffsets) {
  const TextBodyResult r = BuildTextBody("admin", "secret");
  ASSERT_TRUE(r.ok());
  TextBody expected{};
  std::memcpy(expected.data() + 4, "admin", 5);
  std::memcpy(expected.data() + 44, "secret", 6);
  EXPECT_EQ(r.body, expected);
}

TEST(TextBody, LongestTextsFitAndOneMoreIsRefused) {
  struct Case {
    std::size_t first, second;
    TextBodyStatus status;
  };
  for (const Case c : {Case{39, 0, TextBodyStatus::kOk}, Case{40, 0, TextBodyStatus::kFirstTooLong},
                       Case{0, 79, TextBodyStatus::kOk}, Case{0, 80, TextBodyStatus::kSecondTooLong},
                       Case{39, 79, TextBodyStatus::kOk}, Case{200, 200, TextBodyStatus::kFirstTooLong}}) {
    SCOPED_TRACE(::testing::Message() << c.first << "/" << c.second);
    const std::string first(c.first, 'a'), second(c.second, 'b');
    const TextBodyResult r = BuildTextBody(first, second);
    EXPECT_EQ(r.status, c.status);
    if (!r.ok()) {
      EXPECT_THAT(r.body, Each(0)) << "a refused body carries nothing";
      continue;
    }
    for (std::size_t i = 0; i < c.first; ++i) ASSERT_EQ(r.body[4 + i], 'a');
    EXPECT_EQ(r.body[4 + c.first], 0);
    for (std::size_t i = 0; i < c.second; ++i) ASSERT_EQ(r.body[44 + i], 'b');
    EXPECT_EQ(r.body[44 + c.second], 0);
  }
  // The 39-byte first text ends with its NUL at offset 43, just before the second field.
  EXPECT_EQ(BuildTextBody(std::string(39, 'x')).body[43], 0);
  EXPECT_EQ(BuildTextBody(std::string(39, 'x')).body[42], 'x');
}

TEST(TextBody, TextEndsAtItsFirstNul) {
  using namespace std::string_view_literals;
  const TextBodyResult r = BuildTextBody("ab\0cd"sv, {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.body[4], 'a');
  EXPECT_EQ(r.body[5], 'b');
  EXPECT_EQ(r.body[6], 0);
  EXPECT_EQ(r.body[7], 0);
}

}  // namespace
}  // namespace kolmara
