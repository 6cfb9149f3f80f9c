"""SMTP peer for the mail tests: records every envelope command and each
message's data bytes, and refuses MAIL FROM for the local part "refused".

usage: smtp_peer.py PORT LOG DATA_DIR [MAILDIRS]
LOG gets one line per command ("MAIL addr", "RCPT addr"); DATA_DIR gets each
message's bytes as received, named by the first recipient's local part. With
MAILDIRS, a recipient whose local part names a Maildir there also gets the
message in its "new" folder, with LF line ends as a mail store keeps them.
"""
import os
import sys
import time
import uuid

from aiosmtpd.controller import Controller


class Recorder:
    def __init__(self, log, data_dir, maildirs):
        self.log = log
        self.data_dir = data_dir
        self.maildirs = maildirs

    def note(self, line):
        with open(self.log, "a") as f:
            f.write(line + "\n")

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.note("MAIL " + address)
        if address.split("@")[0] == "refused":
            return "550 sender refused"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        self.note("RCPT " + address)
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        name = envelope.rcpt_tos[0].split("@")[0] if envelope.rcpt_tos else "none"
        path = os.path.join(self.data_dir, name + ".eml")
        with open(path + ".part", "wb") as f:
            f.write(envelope.original_content)
        os.rename(path + ".part", path)
        self.deliver(envelope)
        self.note("DATA " + name)
        return "250 queued"


    def deliver(self, envelope):
        if not self.maildirs:
            return
        content = envelope.original_content.replace(b"\r\n", b"\n")
        for address in envelope.rcpt_tos:
            box = os.path.join(self.maildirs, address.split("@")[0])
            if not os.path.isdir(os.path.join(box, "new")):
                continue
            name = uuid.uuid4().hex
            with open(os.path.join(box, "tmp", name), "wb") as f:
                f.write(content)
            os.rename(os.path.join(box, "tmp", name), os.path.join(box, "new", name))


def main():
    port, log, data_dir = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    maildirs = sys.argv[4] if len(sys.argv) > 4 else None
    controller = Controller(Recorder(log, data_dir, maildirs), hostname="127.0.0.1", port=port)
    controller.start()
    try:
        while True:
            time.sleep(3600)
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
