#!/usr/bin/env python3
"""Sends the same fixed set of requests to two Pellora binaries and compares what they
answer and log, byte for byte: a refactoring must change nothing on the wire.

    python3 tools/compare-answers.py OLD_BINARY NEW_BINARY

Each binary runs headless, in turn, on the same port over a fresh copy of the same drive,
once per listing style. Only what must differ between two runs is made equal before the
comparison: the Date line, the drive index's free space, and the log's time fields.
Prints one line per request and exits 1 when anything differs."""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BOUNDARY = "----CompareBoundary"


def upload_body():
    return (f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\docs\\\r\n"
            f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"upl-file\"; filename=\"up.txt\"\r\n"
            f"Content-Type: text/plain\r\n\r\nuploaded bytes\r\n--{BOUNDARY}--\r\n").encode()


def requests():
    post = b"POST /cgi-bin/echo.sh HTTP/1.0\r\nContent-Type: text/plain\r\nContent-Length: 11\r\n\r\nhello world"
    body = upload_body()
    upload = (f"POST /@upload.exe HTTP/1.0\r\nContent-Type: multipart/form-data; boundary={BOUNDARY}\r\n"
              f"Content-Length: {len(body)}\r\n\r\n").encode() + body
    lines = [
        "GET /c/docs/a.txt HTTP/1.0", "HEAD /c/docs/a.txt HTTP/1.0", "GET /c/docs/page.htm HTTP/1.0",
        "GET /c/docs/ HTTP/1.0", "HEAD /c/docs/ HTTP/1.0", "GET /c/docs/*.txt HTTP/1.0", "GET /c/docs HTTP/1.0",
        "GET /c/my%20docs/ HTTP/1.0", "GET /c/my%20docs/my%20file.txt HTTP/1.0", "GET / HTTP/1.0",
        "GET /docs/a.txt HTTP/1.0", "GET /docs/a.txt HTTP/1.0\r\nHost: example.org:99",
        "HEAD /docs/a.txt HTTP/1.0", "GET /c/missing.txt HTTP/1.0", "HEAD /c/missing.txt HTTP/1.0",
        "GET /c/private/x.txt HTTP/1.0", "PUT /c/docs/a.txt HTTP/1.0", "GET /@dir.gif HTTP/1.0",
        "GET /@nonsense.gif HTTP/1.0", "GET /@upload.htm/C/docs/ HTTP/1.0", "GET /@upload.htm HTTP/1.0",
        "GET /cgi-bin/env.sh?x=1&y=2 HTTP/1.0\r\nAccept: */*", "HEAD /cgi-bin/env.sh?x HTTP/1.0",
        "GET /cgi-bin/none.sh?x HTTP/1.0", "GET /cgi-binx/env.sh?x HTTP/1.0", "GET /c/../x HTTP/1.0",
        "GET /c/docs/a.txt", "get /c/docs/a.txt HTTP/1.0",
    ]
    made = [(line, (line + "\r\n\r\n").encode()) for line in lines]
    made += [("empty request", b"\0"), ("CGI POST", post), ("upload", upload),
             ("POST to no program", b"POST /c/docs/a.txt HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc")]
    return made


