// The byte-order loads and the bounded reader: fields of either order, and 0 with the reader
// failed once a read does not fit.
#include <gtest/gtest.h>

#include <vector>

#include "formats/byte_order.h"

namespace {

const std::vector<uint8_t> Bytes = {0x01, 0x02, 0x03, 0x04, 0x05};

TEST(ByteOrder, FieldsOfEitherOrder) {
  EXPECT_EQ(Le16(Bytes.data()), 0x0201);
  EXPECT_EQ(Le24(Bytes.data()), 0x030201u);
  EXPECT_EQ(Le32(Bytes.data()), 0x04030201u);
  EXPECT_EQ(Be16(Bytes.data()), 0x0102);
  EXPECT_EQ(Be32(Bytes.data()), 0x01020304u);
  uint8_t stored[4];
  PutLe32(stored, 0x04030201u);
  EXPECT_EQ(Le32(stored), 0x04030201u);
  PutBe32(stored, 0x01020304u);
  EXPECT_EQ(Be32(stored), 0x01020304u);
}

TEST(ByteReader, ReadsInOrderAndNeverPastTheEnd) {
  ByteReader reader(Bytes);
  EXPECT_EQ(reader.U8(), 0x01);
  EXPECT_EQ(reader.Be16(), 0x0203);
  EXPECT_EQ(reader.Remaining(), 2u);
  EXPECT_EQ(reader.Le32(), 0u) << "only two bytes left";
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.U8(), 0) << "a failed reader stays failed";

  ByteReader from(Bytes, 1);
  EXPECT_TRUE(from.Skip(2));
  EXPECT_EQ(from.Le16(), 0x0504);
  EXPECT_FALSE(from.Failed());
  EXPECT_TRUE(ByteReader(Bytes, 6).Failed()) << "a start past the end";

  EXPECT_EQ(Le32At(Bytes, 1), 0x05040302u);
  EXPECT_EQ(Le32At(Bytes, 2), 0u);
  EXPECT_EQ(Le16At(Bytes, 3), 0x0504);
  EXPECT_EQ(Le16At(Bytes, 4), 0);
}

}  // namespace
