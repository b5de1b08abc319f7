#!/usr/bin/env python3
"""Prints what a mail reader sees in an .eml file: the decoded headers, the body and each
attachment's name and bytes (hex), one item per line. Uses Python's own email package,
so the test checks the message against a parser this project did not write."""
import sys
from email import policy
from email.parser import BytesParser

with open(sys.argv[1], "rb") as f:
    msg = BytesParser(policy=policy.default).parse(f)

defects = list(msg.defects)
for part in msg.walk():
    defects += part.defects
print("defects:", len(defects))
print("to:", str(msg["To"]))
print("from-present:", msg["From"] is not None)
print("subject:", repr(str(msg["Subject"])))
print("bcc-count:", len(msg.get_all("Bcc") or []))
print("headers:", ",".join(sorted(set(k.lower() for k in msg.keys()))))
body = msg.get_body(preferencelist=("plain",))
print("body:", body.get_content().encode("utf-8").hex())
for part in msg.iter_attachments():
    print("attachment:", repr(part.get_filename()), part.get_content().hex() if isinstance(part.get_content(), bytes) else part.get_payload(decode=True).hex())
