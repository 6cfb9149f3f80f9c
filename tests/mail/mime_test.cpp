// The message model: the corpus parses and assembles back to its own bytes,
// its structure, what a rebuilt message holds, and bad input.
#include "corpus.h"
#include "mark_modified.h"

#include <mail/mime.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const DwString& s)
{
    return std::string(s.data(), s.length());
}

TEST(Corpus, UnchangedMessagesAssembleToTheirOwnBytes)
{
    for (const char* name : kCorpus) {
        SCOPED_TRACE(name);
        DwString original = CorpusMessage(name);
        ASSERT_FALSE(original.empty());
        DwMessage message(original);
        message.Parse();
        message.Assemble();
        EXPECT_EQ(Text(message.AsString()), Text(original));
    }
}

// A rebuilt message parses to the same structure as the original.
TEST(Corpus, RebuiltMessagesKeepTheirStructure)
{
    for (const char* name : kCorpus) {
        SCOPED_TRACE(name);
        DwMessage original(CorpusMessage(name));
        original.Parse();
        MarkAllModified(original);
        original.Assemble();
        DwMessage again(original.AsString());
        again.Parse();
        EXPECT_EQ(again.Headers().NumFields(), original.Headers().NumFields());
        EXPECT_EQ(again.Body().NumBodyParts(), original.Body().NumBodyParts());
        for (int i = 0; i < again.Headers().NumFields(); ++i)
            EXPECT_EQ(Text(again.Headers().FieldAt(i).FieldNameStr()),
                      Text(original.Headers().FieldAt(i).FieldNameStr()));
        MarkAllModified(again);
        again.Assemble();
        EXPECT_EQ(Text(again.AsString()), Text(original.AsString())) << "rebuilding is stable";
    }
}

TEST(Corpus, MultipartStructure)
{
    DwMessage message(CorpusMessage("multipart.eml"));
    message.Parse();
    DwBody& body = message.Body();
    ASSERT_EQ(body.NumBodyParts(), 2);
    EXPECT_EQ(Text(body.Preamble()), "This is the preamble.");
    EXPECT_EQ(Text(body.Epilogue()), "The epilogue.\r\n");
    DwBody& inner = body.BodyPartAt(0).Body();
    ASSERT_EQ(inner.NumBodyParts(), 2);
    EXPECT_EQ(Text(inner.BodyPartAt(0).Body().AsString()), "Plain text.");
    EXPECT_EQ(Text(inner.Preamble()), "");
    DwBodyPart& attachment = body.BodyPartAt(1);
    EXPECT_EQ(attachment.Headers().ContentTransferEncoding().AsEnum(), DwMime::kCteBase64);
    DwString bytes = DwDecodeBase64(attachment.Body().AsString());
    ASSERT_EQ(bytes.length(), 768u);
    for (size_t i = 0; i < bytes.length(); ++i)
        ASSERT_EQ((unsigned char)bytes[i], i % 256);
    EXPECT_EQ(Text(attachment.Headers().ContentDisposition().FindParameter("filename")->Value()),
              "bytes.bin");
    EXPECT_THROW(body.BodyPartAt(2), DwBoundsException);
}

