#!/usr/bin/python3
"""Loopback SMTP server for the mail tests (run with /usr/bin/python3, which has aiosmtpd).

usage: smtp_server.py MODE OUTDIR PARENT
       smtp_server.py launcher SPOOLDIR PARENT
  accept     take every message
  reject     refuse every recipient with 550
  auth       take messages only after AUTH with user "zelbo" and password "secret", offering no STARTTLS; every
             AUTH command heard is logged in OUTDIR/auth.log
  tls-auth   as auth, but AUTH only after STARTTLS, with a throwaway certificate for 127.0.0.1 left in OUTDIR/cert.pem
  silent     accept TCP connections and never say a word
  mute-data  store the message, then never answer again (neither the end of data nor QUIT)
  mute-quit  take every message but never answer QUIT
Talks to the test through files only, because pipes between a Windows test under Wine and this Unix process carry
nothing: writes the chosen port to OUTDIR/port, stores message N as OUTDIR/N/message.eml, OUTDIR/N/message.json
(envelope and what the email package decoded) and OUTDIR/N/attachment-K, and stops when OUTDIR/stop appears, when
process PARENT is gone or after MaxLifetimeSeconds; OUTDIR/port is removed once the server has stopped.
OUTDIR may be a Windows path from a test under Wine; its drive is then found through the Wine prefix.
The launcher starts a server for each SPOOLDIR/NAME.request (MODE, OUTDIR and PARENT, one per line) and removes the
request; it runs outside Wine for the Windows tests, which must not start Unix programs themselves. It stops when
SPOOLDIR/stop appears or process PARENT is gone.
"""

import asyncio
import subprocess
import email
import email.policy
import json
import logging
import os
import socket
import sys
import threading
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword
import ssl

PollSeconds = 0.2
# A last resort for a test that died without saying stop under Wine; longer than ctest lets one test run.
MaxLifetimeSeconds = 600


def unix_path(path):
    if len(path) > 2 and path[1] == ":" and path[2] in "\\/":
        prefix = os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")
        return os.path.join(prefix, "dosdevices", path[:2].lower(), path[3:].replace("\\", "/"))
    return path


def parent_gone(parent):
    try:
        os.kill(parent, 0)
    except ProcessLookupError:
        return True
    except PermissionError:
        pass
    return False


def serve_until_told(outdir, parent, port):
    """Publishes the port, waits for a reason to stop and returns; the caller stops the server."""
    with open(os.path.join(outdir, "port.tmp"), "w", encoding="ascii") as f:
        f.write("%d\n" % port)
    os.replace(os.path.join(outdir, "port.tmp"), os.path.join(outdir, "port"))
    deadline = time.monotonic() + MaxLifetimeSeconds
    stop = os.path.join(outdir, "stop")
    while not os.path.exists(stop) and time.monotonic() < deadline:
        if parent is not None and parent_gone(parent):
            break
        time.sleep(PollSeconds)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Store:
    def __init__(self, outdir, reject, mute):
        self.outdir = outdir
        self.reject = reject
        self.mute = mute
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = os.path.join(self.outdir, str(self.count))
        os.makedirs(folder)
        raw = envelope.original_content or envelope.content
        with open(os.path.join(folder, "message.eml"), "wb") as f:
            f.write(raw)
        message = email.message_from_bytes(raw, policy=email.policy.default)
        bodies = []
        attachments = []
        parts = message.iter_parts() if message.is_multipart() else [message]
        for part in parts:
            if part.get_content_disposition() == "attachment":
                name = "attachment-%d" % len(attachments)
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(part.get_payload(decode=True))
                attachments.append({"filename": part.get_filename(), "file": name,
                                    "content_type": part.get_content_type()})
            else:
                bodies.append(part.get_content())
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "from": str(message["from"]),
            "to": str(message["to"]),
            "subject": str(message["subject"]) if message["subject"] is not None else None,
            "date": message["date"] is not None,
            "message_id": message["message-id"] is not None,
            "multipart": message.is_multipart(),
            "bodies": bodies,
            "attachments": attachments,
            "authenticated": bool(getattr(session, "authenticated", False)),
        }
        with open(os.path.join(folder, "message.json"), "w", encoding="utf-8") as f:
            json.dump(info, f, ensure_ascii=False)
        if self.mute == "data":
            # The session hangs here, so later commands are never read either.
            await asyncio.Event().wait()
        return "250 Message accepted"

    async def handle_QUIT(self, server, session, envelope):
        if self.mute == "quit":
            await asyncio.Event().wait()
        return "221 Bye"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"zelbo" and auth_data.password == b"secret"
    # handled=False lets aiosmtpd answer a refusal with its 535 reply.
    return AuthResult(success=ok, handled=False)


