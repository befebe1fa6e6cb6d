#include "popup/status_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One status as the service lays it out: text first, the author's name inside
// its user element after it.
std::string status(const std::string& name, const std::string& text, const char* gap = "\n  ") {
  return std::string("<status>") + gap + "<created_at>Tue Jan 01 00:00:00 +0000 2008</created_at>" +
         gap + "<text>" + text + "</text>" + gap + "<user>" + gap + "<id>1</id>" + gap +
         "<screen_name>" + name + "</screen_name>" + gap + "</user>" + gap + "</status>" + gap;
}

std::string timeline(const std::vector<std::string>& statuses) {
  std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<statuses type=\"array\">\n";
  for (const auto& s : statuses) document += s;
  return document + "</statuses>\n";
}

std::string extract(const std::string& document, const std::string& before = "") {
  std::vector<char> text(popupTextSize, 0);
  before.copy(text.data(), before.size());
  extractStatuses(document.c_str(), text.data(), text.size());
  return text.data();
}

}  // namespace

TEST(StatusList, TakesTheFirstFiveOfTwenty) {
  std::vector<std::string> statuses;
  for (int i = 1; i <= 20; ++i)
    statuses.push_back(status("user" + std::to_string(i), "status " + std::to_string(i)));
  EXPECT_EQ(extract(timeline(statuses)),
            "user1: status 1\nuser2: status 2\nuser3: status 3\nuser4: status 4\n"
            "user5: status 5\n");
}

TEST(StatusList, ThreeStatusesGiveThreeLinesInOrderAndEmptyTextKeepsItsLine) {
  std::string document =
      timeline({status("alice", "Hello world"), status("bob", ""), status("carol", "x")});
  EXPECT_EQ(extract(document), "alice: Hello world\nbob: \ncarol: x\n");
}

TEST(StatusList, AppendsToWhatThePopupTextHolds) {
  EXPECT_EQ(extract(timeline({status("a", "b")}), "kept\n"), "kept\na: b\n");
}

TEST(StatusList, DocumentWithoutStatusesAddsNothing) {
  EXPECT_EQ(extract("<?xml version=\"1.0\"?>\n<hash><error>Not found</error></hash>\n"), "");
  EXPECT_EQ(extract(""), "");
  EXPECT_EQ(extract("<screen_name>x</screen_name>"), "");
}

TEST(StatusList, LastStatusWithoutCompleteNameGivesNoLine) {
  std::string document =
      timeline({status("alice", "one")}) + "<status><text>two</text><user><screen_name>bob</user>";
  EXPECT_EQ(extract(document), "alice: one\n");
  EXPECT_EQ(extract(timeline({status("alice", "one")}) + "<text>two</text>"), "alice: one\n");
}

TEST(StatusList, DocumentWithoutLineBreaksPairsEachTextWithItsAuthor) {
  std::string document =
      timeline({status("alice", "one", ""), status("bob", "two", ""), status("carol", "3", "")});
  // The author's element right after the text, as in a compact document.
  std::string tight = "<statuses>";
  for (auto [n, t] : std::vector<std::pair<const char*, const char*>>{
           {"alice", "one"}, {"bob", "two"}, {"carol", "3"}})
    tight +=
        std::string("<status><text>") + t + "</text><screen_name>" + n + "</screen_name></status>";
  tight += "</statuses>";
  EXPECT_EQ(extract(tight), "alice: one\nbob: two\ncarol: 3\n");
  EXPECT_EQ(extract(document), "alice: one\nbob: two\ncarol: 3\n");
}

TEST(StatusList, ClosingTagBeforeItsOpeningTagEndsTheScan) {
  // A stray closing text tag before the next opening one.
  std::string strayText = timeline({status("alice", "one")}) + "</text>" + status("bob", "two");
  EXPECT_EQ(extract(strayText), "alice: one\n");
  // The same for the author's element.
  std::string strayName = "<text>one</text></screen_name><screen_name>bob</screen_name>";
  EXPECT_EQ(extract(strayName), "");
}

TEST(StatusList, TagsWithAttributesAreNotMatched) {
  // The element with attributes is skipped; its closing tag then comes first.
  std::string document =
      "<text lang=\"en\">hi</text><screen_name>alice</screen_name>" + status("bob", "two");
  EXPECT_EQ(extract(document), "");
  EXPECT_EQ(extract("<text>one</text><screen_name id=\"1\">bob</screen_name>"), "");
}