TEST(Corpus, EntitySplitsAndContainedMessages)
{
    struct Case {
        const char* name;
        int fields;
        const char* body;
    } cases[] = {
        {"headers_only.eml", 2, ""},
        {"body_only.eml", 0, "No headers at all.\r\n"},
        {"lf_only.eml", 3, NULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DwMessage message(CorpusMessage(c.name));
        message.Parse();
        EXPECT_EQ(message.Headers().NumFields(), c.fields);
        if (c.body) {
            EXPECT_EQ(Text(message.Body().AsString()), c.body);
        }
    }
    DwMessage lf(CorpusMessage("lf_only.eml"));
    lf.Parse();
    ASSERT_EQ(lf.Body().NumBodyParts(), 2) << "a boundary in single quotes";
    EXPECT_EQ(Text(lf.Body().BodyPartAt(1).Body().AsString()), "second");

    DwMessage broken(CorpusMessage("broken.eml"));
    broken.Parse();
    ASSERT_EQ(broken.Body().NumBodyParts(), 2) << "parts up to the end without a closing delimiter";
    EXPECT_EQ(Text(broken.Body().BodyPartAt(1).Body().AsString()), "");
    EXPECT_EQ(Text(broken.Body().BodyPartAt(1).Headers().AsString()), "no header break at all");
    EXPECT_EQ(Text(broken.Body().Epilogue()), "");
    bool errors = false;
    EXPECT_EQ(Text(DwDecodeBase64(broken.Body().BodyPartAt(0).Body().AsString(), &errors)), "ABC");
    EXPECT_TRUE(errors);

    DwMessage outer(CorpusMessage("rfc822.eml"));
    outer.Parse();
    ASSERT_TRUE(outer.Body().Message() != NULL);
    EXPECT_EQ(Text(outer.Body().Message()->Headers().Subject().AsString()), "Inside");
}

TEST(Corpus, HeaderFieldsAndFieldBodies)
{
    DwMessage message(CorpusMessage("plain.eml"));
    message.Parse();
    DwHeaders& h = message.Headers();
    EXPECT_EQ(Text(h.Subject().AsString()), "A folded\r\n\tsubject line") << "the fold stays";
    DwAddressList& to = h.To();
    ASSERT_EQ(to.NumAddresses(), 3);
    DwMailbox& carol = (DwMailbox&)to.AddressAt(1);
    EXPECT_EQ(Text(carol.FullName()), "Carol");
    EXPECT_EQ(Text(carol.AddrSpec()), "carol@example.test");
    DwGroup* team = dynamic_cast<DwGroup*>(&to.AddressAt(2));
    ASSERT_TRUE(team != NULL);
    EXPECT_EQ(Text(team->GroupName()), "team");
    EXPECT_EQ(team->MailboxList().NumMailboxes(), 2);
    EXPECT_EQ(Text(h.From().MailboxAt(0).FullName()), "\"Ann Smith\"");
    DwDateTime& date = h.Date();
    EXPECT_EQ(date.Year(), 1998);
    EXPECT_EQ(date.Zone(), 120);
    EXPECT_EQ(Text(date.ZoneName()), "EET");
    EXPECT_EQ(Text(h.MessageId().LocalPart()), "1234.5678");
    DwStamp& received = (DwStamp&)*h.FindField("received")->FieldBody();
    EXPECT_EQ(Text(received.ClauseText(DwStamp::kBy)), "mx.example.test");
    EXPECT_EQ(Text(received.ClauseText(DwStamp::kId)), "42");
    EXPECT_EQ(received.Date().Hour(), 10);
}

TEST(FieldBodies, AssembledForms)
{
    struct Case {
        const char* field;
        const char* text;
        const char* assembled;
    } cases[] = {
        {"To", "Ann Smith <ann@x.test>, bob@x.test", "Ann Smith <ann@x.test>,\r\n <bob@x.test>"},
        {"To", "no-at-sign, bob@x.test", "<bob@x.test>"},
        {"From", "a@x.test,b@x.test", "<a@x.test>,\r\n  <b@x.test>"},
        {"Content-Type", "text/plain; charset=us-ascii",
         "text/plain;\r\n  charset=\"us-ascii\""},
        {"Content-Disposition", "attachment; filename=a.txt",
         "attachment;\r\n  filename=\"a.txt\""},
        {"Message-Id", "< a.b @ host.test >", "<a.b@host.test>"},
        {"Date", "Thu, 5 Feb 98 07:08:09 EST", "Thu, 5 Feb 1998 07:08:09 -0500 (EST)"},
        {"Date", "not a date", "Thu, 1 Jan 1970 00:00:00 +0000"},
        {"Received", "from a.test by b.test; Thu, 5 Feb 1998 07:08:09 +0000",
         "from a.test by b.test; Thu, 5 Feb 1998 07:08:09 +0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DwField field(DwString(c.field) + ": " + c.text + "\r\n");
        field.Parse();
        MarkAllModified(field);
        field.Assemble();
        EXPECT_EQ(Text(field.FieldBody()->AsString()), c.assembled);
    }
}

TEST(FieldBodies, ParametersEnumerationsAndBoundaries)
{
    struct ParameterCase {
        const char* text;
        const char* value;
    } parameters[] = {
        {"boundary='abc'", "abc"},
        {"name='abc'", "'abc'"},
        {"boundary=\"q\\\"x\"", "q\\\"x"},
    };
    for (const ParameterCase& c : parameters) {
        DwParameter p(c.text);
        p.Parse();
        EXPECT_EQ(Text(p.Value()), c.value) << c.text;
    }
    struct EnumCase {
        const char* text;
        int value;
    } encodings[] = {{"BASE64", DwMime::kCteBase64}, {"7Bit", DwMime::kCte7bit},
                     {"x-uuencode", DwMime::kCteUnknown}, {"", DwMime::kCteNull}};
    for (const EnumCase& c : encodings)
        EXPECT_EQ(DwMime::CteStrToEnum(c.text), c.value) << c.text;
    EXPECT_EQ(DwMime::SubtypeStrToEnum("OCTET-STREAM"), DwMime::kSubtypeOctetStream);
    EXPECT_EQ(Text(DwMime::TypeEnumToStr(DwMime::kTypeApplication)), "Application");

    struct BoundaryCase {
        unsigned level;
        const char* prefix;
    } boundaries[] = {{0, "Boundary-=_"}, {12, "Boundary-12=_"}};
    for (const BoundaryCase& c : boundaries) {
        DwMediaType first, second;
        first.CreateBoundary(c.level);
        second.CreateBoundary(c.level);
        std::string b = Text(first.Boundary());
        ASSERT_EQ(b.length(), 39u);
        EXPECT_EQ(b.compare(0, strlen(c.prefix), c.prefix), 0) << b;
        for (size_t i = strlen(c.prefix); i < b.length(); ++i)
            EXPECT_TRUE(isalpha((unsigned char)b[i])) << b;
        EXPECT_NE(b, Text(second.Boundary())) << "boundaries made in the same second differ";
    }
}

TEST(FieldBodies, MessageIdsDiffer)
{
    DwMsgId first, second;
    first.CreateDefault();
    second.CreateDefault();
    first.Assemble();
    second.Assemble();
    std::string id = Text(first.AsString());
    EXPECT_NE(id, Text(second.AsString()));
    ASSERT_GT(id.length(), 20u);
    EXPECT_LE(id.length(), 79u);
    EXPECT_EQ(id[0], '<');
    EXPECT_EQ(id[id.length() - 1], '>');
    EXPECT_EQ(id[9], '.') << "eight hex digits of the time first: " << id;
    EXPECT_FALSE(first.Domain().empty());
}

TEST(FieldBodies, DateInAZoneEastOfUtc)
{
    const time_t kNoonUtc = 946728000;  // 2000-01-01 12:00:00 UTC, a Saturday
    const int kTwoHoursEast = 120;
    DwDateTime date;
    date.FromTime(kNoonUtc, kTwoHoursEast, "EET");
    date.Assemble();
    EXPECT_EQ(Text(date.AsString()), "Sat, 1 Jan 2000 14:00:00 +0200 (EET)");
    date.FromCalendarTime(kNoonUtc);
    date.Assemble();
    EXPECT_EQ(Text(date.AsString()), "Sat, 1 Jan 2000 12:00:00 +0000 (UTC)");
}

// Bad input never crashes or reads out of bounds, and still assembles back.
TEST(BadInput, MutatedCorpusParsesAndAssemblesBack)
{
    const int kMutationsPerMessage = 300;
    const char kInserts[] = {'\r', '\n', '-', '"', '(', '<', ':', ';', '=', '.', ' ', '\0', '\xff'};
    long seed = 20240601;
    for (const char* name : kCorpus) {
        DwString original = CorpusMessage(name);
        for (int m = 0; m < kMutationsPerMessage; ++m) {
            DwString text(original.data(), original.length());
            int edits = 1 + DwRandomDraw(seed) % 8;
            for (int e = 0; e < edits && !text.empty(); ++e) {
                size_t at = (size_t)DwRandomDraw(seed) % text.length();
                switch (DwRandomDraw(seed) % 4) {
                case 0: text.erase(at); break;  // truncation
                case 1: text.erase(at, 1 + DwRandomDraw(seed) % 16); break;
                case 2: {
                    char c = kInserts[DwRandomDraw(seed) % sizeof kInserts];
                    text.insert(at, DwString(1 + DwRandomDraw(seed) % 3, c));
                    break;
                }
                default: text.insert(at, text.substr(DwRandomDraw(seed) % text.length(), 40));
                }
            }
            DwMessage message(text);
            message.Parse();
            message.Assemble();
            ASSERT_EQ(Text(message.AsString()), Text(text)) << name << " mutation " << m;
            MarkAllModified(message);
            message.Assemble();
            DwMessage again(message.AsString());
            again.Parse();
            DwMessage* copy = (DwMessage*)again.Clone();
            delete copy;
        }
    }
}

TEST(BadInput, OverlongLinesAndDeepNesting)
{
    DwString text("Subject: ");
    text.append(100000, 'x');
    text.append("\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n");
    for (int i = 0; i < 50; ++i)
        text.append("--b\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n");
    DwMessage message(text);
    message.Parse();
    message.Assemble();
    EXPECT_EQ(message.AsString(), text);
}

}  // namespace
