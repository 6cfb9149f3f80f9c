"""Anchor for mail_bench: writes the benchmark's message, about 28 MB of
multipart/mixed with a text part and base64 attachments of fixed-seed bytes,
to mail-bench.eml, then times Python's email package on it: BytesParser with
compat32, get_payload(decode=True) of every leaf part, and as_bytes().
Prints "PYTHON_MAIL_MBPS <megabytes per second>" (best of three)."""
import base64
import random
import time
from email.parser import BytesParser
from email.policy import compat32

PATH = "mail-bench.eml"
ATTACHMENTS = 7
ATTACHMENT_BYTES = 3 * 1024 * 1024
BOUNDARY = "Boundary-=_benchmarkBoundaryAbCdEfGhIjKl"
ROUNDS = 3


def write_message():
    rng = random.Random(1234)
    out = [b"From: Ann <ann@x.test>\r\nTo: bob@x.test\r\nSubject: benchmark\r\n"
           b"MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n  boundary=\"" +
           BOUNDARY.encode() + b"\"\r\n\r\n"]
    text = b"".join(b"Line %d of the message text.\r\n" % i for i in range(2000))
    out.append(b"\r\n--" + BOUNDARY.encode() + b"\r\nContent-Type: text/plain\r\n"
               b"Content-Transfer-Encoding: 7bit\r\n\r\n" + text)
    for n in range(ATTACHMENTS):
        data = rng.randbytes(ATTACHMENT_BYTES)
        body = base64.encodebytes(data).replace(b"\n", b"\r\n")
        out.append(b"\r\n--" + BOUNDARY.encode() + b"\r\nContent-Type: application/octet-stream\r\n"
                   b"Content-Transfer-Encoding: base64\r\n"
                   b"Content-Disposition: attachment; filename=\"file%d.bin\"\r\n\r\n" % n + body)
    out.append(b"\r\n--" + BOUNDARY.encode() + b"--\r\n")
    data = b"".join(out)
    with open(PATH, "wb") as f:
        f.write(data)
    return data


def one_round(data):
    start = time.perf_counter()
    message = BytesParser(policy=compat32).parsebytes(data)
    for part in message.walk():
        if not part.is_multipart():
            part.get_payload(decode=True)
    message.as_bytes()
    return time.perf_counter() - start


data = write_message()
best = min(one_round(data) for _ in range(ROUNDS))
print("PYTHON_MAIL_MBPS %.1f" % (len(data) / best / 1e6))
