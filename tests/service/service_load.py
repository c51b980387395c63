"""What the service's load tests share: the request Quavella.exe sent
(tests/service/fixtures/upload-wav.raw) made into any number of distinct uploads, a
quavella-service process, and clients that upload under load until told to stop."""
import http.client
import os
import re
import signal
import subprocess
import threading
import time
import urllib.parse


def fail(test, message):
    raise SystemExit("%s: %s" % (test, message))


class Recorded:
    """The recorded request, split so that song name and samples can be changed."""

    def __init__(self, path):
        with open(path, "rb") as f:
            raw = f.read()
        head, _, body = raw.partition(b"\r\n\r\n")
        self.raw = raw
        self.head = head + b"\r\n\r\n"
        self.body = body
        self.boundary = re.search(rb"boundary=(\S+)", head).group(1)
        wav_at = body.index(b"RIFF")
        self.wav = body[wav_at:body.index(b"\r\n--" + self.boundary, wav_at)]
        self.path = head.split(b" ")[1]

    def ringtone(self, n):
        """The recorded WAV with samples of its own: the 44-byte header stays."""
        samples = bytearray(self.wav[44:])
        stamp = n.to_bytes(4, "little")
        for i in range(0, len(samples) - 4, 1024):
            samples[i:i + 4] = stamp
        return self.wav[:44] + bytes(samples)

    def upload(self, n):
        """Body and headers of upload n: song "load-n.wav" with the samples of ringtone(n)."""
        ringtone = self.ringtone(n)
        body = self.body.replace(b"My_Song___You.wav", b"load-%d.wav" % n, 1)
        body = body.replace(self.wav, ringtone, 1)
        body = re.sub(rb'(name="file_size"\r\n\r\n)\d+', rb"\g<1>%d" % len(ringtone), body, count=1)
        return body, self.headers(body)

    def headers(self, body):
        """The recorded headers, with the length of `body`."""
        headers = {}
        for line in self.head.split(b"\r\n")[1:]:
            if b":" in line:
                name, _, value = line.partition(b":")
                headers[name.decode()] = value.strip().decode()
        headers["Content-Length"] = str(len(body))
        return headers


class Service:
    """quavella-service on a free loopback port; `store` is ["--data", F] or ["--database", U]."""

    def __init__(self, program, folder, store, wait=True):
        os.makedirs(folder, exist_ok=True)
        self.ready = os.path.join(folder, "service.address")
        if os.path.exists(self.ready):
            os.unlink(self.ready)
        self.log_path = os.path.join(folder, "service.log")
        self.log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--ready-file", self.ready,
             "--uploads-per-hour", "100000000"] + store,
            stdout=self.log, stderr=self.log, stdin=subprocess.DEVNULL)
        if wait:
            self.wait_ready()

    def wait_ready(self):
        deadline = time.time() + 30
        while not os.path.exists(self.ready):
            if self.process.poll() is not None or time.time() > deadline:
                fail("service", "quavella-service did not start: " + self.log_text()[-2000:])
            time.sleep(0.05)
        with open(self.ready) as f:
            self.url = f.read().strip()
        url = urllib.parse.urlsplit(self.url)
        self.host, self.port = url.hostname, url.port

    def log_text(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("latin-1")

    def connection(self):
        return http.client.HTTPConnection(self.host, self.port, timeout=30)

    def request(self, method, path, body=None, headers=None):
        c = self.connection()
        c.request(method, path, body=body, headers=headers or {})
        r = c.getresponse()
        data = r.read()
        c.close()
        return r.status, data

    def get(self, path):
        return self.request("GET", path)

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()

    def stop(self):
        """SIGTERM; the exit status (0: stopped cleanly)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.kill()
            return -9


class Load:
    """Clients that each upload distinct ringtones, one after another, to one service, until
    stopped or until their service goes away. `refusal_ok(status, text)` says which refusals
    are clean (the client goes on); any other answer is an error and ends the client."""

    def __init__(self, recorded, refusal_ok=lambda status, text: False):
        self.recorded = recorded
        self.refusal_ok = refusal_ok
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.counter = 0
        self.acked = []     # (n, page address, service)
        self.refused = []   # (n, status, text, service)
        self.errors = []
        self.threads = []

    def start(self, services):
        for service in services:
            t = threading.Thread(target=self._client, args=(service,))
            t.start()
            self.threads.append(t)

    def stop(self):
        self.stopping.set()
        for t in self.threads:
            t.join()

    def wait_acked(self, count, seconds):
        deadline = time.time() + seconds
        while len(self.acked) < count and time.time() < deadline and not self.errors:
            time.sleep(0.01)

    def _client(self, service):
        connection = service.connection()
        path = self.recorded.path.decode()
        while not self.stopping.is_set():
            with self.lock:
                n = self.counter
                self.counter += 1
            body, headers = self.recorded.upload(n)
            try:
                connection.request("POST", path, body=body, headers=headers)
                reply = connection.getresponse()
                text = reply.read().decode("latin-1")
            except (OSError, http.client.HTTPException):
                return  # the service is gone
            with self.lock:
                if reply.status == 200:
                    self.acked.append((n, text, service))
                elif self.refusal_ok(reply.status, text):
                    self.refused.append((n, reply.status, text, service))
                else:
                    self.errors.append("upload %d: %d %s" % (n, reply.status, text[:200]))
                    return
