// The message builders: automatic fields, the text part and attachments,
// body parts as values, and header texts that cannot start a new line.
#include <mail/builders.h>

#include "temp_path.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

namespace {

std::string Text(const DwString& s)
{
    return std::string(s.data(), s.length());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f != NULL) << path;
    fwrite(bytes.data(), 1, bytes.length(), f);
    fclose(f);
}

std::string BodyOf(CMultipartMailMessage& message, int index)
{
    return Text(message.GetBodyPart(index).Body());
}

TEST(Builders, NewMessageHasMultipartHeadersAndAnEmptyBody)
{
    CAttachmentMailMessage message;
    message.SetAutomaticFields();
    DwMessage parsed(message.AsString());
    parsed.Parse();
    DwHeaders& h = parsed.Headers();
    EXPECT_EQ(Text(h.MimeVersion().AsString()), "1.0");
    EXPECT_EQ(Text(h.XMailer().AsString()), "Vantorel Mailer 1.0");
    EXPECT_EQ(h.ContentType().Type(), DwMime::kTypeMultipart);
    EXPECT_EQ(h.ContentType().Subtype(), DwMime::kSubtypeMixed);
    EXPECT_EQ(h.ContentType().Boundary().length(), 39u);
    EXPECT_TRUE(h.HasField("Message-Id"));
    EXPECT_EQ(Text(parsed.Body().AsString()), "") << "no boundary line without parts";
    EXPECT_EQ(message.AttachmentCount(), 0);
}

TEST(Builders, TextAndAttachments)
{
    const std::string kEmptyFile = TempPath("empty.bin");
    const std::string kDataFile = TempPath("data.bin");
    const std::string kMissingFile = TempPath("missing.bin");
    WriteFile(kEmptyFile, "");
    WriteFile(kDataFile, std::string("\0\x01\xff data", 8));
    CAttachmentMailMessage message;
    message.SetAutomaticFields();

    ASSERT_EQ(message.AttachFile(kDataFile.c_str(), DwMime::kTypeApplication,
                                 DwMime::kSubtypeOctetStream), 0);
    EXPECT_EQ(message.NumberOfParts(), 2) << "an empty text part comes first";
    EXPECT_EQ(BodyOf(message, 0), "");
    EXPECT_EQ(message.AttachFile(kMissingFile.c_str(), DwMime::kTypeApplication,
                                 DwMime::kSubtypeOctetStream), -1);
    EXPECT_EQ(message.NumberOfParts(), 2);
    ASSERT_EQ(message.AttachFile(kEmptyFile.c_str(), DwMime::kTypeApplication,
                                 DwMime::kSubtypeOctetStream), 0);
    message.SetText("Hello\r\n");
    EXPECT_EQ(message.AttachmentCount(), 2);

    // What a reader of the assembled text finds.
    CMultipartMailMessage read;
    read.FromString(message.AsString());
    ASSERT_EQ(read.NumberOfParts(), 3);
    CMailBodyPart text = read.GetBodyPart(0), data = read.GetBodyPart(1), empty = read.GetBodyPart(2);
    EXPECT_EQ(Text(text.Body()), "Hello\r\n");
    EXPECT_EQ(Text(text.Type()) + "/" + Text(text.Subtype()), "Text/Plain");
    EXPECT_EQ(data.TransferEncodingEnum(), DwMime::kCteBase64);
    EXPECT_EQ(Text(data.Disposition()), "attachment; filename=\"" + kDataFile + "\"");
    EXPECT_EQ(Text(DwDecodeBase64(data.Body())), std::string("\0\x01\xff data", 8));
    EXPECT_EQ(Text(DwDecodeBase64(empty.Body())), "");
    CMailBodyPart none = read.GetBodyPart(3);
    EXPECT_TRUE(none.Type().empty() && none.Subtype().empty() && none.TransferEncoding().empty() &&
                none.Body().empty());
    EXPECT_EQ(message.SetTextFromFile(kMissingFile.c_str()), -1);
    EXPECT_EQ(BodyOf(message, 0), "Hello\r\n");
}

TEST(Builders, BodyPartsAsValues)
{
    CMultipartMailMessage message;
    message.SetAutomaticFields();
    CMailBodyPart part;
    part.SetType(DwMime::kTypeImage);
    part.SetSubtype(DwMime::kSubtypeGif);
    part.SetTransferEncoding(DwMime::kCteQuotedPrintable);
    part.SetDescription("a picture");
    part.SetBody("body");
    message.SetBodyPart(2, part);
    message.SetBodyPart(-1, part);
    ASSERT_EQ(message.NumberOfParts(), 3);
    CMailBodyPart back = message.GetBodyPart(2);
    EXPECT_EQ(Text(back.Type()) + "/" + Text(back.Subtype()), "Image/gif");
    EXPECT_EQ(back.TransferEncodingEnum(), DwMime::kCteQuotedPrintable);
    EXPECT_EQ(Text(back.Description()), "a picture");
    EXPECT_EQ(Text(back.Body()), "body");
    CMailBodyPart filler = message.GetBodyPart(0);
    EXPECT_EQ(Text(filler.Type()), "Text") << "a part without headers reads as text/plain";
    EXPECT_EQ(Text(filler.TransferEncoding()), "7bit");
    message.DeleteBodyParts();
    EXPECT_EQ(message.NumberOfParts(), 0);
    EXPECT_EQ(message.AsString().find("a picture"), DwString::npos);
}

TEST(Builders, HeaderTextsNeverStartANewLine)
{
    CMailMessage message;
    message.SetSubject("Hi\r\nBcc: spy@x.test");
    message.SetFrom("ann@x.test\nX-Evil: 1");
    message.AddTo("bob@x.test\r\nX-Evil: 2");
    CMailBodyPart part;
    part.SetDescription("d\r\nX-Evil: 3");
    DwMessage parsed(message.AsString());
    parsed.Parse();
    for (int i = 0; i < parsed.Headers().NumFields(); ++i) {
        std::string name = Text(parsed.Headers().FieldAt(i).FieldNameStr());
        EXPECT_TRUE(name != "Bcc" && name != "X-Evil") << name;
    }
    EXPECT_EQ(Text(message.Subject()), "Hi  Bcc: spy@x.test");
    EXPECT_EQ(message.NumRecipients(CMailMessage::kTo), 1);
    EXPECT_EQ(message.NumRecipients(CMailMessage::kCc), 0);
}

}  // namespace