def make_drive(root):
    files = {
        "docs/a.txt": b"plain text\n", "docs/b.txt": b"another\n", "docs/page.htm": b"<p>page</p>",
        "docs/data.bin": bytes(range(256)) * 40, "my docs/my file.txt": b"blank names\n",
        "docs/x<y&z.txt": b"markup\n", "private/x.txt": b"private\n",
        "cgi-bin/env.sh": b"#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\nenv | grep -v '^PWD=\\|^SHLVL=\\|^_=' | sort\n",
        "cgi-bin/echo.sh": b"#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\ncat\n",
    }
    for name, data in files.items():
        path = os.path.join(root, "drive", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        os.utime(path, (1700000000, 1700000000))
    for name in ("cgi-bin/env.sh", "cgi-bin/echo.sh"):
        os.chmod(os.path.join(root, "drive", name), 0o755)
    for directory in ("tmp", "config"):
        os.makedirs(os.path.join(root, directory))


def options(port, use_table, log):
    values = {"Port": port, "RootOption": 0, "RootFile": "", "RootDir": "c:\\", "CgiDir": "cgi-bin",
              "IpOption": 0, "DirOption": 0, "DirFile": "", "DirAccessOption": 2, "Dir0": "c:\\private",
              "LogOption": 1, "LogFile": log, "UseTable": use_table, "UploadOn": 1, "UploadAccessType": 1,
              "UploadDir": "", "IncludeUploadLink": 1}
    keys = ["Port", "RootOption", "RootFile", "RootDir", "CgiDir", "IpOption"] + [f"Ip{i}" for i in range(8)] + \
        ["DirOption", "DirFile", "DirAccessOption"] + [f"Dir{i}" for i in range(8)] + \
        ["LogOption", "LogFile", "UseTable", "UploadOn", "UploadAccessType", "UploadDir", "IncludeUploadLink"]
    text = "Pellora Configuration File:Release 1\r\n"
    for key in keys:
        text += f"{key}:{values.get(key, '')}\r\n"
    return text


def exchange(port, data):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as client:
        # No half-close: a client that ends its side while its program runs has gone away.
        client.sendall(data)
        answer = b""
        while True:
            chunk = client.recv(65536)
            if not chunk:
                return answer
            answer += chunk


def normalized(answer):
    answer = re.sub(rb"Date: [A-Z][a-z]{2} [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d \d{4}\n", b"Date: <date>\n", answer)
    if b"Pellora index for" in answer:
        answer = re.sub(rb"\d+ [KM]B", b"<size>", answer)
    return answer


def run(binary, work, port, use_table):
    # The same place for both binaries, made afresh: nothing of one run reaches the other.
    root = os.path.join(work, f"style{use_table}")
    shutil.rmtree(root, ignore_errors=True)
    make_drive(root)
    opt = os.path.join(root, "server.opt")
    with open(opt, "w", newline="") as out:
        out.write(options(port, use_table, "c:\\access.log"))
    env = dict(os.environ, PELLORA_DRIVES=f"C={root}/drive", PELLORA_HEADLESS="1", TMPDIR=f"{root}/tmp",
               XDG_CONFIG_HOME=f"{root}/config", HOME=root)
    server = subprocess.Popen([binary, opt], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    while time.time() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.05)
    answers = [(name, normalized(exchange(port, data))) for name, data in requests()]
    server.send_signal(signal.SIGTERM)
    server.wait(timeout=10)
    with open(os.path.join(root, "drive", "access.log"), "rb") as logged:
        lines = [re.sub(rb"^([^,]*), -, [^,]*, [^,]*, ([^,]*, [^,]*), \d+,", rb"\1, -, <date>, <time>, \2, <ms>,", line)
                 for line in logged.read().splitlines()]
    with open(os.path.join(root, "drive", "docs", "up.txt"), "rb") as stored:
        answers.append(("uploaded file", stored.read()))
    return answers + [("log line %d" % i, line) for i, line in enumerate(lines)]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    old, new = (os.path.abspath(path) for path in sys.argv[1:])
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    work = tempfile.mkdtemp(prefix="pellora-compare-")
    differences = 0
    try:
        for use_table in (0, 1):
            before = run(old, work, port, use_table)
            after = run(new, work, port, use_table)
            for (name, a), (_, b) in zip(before, after):
                same = a == b
                differences += 0 if same else 1
                print(f"{'same' if same else 'DIFF'}  UseTable {use_table}  {name.replace(chr(13) + chr(10), ' | ')}  ({len(a)} bytes)")
                if not same:
                    print(f"      old: {a[:300]!r}\n      new: {b[:300]!r}")
            if len(before) != len(after):
                differences += 1
                print(f"DIFF  UseTable {use_table}: {len(before)} answers and log lines against {len(after)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{differences} differences")
    sys.exit(1 if differences else 0)


if __name__ == "__main__":
    main()
