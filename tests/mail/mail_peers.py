"""Runs the mail peer tests: starts an SMTP peer (aiosmtpd) and a POP3 peer
(dovecot) on 127.0.0.1 at free ports in a folder of its own, runs the test
program under Wine with their places in its environment, has Python's email
package judge the messages the program built, and stops the peers by pid.
The SMTP peer drops a message for "mailboxN@..." into dovecot's mailbox N.

usage: mail_peers.py [--builds-no-messages] WINE_RUN PROGRAM
"""
import email
import email.policy
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEER_START_SECONDS = 15
PROGRAM_SECONDS = 300


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process):
    deadline = time.time() + PEER_START_SECONDS
    while time.time() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.1)
    return False


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def start_smtp(folder):
    """The SMTP peer, delivering into the Maildirs that start_pop3 makes."""
    log = os.path.join(folder, "smtp.log")
    data = os.path.join(folder, "smtp-data")
    os.mkdir(data)
    open(log, "w").close()
    for _ in range(3):
        port = free_port()
        process = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "smtp_peer.py"),
                                    str(port), log, data, os.path.join(folder, "mail")],
                                   stdin=subprocess.DEVNULL)
        if wait_for_port(port, process):
            return process, {"MAIL_SMTP_PORT": str(port), "MAIL_SMTP_LOG": windows_path(log),
                             "MAIL_SMTP_DATA": windows_path(data)}
        stop(process)
    raise RuntimeError("the SMTP peer did not start")


DOVECOT_CONF = """base_dir = {folder}/run
state_dir = {folder}/state
log_path = {folder}/dovecot.log
listen = 127.0.0.1
protocols = pop3
ssl = no
disable_plaintext_auth = no
first_valid_uid = 1
mail_location = maildir:{folder}/mail/%u
passdb {{
  driver = static
  args = password=secret
}}
userdb {{
  driver = static
  args = uid=dovecot gid=dovecot home={folder}/home/%u
}}
service imap-login {{
  inet_listener imap {{
    port = 0
  }}
}}
service pop3-login {{
  inet_listener pop3 {{
    port = {port}
  }}
}}
"""


POP3_MAILBOXES = 4


def start_pop3(folder):
    mail = os.path.join(folder, "mail")
    os.chmod(folder, 0o755)
    # Mailboxes "mailbox1" ... for the tests to fill; dovecot's user (not
    # root) moves, indexes and deletes their messages.
    for n in range(1, POP3_MAILBOXES + 1):
        for sub in ("", "new", "cur", "tmp"):
            path = os.path.join(mail, "mailbox%d" % n, sub)
            os.makedirs(path, exist_ok=True)
            os.chmod(path, 0o777)
    for _ in range(3):
        port = free_port()
        conf = os.path.join(folder, "dovecot.conf")
        with open(conf, "w") as f:
            f.write(DOVECOT_CONF.format(folder=folder, port=port))
        process = subprocess.Popen(["dovecot", "-F", "-c", conf], stdin=subprocess.DEVNULL)
        if wait_for_port(port, process):
            return process, {"MAIL_POP3_PORT": str(port), "MAIL_POP3_MAIL": windows_path(mail),
                             "MAIL_POP3_MAILBOXES": str(POP3_MAILBOXES)}
        stop(process)
    raise RuntimeError("dovecot did not start: see " + os.path.join(folder, "dovecot.log"))


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def judge_built_messages(folder):
    """Each built message beside its manifest ("name<TAB>value" lines):
    subject, to, cc, text, and one "attachment" line per attached file."""
    failures = []
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".manifest"):
            continue
        expected = {"attachment": []}
        with open(os.path.join(folder, name), encoding="latin-1") as f:
            for line in f.read().splitlines():
                key, value = line.split("\t", 1)
                if key == "attachment":
                    expected["attachment"].append(value)
                else:
                    expected[key] = value.replace("\\r\\n", "\r\n")
        with open(os.path.join(folder, name[:-len(".manifest")] + ".eml"), "rb") as f:
            message = email.message_from_binary_file(f, policy=email.policy.compat32)
        def check(what, got, want):
            if got != want:
                failures.append("%s: %s is %r, expected %r" % (name, what, got, want))
        check("content type", message.get_content_type(), "multipart/mixed")
        check("defects", [type(d).__name__ for d in message.defects], [])
        for header in ("subject", "to", "cc"):
            check(header, message.get(header), expected.get(header))
        check("MIME-Version", message.get("mime-version"), "1.0")
        check("date", email.utils.parsedate_to_datetime(message["date"]) is not None, True)
        parts = message.get_payload()
        check("part count", len(parts), 1 + len(expected["attachment"]))
        if not parts:
            continue
        # The parser reads line ends as LF.
        check("text", parts[0].get_payload(decode=True).decode("latin-1"),
              expected.get("text").replace("\r\n", "\n"))
        for part, path in zip(parts[1:], expected["attachment"]):
            with open(path, "rb") as f:
                check("attachment " + path, part.get_payload(decode=True), f.read())
            check("disposition", part.get_content_disposition(), "attachment")
            check("type", part.get_content_type(), "application/octet-stream")
    return failures


def show_peer_logs(folder):
    for name in ("smtp.log", "dovecot.log"):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, errors="replace") as f:
                print("---- %s\n%s" % (name, f.read()[-4000:]))


def start_peers(folder):
    """Both peers: their processes and the environment that names them."""
    processes, env = [], {}
    try:
        for start in (start_smtp, start_pop3):
            process, names = start(folder)
            processes.append(process)
            env.update(names)
    except Exception:
        for process in processes:
            stop(process)
        raise
    return processes, env


def main():
    args = sys.argv[1:]
    builds_messages = args[0] != "--builds-no-messages"
    if not builds_messages:
        args = args[1:]
    wine_run, program = args[0], args[1]
    folder = tempfile.mkdtemp(prefix="vantorel-mail-")
    built = os.path.join(folder, "built")
    os.mkdir(built)
    peers = []
    try:
        env = dict(os.environ)
        peers, names = start_peers(folder)
        env.update(names)
        env["MAIL_BUILT"] = windows_path(built)
        result = subprocess.run([wine_run, program], env=env, stdin=subprocess.DEVNULL,
                                timeout=PROGRAM_SECONDS)
        failures = judge_built_messages(built)
        for failure in failures:
            print("judged by Python's email: " + failure)
        if builds_messages and not os.listdir(built):
            failures.append("the program built no message")
            print("judged by Python's email: the program built no message")
        print("mail peers: program exit code %d, %d judging failures" %
              (result.returncode, len(failures)))
        if result.returncode != 0:
            show_peer_logs(folder)
        return 0 if result.returncode == 0 and not failures else 1
    finally:
        for process in peers:
            stop(process)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
