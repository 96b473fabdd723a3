#!/usr/bin/python3
"""A local SMTP sink for the mail tests: listens on a free port of 127.0.0.1,
prints "PORT <n>" once it listens, and writes each message it accepts into
OUTDIR as <n>.eml, with <n>.json beside it: the envelope and the message as
Python's email parser reads it back. Recipients whose local part is "refused"
are refused (550). Ends when its standard input closes."""

import asyncio
import base64
import email
import email.policy
import json
import os
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0] == "refused":
            return "550 5.1.1 <%s>: recipient refused" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content or envelope.content
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        parts = []
        for part in msg.walk():
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True) or b""
            parts.append({
                "content_type": part.get_content_type(),
                "charset": part.get_content_charset() or "",
                "filename": part.get_filename() or "",
                "disposition": part.get_content_disposition() or "",
                "transfer_encoding": part.get("Content-Transfer-Encoding", ""),
                "text": part.get_content() if part.get_content_maintype() == "text" else "",
                "data": base64.b64encode(payload).decode("ascii"),
            })
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "subject": str(msg["Subject"] or ""),
            "from": str(msg["From"] or ""),
            "to": str(msg["To"] or ""),
            "cc": str(msg["Cc"] or ""),
            "has_bcc_header": msg["Bcc"] is not None,
            "has_date": msg["Date"] is not None,
            "has_message_id": msg["Message-Id"] is not None,
            "content_type": msg.get_content_type(),
            "parts": parts,
        }
        base = os.path.join(self.outdir, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        with open(base + ".json.part", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(base + ".json.part", base + ".json")
        return "250 Message accepted"


async def main(outdir):
    loop = asyncio.get_running_loop()
    sink = Sink(outdir)
    server = await loop.create_server(lambda: SMTP(sink, hostname="sink.test"), "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    # Stop when the test closes our standard input (or goes away).
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
