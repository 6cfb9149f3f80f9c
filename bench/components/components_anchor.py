"""Anchor for components_bench: starts the mail peers of tests/mail (an SMTP
peer that delivers into dovecot's Maildirs, and dovecot serving POP3) and
leaves them to a keeper process that outlives this script, then times
Python's smtplib sending a message with a 10 MB attachment to mailbox 1 and
poplib retrieving it (with the attachment decoded and written to a file).
Prints the peers' ports, "PYTHON_SEND_SECONDS" and "PYTHON_RETRIEVE_SECONDS".
The keeper stops the peers once components_bench writes peers.stop (or after
KEEP_SECONDS) and removes their folder.

usage: components_anchor.py            (the anchor)
       components_anchor.py --keep DIR  (the keeper, started by the anchor)
"""
import email
import email.policy
import json
import os
import poplib
import random
import shutil
import smtplib
import subprocess
import sys
import tempfile
import time
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "mail"))
import mail_peers  # noqa: E402

ATTACHMENT_BYTES = 10 * 1024 * 1024
KEEP_SECONDS = 900
PEERS_FILE = "peers.json"
STOP_FILE = "peers.stop"
PASSWORD = "secret"


def keep(folder):
    """The keeper: starts the peers, says where they are, waits, stops them."""
    processes = []
    try:
        processes, names = mail_peers.start_peers(folder)
        with open(PEERS_FILE + ".part", "w") as f:
            json.dump(names, f)
        os.rename(PEERS_FILE + ".part", PEERS_FILE)
        deadline = time.time() + KEEP_SECONDS
        while time.time() < deadline and not os.path.exists(STOP_FILE):
            time.sleep(0.5)
    finally:
        for process in processes:
            mail_peers.stop(process)
        shutil.rmtree(folder, ignore_errors=True)
        for name in (PEERS_FILE, STOP_FILE):
            if os.path.exists(name):
                os.remove(name)


def start_keeper():
    for name in (PEERS_FILE, STOP_FILE):
        if os.path.exists(name):
            os.remove(name)
    folder = tempfile.mkdtemp(prefix="vantorel-bench-mail-")
    keeper = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--keep", folder],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    deadline = time.time() + 2 * mail_peers.PEER_START_SECONDS
    while time.time() < deadline and keeper.poll() is None:
        if os.path.exists(PEERS_FILE):
            with open(PEERS_FILE) as f:
                return json.load(f)
        time.sleep(0.1)
    raise RuntimeError("the mail peers did not start")


def time_python(smtp_port, pop3_port):
    data = random.Random(10).randbytes(ATTACHMENT_BYTES)
    start = time.perf_counter()
    message = MIMEMultipart()
    message["From"] = "ann@x.test"
    message["To"] = "mailbox1@x.test"
    message["Subject"] = "benchmark"
    message.attach(MIMEText("The attachment follows.\r\n"))
    attachment = MIMEApplication(data)
    attachment.add_header("Content-Disposition", "attachment", filename="bench.bin")
    message.attach(attachment)
    with smtplib.SMTP("127.0.0.1", smtp_port) as smtp:
        smtp.sendmail("ann@x.test", ["mailbox1@x.test"], message.as_string())
    sent = time.perf_counter() - start

    start = time.perf_counter()
    pop = poplib.POP3("127.0.0.1", pop3_port)
    pop.user("mailbox1")
    pop.pass_(PASSWORD)
    _, lines, _ = pop.retr(1)
    received = email.message_from_bytes(b"\r\n".join(lines), policy=email.policy.compat32)
    for part in received.walk():
        if part.get_filename():
            with open("python-saved.bin", "wb") as f:
                f.write(part.get_payload(decode=True))
    pop.dele(1)
    pop.quit()
    retrieved = time.perf_counter() - start
    same = open("python-saved.bin", "rb").read() == data
    os.remove("python-saved.bin")
    if not same:
        raise RuntimeError("Python saved a different attachment")
    return sent, retrieved


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--keep":
        keep(sys.argv[2])
        return
    names = start_keeper()
    smtp_port, pop3_port = int(names["MAIL_SMTP_PORT"]), int(names["MAIL_POP3_PORT"])
    try:
        sent, retrieved = time_python(smtp_port, pop3_port)
    except Exception:
        open(STOP_FILE, "w").close()
        raise
    print("SMTP_PORT %d" % smtp_port)
    print("POP3_PORT %d" % pop3_port)
    print("PYTHON_SEND_SECONDS %.3f" % sent)
    print("PYTHON_RETRIEVE_SECONDS %.3f" % retrieved)


if __name__ == "__main__":
    main()