TEST(StatusList, ReferencesAreDecodedOncePerFieldAfterTheTagsAreFound) {
  std::string document = timeline({status("T&amp;J",
                                          "Tom &amp; Jerry &lt;3 &gt; &quot;q&quot; "
                                          "it&apos;s &amp;lt; &nbsp; &#65; &amp"),
                                   status("b&#246;b", "&#60;/text&#62; and &#38;lt; as sent"),
                                   status("&#60;/screen_name&#62;x", "&#x3C;text&#x3E;")});
  EXPECT_EQ(extract(document),
            "T&J: Tom & Jerry <3 > \"q\" it's &lt; &nbsp; A &amp\n"
            "b\u00F6b: </text> and &lt; as sent\n"
            "</screen_name>x: <text>\n");
  // Outside a field nothing is decoded: a reference there is no tag either.
  EXPECT_EQ(extract("&#60;text&#62;no&#60;/text&#62;" + status("a", "b")), "a: b\n");
  // Bytes that are not UTF-8 read as Latin-1, each on its own.
  EXPECT_EQ(extract(timeline({status("a", "caf\xE9 \xC3")})), "a: caf\u00E9 \u00C3\n");
}

TEST(StatusList, LongFieldsAreCutTo1023Bytes) {
  std::string longText(5000, 't');
  std::string longName(3000, 'n');
  std::string result = extract(timeline({status(longName, longText), status("next", "ok")}));
  EXPECT_EQ(result, std::string(1023, 'n') + ": " + std::string(1023, 't') + "\nnext: ok\n");
}

TEST(StatusList, CutCountsDecodedBytesAndNeverSplitsACharacter) {
  // 1020 bytes of entities decode to 204 '&'; 1200 references to U+00E9 to
  // 511 whole characters.
  std::string entities;
  for (int i = 0; i < 204; ++i) entities += "&amp;";
  EXPECT_EQ(extract(timeline({status("a", entities)})), "a: " + std::string(204, '&') + "\n");
  std::string accents, shown;
  for (int i = 0; i < 1200; ++i) accents += "&#233;";
  for (int i = 0; i < 511; ++i) shown += "\u00E9";
  EXPECT_EQ(extract(timeline({status("a", accents)})), "a: " + shown + "\n");

  // A 2-, 3- and 4-byte UTF-8 character across the 1023rd byte is left out
  // whole; one that ends exactly on it is kept.
  for (std::string character : {"\u00E9", "\u3042", "\U0001F600"}) {
    const std::size_t size = character.size();
    for (std::size_t before : {1023 - size + 1, 1023 - size}) {
      std::string kept = std::string(before, 'x') + (before + size <= 1023 ? character : "");
      EXPECT_EQ(extract(timeline({status("a", std::string(before, 'x') + character + "tail")})),
                "a: " + kept + "\n")
          << size << "-byte character after " << before << " bytes";
    }
  }
}

TEST(StatusList, FiveLongestLinesFitThePopupText) {
  std::vector<std::string> statuses(5, status(std::string(2000, 'n'), std::string(2000, 't')));
  std::string result = extract(timeline(statuses));
  EXPECT_EQ(result.size(), 5u * (1023 + 2 + 1023 + 1));
}

TEST(StatusList, NeverWritesPastASmallDestination) {
  // Only whole lines go in; the guard byte past the end stays.
  std::vector<char> out(12 + 1, 0);
  out[12] = '#';
  extractStatuses(timeline({status("ab", "cdef"), status("gh", "ij")}).c_str(), out.data(), 12);
  EXPECT_EQ(std::string(out.data()), "ab: cdef\n");
  EXPECT_EQ(out[12], '#');

  // A destination without a terminator is left alone.
  std::vector<char> full(4, 'z');
  extractStatuses(timeline({status("a", "b")}).c_str(), full.data(), full.size());
  EXPECT_EQ(std::string(full.begin(), full.end()), "zzzz");
}

TEST(StatusList, DocumentEndingRightAfterAClosingTag) {
  // Copied exactly to the heap, so ASan catches a read past the terminator.
  for (std::string document :
       {std::string("<text>a</text>"), std::string("<text>a</text><screen_name>b</screen_name>"),
        std::string("<text>a</text>\n<screen_name>b</screen_name>")}) {
    std::vector<char> exact(document.begin(), document.end());
    exact.push_back(0);
    std::vector<char> out(popupTextSize, 0);
    extractStatuses(exact.data(), out.data(), out.size());
    EXPECT_EQ(std::string(out.data()), document.find("screen") == std::string::npos ? "" : "b: a\n")
        << document;
  }
}
