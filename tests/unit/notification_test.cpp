#include "skype/notification.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::uintptr_t client = 0x1234;

struct Result {
  std::int64_t length;
  std::string text;  // what landed in the output buffer
};

// Passes the payload in a heap block of exactly `size` bytes, so that ASan
// catches any read beyond it.
Result read(std::uintptr_t sender, std::uintptr_t attached, const std::string& bytes,
            std::uint32_t size, std::size_t outputSize = 64) {
  std::unique_ptr<unsigned char[]> payload(new unsigned char[size ? size : 1]);
  std::memcpy(payload.get(), bytes.data(), bytes.size() < size ? bytes.size() : size);
  if (bytes.size() < size) std::memset(payload.get() + bytes.size(), 0, size - bytes.size());
  std::unique_ptr<char[]> output(new char[outputSize + 1]);
  std::memset(output.get(), '#', outputSize + 1);
  std::int64_t length =
      readMoodNotification(sender, attached, size, payload.get(), output.get(), outputSize);
  EXPECT_EQ(output[outputSize], '#') << "written beyond the output buffer";
  if (length < 0) {
    EXPECT_EQ(output[0], '#') << "an ignored text must not touch the output";
    return {length, ""};
  }
  return {length, std::string(output.get())};
}

// A notification as the client sends it: text and terminator, cbData counting both.
Result notify(const std::string& text, std::uintptr_t sender = client) {
  return read(sender, client, text, static_cast<std::uint32_t>(text.size() + 1));
}

TEST(MoodNotification, MoodTextFromTheClientIsAccepted) {
  Result hello = notify("PROFILE MOOD_TEXT Hello");
  EXPECT_EQ(hello.length, 5);
  EXPECT_EQ(hello.text, "Hello");
  ASSERT_EQ(std::string("PROFILE MOOD_TEXT Hello").size() + 1, 24u);

  Result empty = notify("PROFILE MOOD_TEXT ");  // cbData 19: the empty mood is posted too
  EXPECT_EQ(empty.length, 0);
  EXPECT_EQ(empty.text, "");

  Result spaces = notify("PROFILE MOOD_TEXT  two  spaces ");
  EXPECT_EQ(spaces.text, " two  spaces ");
}

TEST(MoodNotification, OnlyTextsLongerThanThePrefixCount) {
  // The prefix alone, with its terminator not counted: ignored, whatever follows.
  EXPECT_EQ(read(client, client, "PROFILE MOOD_TEXT Hello", 18).length, -1);
  EXPECT_EQ(read(client, client, "PROFILE MOOD", 12).length, -1);
  EXPECT_EQ(read(client, client, "", 0).length, -1);
}

TEST(MoodNotification, PrefixMustMatchByteForByte) {
  EXPECT_EQ(notify("PROFILE MOOD_TEXTHello").length, -1);  // no space after the name
  EXPECT_EQ(notify("profile mood_text Hello").length, -1);
  EXPECT_EQ(notify("PROFILE MOOD_TEXt Hello").length, -1);
  EXPECT_EQ(notify("PROFILE FULLNAME Hello there").length, -1);
  EXPECT_EQ(notify("PROTOCOL 5").length, -1);  // the client's answer to our command
  EXPECT_EQ(notify(" PROFILE MOOD_TEXT Hello").length, -1);
  // A zero byte inside the first 18 bytes is a difference, even with a long cbData.
  EXPECT_EQ(read(client, client, std::string("PROFILE\0MOOD_TEXT Hello", 23), 24).length, -1);
}

TEST(MoodNotification, OnlyTheAttachedClientIsHeard) {
  EXPECT_EQ(notify("PROFILE MOOD_TEXT Hello", 0x9999).length, -1);
  EXPECT_EQ(notify("PROFILE MOOD_TEXT Hello", 0).length, -1);
  // Before any client attached, not even a sender of 0 gets through.
  EXPECT_EQ(read(0, 0, "PROFILE MOOD_TEXT Hello", 24).length, -1);
  EXPECT_EQ(read(0x1234, 0, "PROFILE MOOD_TEXT Hello", 24).length, -1);
}

TEST(MoodNotification, PayloadWithoutZeroIsCopiedOnlyUpToItsEnd) {
  Result cut = read(client, client, "PROFILE MOOD_TEXT Hello", 21);
  EXPECT_EQ(cut.length, 3);
  EXPECT_EQ(cut.text, "Hel");

  Result full = read(client, client, "PROFILE MOOD_TEXT Hello", 23);
  EXPECT_EQ(full.length, 5);
  EXPECT_EQ(full.text, "Hello");
}

TEST(MoodNotification, TextEndsAtItsFirstZeroWhateverCbDataSays) {
  Result early = read(client, client, std::string("PROFILE MOOD_TEXT Hi\0rest", 25), 200);
  EXPECT_EQ(early.length, 2);
  EXPECT_EQ(early.text, "Hi");
}

TEST(MoodNotification, BytesAbove127PassUnchanged) {
  Result kana = notify("PROFILE MOOD_TEXT \xE3\x81\x82 \x80\xFF");
  EXPECT_EQ(kana.length, 6);
  EXPECT_EQ(kana.text, "\xE3\x81\x82 \x80\xFF");
}

TEST(MoodNotification, OutputIsBoundedByItsSize) {
  std::string text = "PROFILE MOOD_TEXT " + std::string(100, 'x');
  Result small = read(client, client, text, static_cast<std::uint32_t>(text.size() + 1), 8);
  EXPECT_EQ(small.length, 100) << "the length is the whole text's";
  EXPECT_EQ(small.text, std::string(7, 'x'));

  // Learning the length only: no output at all.
  EXPECT_EQ(readMoodNotification(client, client, static_cast<std::uint32_t>(text.size() + 1),
                                 reinterpret_cast<const unsigned char*>(text.c_str()), nullptr, 0),
            100);
}

TEST(MoodNotification, MissingPayloadIsIgnored) {
  EXPECT_EQ(readMoodNotification(client, client, 100, nullptr, nullptr, 0), -1);
}

}  // namespace