def run_silent(outdir, parent):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    held = []

    def accept_forever():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            held.append(connection)

    threading.Thread(target=accept_forever, daemon=True).start()
    serve_until_told(outdir, parent, listener.getsockname()[1])
    listener.close()


def run_launcher(spool, parent):
    servers = []
    while not os.path.exists(os.path.join(spool, "stop")) and not parent_gone(parent):
        for name in sorted(os.listdir(spool)):
            if not name.endswith(".request"):
                continue
            path = os.path.join(spool, name)
            with open(path, encoding="utf-8") as f:
                arguments = f.read().split("\n")[:3]
            os.remove(path)
            servers.append(subprocess.Popen([sys.executable, os.path.abspath(__file__)] + arguments,
                                            stdin=subprocess.DEVNULL, start_new_session=True))
        servers = [server for server in servers if server.poll() is None]
        time.sleep(0.05)


def main():
    if sys.argv[1] == "launcher":
        run_launcher(sys.argv[2], int(sys.argv[3]))
        return
    mode, outdir = sys.argv[1], unix_path(sys.argv[2])
    # A test under Wine passes a Windows process id, which names no process here.
    parent = int(sys.argv[3]) if outdir == sys.argv[2] else None
    try:
        if mode == "silent":
            run_silent(outdir, parent)
        else:
            run_smtp(mode, outdir, parent)
    finally:
        try:
            os.remove(os.path.join(outdir, "port"))
        except FileNotFoundError:
            pass


class AuthLoggingSMTP(SMTP):
    """Notes every AUTH command before answering it, so a test can tell that no credential was ever offered."""

    log_path = None

    async def smtp_AUTH(self, arg):
        with open(self.log_path, "a", encoding="utf-8") as f:
            f.write("AUTH %s tls=%s\n" % (arg.split(" ")[0] if arg else "", self._tls_protocol is not None))
        return await super().smtp_AUTH(arg)


class AuthController(Controller):
    def factory(self):
        return AuthLoggingSMTP(self.handler, **self.SMTP_kwargs)


def throwaway_tls(outdir):
    # The address also as a DNS name: curl's Schannel matches the host against DNS names only.
    cert, key = os.path.join(outdir, "cert.pem"), os.path.join(outdir, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                    "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def run_smtp(mode, outdir, parent):
    kwargs = {}
    factory = Controller
    if mode in ("auth", "tls-auth"):
        warnings.simplefilter("ignore")
        logging.getLogger("mail.log").setLevel(logging.ERROR)
        AuthLoggingSMTP.log_path = os.path.join(outdir, "auth.log")
        factory = AuthController
        kwargs = {"authenticator": authenticate, "auth_required": True, "auth_require_tls": mode == "tls-auth"}
        if mode == "tls-auth":
            kwargs["tls_context"] = throwaway_tls(outdir)
    store = Store(outdir, mode == "reject", mode[len("mute-"):] if mode.startswith("mute-") else None)
    controller = factory(store, hostname="127.0.0.1", port=free_port(), **kwargs)
    controller.start()
    serve_until_told(outdir, parent, controller.port)
    controller.stop()


if __name__ == "__main__":
    main()
