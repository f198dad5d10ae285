// The WRITE BUFFER sequence of an image, by family and length, without a device: which
// commands, which bytes, where the bar goes, and what a failed command ends with.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <fstream>

#include "firmware/image_file.h"
#include "firmware/image_transfer.h"
#include "firmware_bench.h"
#include "support/test_root.h"

using namespace vexal::firmware;
using vexal::testing::ProgressOperator;
using vexal::testing::TempRoot;

namespace {

std::string hex(const WriteBufferCdb& cdb) {
    std::string s;
    for (uint8_t b : cdb) s += fmt::format("{}{:02X}", s.empty() ? "" : " ", b);
    return s;
}

std::vector<uint8_t> bytes(size_t length) {
    std::vector<uint8_t> v(length);
    for (size_t i = 0; i < length; ++i) v[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    return v;
}

struct Sent {
    std::string cdb;
    std::vector<uint8_t> data;
};

class TransferTest : public ::testing::Test {
protected:
    std::string write(const std::vector<uint8_t>& content) {
        const auto path = root.path() / "image.img";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        return path.string();
    }
    // Runs the transfer; the command numbered `failAt` (from 0) fails.
    TransferResult run(uint8_t family, const std::vector<uint8_t>& content, int failAt = -1) {
        ImageFile file;
        EXPECT_TRUE(file.open(write(content)));
        sent.clear();
        const WriteBufferSend send = [&](const WriteBufferCdb& cdb, uint8_t* data, uint32_t length) {
            sent.push_back({hex(cdb), std::vector<uint8_t>(data, data + length)});
            return static_cast<int>(sent.size()) - 1 != failAt;
        };
        return TransferImage(file, family, send, &op);
    }
    std::vector<std::string> cdbs() const {
        std::vector<std::string> out;
        for (const auto& s : sent) out.push_back(s.cdb);
        return out;
    }

    TempRoot root;
    ProgressOperator op;
    std::vector<Sent> sent;
};

TEST_F(TransferTest, SequencesByFamilyAndLength) {
    struct Case {
        uint8_t family;
        size_t length;
        std::vector<std::string> cdbs;
    } cases[] = {
        // Every family but 3: mode 04h blocks in buffer 00h, then the last block again with
        // mode 05h at the image's length.
        {10, 20000,
         {"3B 04 00 00 00 00 00 20 00 00", "3B 04 00 00 20 00 00 20 00 00", "3B 04 00 00 40 00 00 0E 20 00",
          "3B 05 00 00 4E 20 00 0E 20 00"}},
        {10, 16384, {"3B 04 00 00 00 00 00 20 00 00", "3B 04 00 00 20 00 00 20 00 00", "3B 05 00 00 40 00 00 00 00 00"}},
        {10, 8192, {"3B 04 00 00 00 00 00 20 00 00", "3B 05 00 00 20 00 00 00 00 00"}},
        {5, 100, {"3B 04 00 00 00 00 00 00 64 00", "3B 05 00 00 00 64 00 00 64 00"}},
        {254, 0, {"3B 05 00 00 00 00 00 00 00 00"}},
        // Family 3: buffer 03h, the save carries the last block at the current offset.
        {3, 8192, {"3B 05 03 00 00 00 00 20 00 00"}},
        {3, 100, {"3B 05 03 00 00 00 00 00 64 00"}},
        {3, 0, {"3B 05 03 00 00 00 00 00 00 00"}},
        {3, 16384, {"3B 04 03 00 00 00 00 20 00 00", "3B 05 03 00 20 00 00 20 00 00"}},
        {3, 24576, {"3B 04 03 00 00 00 00 20 00 00", "3B 04 03 00 20 00 00 20 00 00", "3B 05 03 00 40 00 00 20 00 00"}},
        // A block that ends within 8192 bytes of the end counts as the last one, and the
        // offset stays where the save left it.
        {3, 20000,
         {"3B 04 03 00 00 00 00 20 00 00", "3B 05 03 00 20 00 00 20 00 00", "3B 05 03 00 20 00 00 0E 20 00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fmt::format("family {} length {}", c.family, c.length));
        const auto content = bytes(c.length);
        ASSERT_EQ(run(c.family, content), TransferResult::Done);
        EXPECT_EQ(cdbs(), c.cdbs);
    }
}

TEST_F(TransferTest, TheBytesGoUnchangedAndTheLastBlockIsRepeated) {
    const auto content = bytes(20000);
    ASSERT_EQ(run(10, content), TransferResult::Done);
    ASSERT_EQ(sent.size(), 4u);
    std::vector<uint8_t> joined;
    for (size_t i = 0; i < 3; ++i) joined.insert(joined.end(), sent[i].data.begin(), sent[i].data.end());
    EXPECT_EQ(joined, content);
    EXPECT_EQ(sent[3].data, sent[2].data);
}

TEST_F(TransferTest, TheBarStepsByBlockAndEndsFullBeforeTheSave) {
    ASSERT_EQ(run(10, bytes(20000)), TransferResult::Done);
    EXPECT_EQ(op.positions, (std::vector<int>{8192, 16384, 20000, 20000}));
    op.positions.clear();
    ASSERT_EQ(run(3, bytes(24576)), TransferResult::Done);
    EXPECT_EQ(op.positions, (std::vector<int>{8192, 16384, 24576}));
}

TEST_F(TransferTest, AFailedCommandEndsTheTransfer) {
    struct Case {
        uint8_t family;
        size_t length;
        int failAt;
        TransferResult result;
        size_t sentCount;
    } cases[] = {
        {10, 20000, 0, TransferResult::WriteFailed, 1},
        {10, 20000, 2, TransferResult::WriteFailed, 3},
        {10, 20000, 3, TransferResult::SaveFailed, 4},
        {3, 8192, 0, TransferResult::SaveFailed, 1},
        {3, 24576, 1, TransferResult::WriteFailed, 2},
        {3, 24576, 2, TransferResult::SaveFailed, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fmt::format("family {} length {} failing command {}", c.family, c.length, c.failAt));
        EXPECT_EQ(run(c.family, bytes(c.length), c.failAt), c.result);
        EXPECT_EQ(sent.size(), c.sentCount);
    }
}

TEST_F(TransferTest, AnImageBeyondTheOffsetFieldIsNotSent) {
    const auto path = root.path() / "huge.img";
    {
        std::ofstream out(path, std::ios::binary);
        out.seekp(0x1000000);
        out.put('x');
    }
    ImageFile file;
    ASSERT_TRUE(file.open(path.string()));
    int count = 0;
    const WriteBufferSend send = [&](const WriteBufferCdb&, uint8_t*, uint32_t) { return ++count > 0; };
    EXPECT_EQ(TransferImage(file, 10, send), TransferResult::WriteFailed);
    EXPECT_EQ(count, 0);
}

TEST(ImageFileTest, OnlyRegularFilesOpenAndReadsStopAtTheLength) {
    TempRoot root;
    ImageFile file;
    EXPECT_FALSE(file.open((root.path() / "missing.img").string()));
    EXPECT_FALSE(file.open(root.path().string()));  // a folder
    EXPECT_FALSE(file.open(""));
    const auto path = root.path() / "image.img";
    std::ofstream(path, std::ios::binary) << std::string(10000, 'a');
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_EQ(file.length(), 10000u);
    // The file grows after it was opened: the image is what it was.
    std::ofstream(path, std::ios::binary | std::ios::app) << std::string(5000, 'b');
    std::vector<uint8_t> block;
    ASSERT_TRUE(file.read(8192, block));
    EXPECT_EQ(block.size(), 8192u);
    ASSERT_TRUE(file.read(8192, block));
    EXPECT_EQ(block.size(), 1808u);
    EXPECT_EQ(file.position(), 10000u);
    ASSERT_TRUE(file.read(8192, block));
    EXPECT_TRUE(block.empty());
}

TEST(ImageFileTest, AFileThatShrinksEndsAFamily3TransferAsAFailure) {
    TempRoot root;
    const auto path = root.path() / "image.img";
    std::ofstream(path, std::ios::binary) << std::string(20000, 'a');
    ImageFile file;
    ASSERT_TRUE(file.open(path.string()));
    std::filesystem::resize_file(path, 9000);
    int count = 0;
    const WriteBufferSend send = [&](const WriteBufferCdb&, uint8_t*, uint32_t) { return ++count > 0; };
    EXPECT_EQ(TransferImage(file, 3, send), TransferResult::WriteFailed);
    EXPECT_EQ(count, 2);  // 8192 and 808 bytes in mode 04h, then the end came early
}

}  // namespace
